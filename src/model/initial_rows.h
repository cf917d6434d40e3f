#pragma once

#include "water_hammer.h"

namespace velarion {

// The first two levels of the double-precision runs, over segments 0 to M.

// Level 0, the column at rest: psi(0, 0) = 0 and each next segment L0
// further, a running sum (not s x L0).
void layOutAtRest(double* row0, int M, double L0);

// Level 1: every segment of level 0 moved by DeltaT x V0 (the product
// formed first).
void moveByInitialVelocity(const double* row0, double* row1, int M, double DeltaT, double V0);

// Level 1 of the ends that are closed: a closed first end keeps segment 0,
// a closed last end segment M, at its level-0 position.
void holdClosedEnds(const double* row0, double* row1, int M, FirstEnd firstEnd, FreeEnd lastEnd);

// Fails the run, naming the first position that is infinite or NaN.
void refuseNonFiniteFirstRows(const double* row0, const double* row1, int M);

}  // namespace velarion
