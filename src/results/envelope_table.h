#pragma once

// The envelope of a finished run and its file.

#include "model/envelope.h"
#include "runs/form_state.h"
#include "runs/run_record.h"

#include <QString>

namespace velarion {

// The envelope of the double run in psi, over its rows 0 to the last one.
// Empty when psi holds no rows of a double run, or the memory for it
// cannot be had.
Envelope envelopeFromPsi(const FormState& form);

// The envelope of the run in psi: the double run's from psi, computed once
// and kept in the form for its other readers; the Girotondo run's as the
// run kept it (empty when it kept none). It lasts until the form's psi next
// changes.
const Envelope& envelopeOfRun(const FormState& form);

// Writes the record's envelope as CSV: the header
// segment,min_displacement,max_displacement,min_stress,max_stress and one
// row per segment, displacements in metres and stresses in pascals
// (positive in compression; left empty for the last segment, which has no
// piece after it), 17 significant digits and the decimal point. False,
// with the reason in `error`, when the record holds none (a Girotondo run
// that did not keep one, the precision run) or the file cannot be written.
bool writeEnvelopeCsv(const RunRecord& record, const QString& path, QString& error);

}  // namespace velarion
