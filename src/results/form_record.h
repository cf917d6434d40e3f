#pragma once

// The record of the run that left its rows in the window's state.

#include "runs/form_state.h"
#include "runs/run_record.h"

#include <optional>

namespace velarion {

// The run in psi as a record: its rows copied, its energy (the Girotondo
// run's as recorded, the double run's from psi) and its envelope (the
// double run's from psi, the Girotondo run's when it kept one). Nothing
// when psi holds no rows of a run, or the memory cannot be had.
std::optional<RunRecord> recordOfForm(const FormState& form);

}  // namespace velarion
