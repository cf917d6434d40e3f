#pragma once

// Checks a finished double run against d'Alembert's solution for the first
// segment, and measures the order of accuracy by refining it twice.

#include "runs/form_state.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace velarion {

// One case: the displacement of segment 0 from the rigid motion at the last
// level, psi(J, 0) - (psi(0, 0) - J DeltaT V0), against P t / (Rho VFase),
// t = J DeltaT.
struct VerificationCase {
    int lastSegment = 0;
    double DeltaT = 0;
    std::int64_t levels = 0;  // J, the last level
    double computed = 0;
    double analytic = 0;
    double relativeError = 0;  // |computed - analytic| / |analytic|
};

struct Verification {
    // Why no comparison is made; empty when there is one.
    QString refusal;
    // The run in psi, then two refinements, each halving L0 and DeltaT and
    // doubling the number of pieces, so the pipe, the Courant number and the
    // time of the last level stay the same.
    std::vector<VerificationCase> cases;
    // log2 of the ratio of the errors of the two finest cases.
    double observedOrder = 0;
};

// The comparison for the completed double run in psi. It is refused when
// there is none, when P is 0 (the column then moves rigidly and there is
// nothing to compare), when the run computed no level past level 1, or when
// the wave that the free end reflects is back at segment 0 by the last level
// (t >= 2 M L0 / VFase), where d'Alembert's solution for a semi-infinite
// column no longer holds.
Verification verifyAgainstAnalytic(const FormState& form);

}  // namespace velarion
