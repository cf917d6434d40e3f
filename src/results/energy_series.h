#pragma once

// The energy of a finished run, level by level, and its file.

#include "model/energy.h"
#include "runs/form_state.h"
#include "runs/run_record.h"

#include <QString>

#include <cstdint>

namespace velarion {

// The energy of every level the run in psi computed, from level 1 on: the
// double run's from its rows of psi, pairing row J - 1 with row J,
// computed once and kept in the form for its other readers; the Girotondo
// run's as the run recorded it, where it lies (it can hold millions of
// levels), since psi keeps only its snapshots. Empty when psi holds no rows
// of a run. It lasts until the form's psi next changes.
const EnergyRecord& energyOfRun(const FormState& form);

// How many times this process computed an energy from rows of psi.
std::uint64_t energyPassesOverPsi();

// Writes the record's energy as CSV: the header
// level,time,kinetic,strain,work,energy and one row per kept level whose
// number is a multiple of `every` (1: every level), time in seconds and
// energies in J/m2, with 17 significant digits and the decimal point. With
// a valve or friction two columns follow: dissipated and valve_work, so
// that energy + dissipated - valve_work stays constant. False, with the
// reason in `error`, when the run computed no energy (the precision run) or
// the file cannot be written.
bool writeEnergyCsv(const RunRecord& record, const QString& path, QString& error,
                    std::int64_t every = 1);

}  // namespace velarion
