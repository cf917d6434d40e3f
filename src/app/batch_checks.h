#pragma once

// What velarion-batch tells about a run's numbers after it: whether its
// energy stayed put, and how it compares with d'Alembert's solution.

#include "batch_options.h"

#include "model/number_text.h"
#include "runs/form_state.h"

namespace velarion {

// Prints "velarion-batch: warning: unstable from level N: ..." on stderr
// when the energy of the run in psi left that of level 1; true then.
bool warnIfUnstable(const FormState& form, const QLocale& locale);

// Prints the comparison of --verify: a table of the run and its two
// refinements, then "observed order of accuracy: X.XX". Returns 0, or
// kExitUsage with the reason on stderr when no comparison can be made.
int printVerification(const FormState& form, const NumberText& numbers);

}  // namespace velarion
