#pragma once

#include "batch_host.h"
#include "model/number_text.h"
#include "runs/form_state.h"

namespace velarion {

// After a completed precision run in `decimal`: runs the double-precision
// model on the same boxes (without a log, so LogFile.txt keeps the
// precision run's records) and prints, for each level, the largest
// absolute and relative difference over the segments between the decimal
// and the double positions, then the worst of all levels. Returns the
// exit status: 0, or 2 when the double run fails.
int printDoubleComparison(BatchHost& host, const FormState& decimal, const NumberText& numbers);

}  // namespace velarion
