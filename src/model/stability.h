#pragma once

// The time step's limit: the Courant number of the explicit update and the
// largest time step that keeps it stable.

#include "parameters.h"

namespace velarion {

// VFase × DeltaT / L0: the segments a wave crosses in one time step.
double courantNumber(const Parameters& p);

// Whether the update is unstable at this Courant number: above 1, its
// fastest mode grows at every level. The boxes' decimal values seldom give
// exactly 1 in binary, so a number within 1E-12 of 1 counts as 1.
bool isBeyondCourantLimit(double courant);

// L0 / VFase: the largest DeltaT with a Courant number of 1.
double largestStableDeltaT(const Parameters& p);

}  // namespace velarion
