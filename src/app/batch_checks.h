#pragma once

// What velarion-batch tells about a run's numbers: the time step's limit
// before the run, whether its energy stayed put after it, and how it
// compares with the exact solution.

#include "batch_options.h"

#include "model/number_text.h"
#include "runs/form_state.h"
#include "runs/window_ops.h"

namespace velarion {

// Before the run: refuses a TDeltaT of 0 (exit 64: the energy divides by
// it) and warns of a Courant number above 1 on stderr, then exits 3 with
// --strict or 64 with --verify, without a run. 0 when the run may start.
// Boxes that do not convert are left for the run to refuse.
int checkTimeStep(const BatchOptions& options, WindowOps& host, const NumberText& numbers);

// Prints "velarion-batch: warning: unstable from level N: ..." on stderr
// when the run in psi is unstable; true then. After a run that failed, a
// Courant number above 1 is named as the likely cause of its failure
// instead.
bool warnIfUnstable(const FormState& form, const NumberText& numbers, bool failed);

// Prints the comparison of --verify: the case and two refinements against
// the exact solution, and the grid convergence index of two peaks. Returns
// 0, or kExitUsage with the reason on stderr when neither applies.
int printVerification(const FormState& form, const NumberText& numbers);

}  // namespace velarion
