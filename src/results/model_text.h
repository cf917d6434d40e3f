#pragma once

// The model's ends and friction in words, for the results' summaries.

#include "model/number_text.h"
#include "model/water_hammer.h"

#include <QString>

namespace velarion {

// One sentence: "Valve closing in 0.05 s at segment 0, reservoir (restoring
// free end) at segment M, friction f = 0.02."
QString modelSentence(FreeEnd freeEnd, const WaterHammer& hammer, const NumberText& numbers);

}  // namespace velarion
