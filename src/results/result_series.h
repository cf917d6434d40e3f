#pragma once

#include "model/stability.h"
#include "runs/form_state.h"

#include <QPointF>

#include <cstdint>
#include <vector>

namespace velarion {

// The time level that row `row` of psi holds: the row itself in the double
// run; in the Girotondo run level 0 for row 0, then 3·N·row − 1 for N >= 1
// and level 2 for every row when N <= 0 (no cycle is ever done).
std::int64_t levelOfRow(const PsiRows& rows, int row);
// The level's time in seconds: level × DeltaT.
double secondsOfRow(const PsiRows& rows, int row);

// The time of the run's last stored row in seconds: its level × DeltaT. In
// the Girotondo run about three times Ttot, which counts N × nitertemp
// time steps.
double simulatedSeconds(const PsiRows& rows);
// The column's length at rest, from the first segment to the last: M × L0
// in metres, L0 being ltot / 10000 whatever M.
double columnLength(const PsiRows& rows);

// psi(j, segment) − psi(0, segment) in metres against time in seconds, one
// point per stored row j. Empty when psi holds no rows of a run.
std::vector<QPointF> displacementOverTime(const FormState& form, int segment);

// −B × ((psi(j, 1) − psi(j, 0)) − L0) / L0 in pascals, positive in
// compression, against time in seconds, one point per stored row j.
std::vector<QPointF> firstPieceStress(const FormState& form);

// psi(row, s) − psi(0, s) against the rest position psi(0, s), in metres, one
// point per segment.
std::vector<QPointF> displacementProfile(const FormState& form, int row);

}  // namespace velarion
