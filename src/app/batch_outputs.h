#pragma once

// The files velarion-batch writes after a run.

#include "batch_options.h"

#include "model/number_text.h"
#include "runs/form_state.h"
#include "runs/window_ops.h"

namespace velarion {

// Refuses, before the run, a --csv-segments list with a segment the run
// will not have: the last one is the number in TINDICE_MATRICE2 now. A box
// that does not convert is left for the run to refuse. False, with the
// reason in `error`, for a refused list.
bool checkCsvSegments(const BatchOptions& options, WindowOps& host, const NumberText& numbers,
                      QString& error);

// Writes the --csv and --plot files asked for (also after a stopped or
// failed run that left rows in psi); false when one could not be written,
// with the reason on stderr.
bool writeResults(const FormState& form, const BatchOptions& options);

}  // namespace velarion
