#pragma once

// The files velarion-batch writes after a run.

#include "batch_options.h"

#include "runs/form_state.h"

namespace velarion {

// Writes the --csv and --plot files asked for (also after a stopped or
// failed run that left rows in psi); false when one could not be written,
// with the reason on stderr.
bool writeResults(const FormState& form, const BatchOptions& options);

}  // namespace velarion
