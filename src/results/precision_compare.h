#pragma once

#include "model/matrix.h"
#include "model/psi_text.h"

#include <vector>

namespace velarion {

// How far the double positions of one level lie from the decimal ones.
struct LevelDifference {
    int level = 0;
    double largestAbsolute = 0;  // max over the segments of |decimal - double|
    double largestRelative = 0;  // the same divided by |decimal|, where it is not 0
};

// One entry per level 0 .. lastLevel that both matrices hold, over the
// segments 0 .. lastColumn. The differences are formed in decimal
// arithmetic, so they are not themselves rounded to double first.
std::vector<LevelDifference> compareWithDouble(const PsiText& decimal, const Matrix& psi,
                                               int lastLevel, int lastColumn);

}  // namespace velarion
