#pragma once

// Checks the double-precision model against the exact solution of the
// finite column on the case and two refinements of it, and gives the grid
// convergence index of two peaks over the same three grids.

#include "model/kernel.h"
#include "model/parameters.h"
#include "runs/form_state.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace velarion {

// One grid: the case, or a refinement that halves L0 and DeltaT and doubles
// the number of segments, so the column's length (M + 1) L0, the Courant
// number and the time of the last level stay the same.
struct VerificationGrid {
    int segments = 0;  // M + 1
    double DeltaT = 0;
    std::int64_t levels = 0;  // the last level
    // Against the exact solution: every segment at levels 1 to
    // comparedLevels, the displacement from the rigid motion, the errors
    // relative to the largest exact displacement.
    std::int64_t comparedLevels = 0;
    double largestError = 0;
    double rmsError = 0;
    // From the envelope over every level: the highest stress of the first
    // piece (Pa, positive in compression) and the displacement from rest of
    // the last segment with the largest magnitude (m); the same of the
    // exact solution over the compared levels.
    double peakStress = 0;
    double peakDisplacement = 0;
    double exactPeakStress = 0;
    double exactPeakDisplacement = 0;
};

// Roache's grid convergence index of one quantity on three grids, each
// twice as fine as the one before (refinement ratio 2, safety factor 1.25).
struct ConvergenceIndex {
    double values[3] = {};  // coarse, medium, fine
    // Why no order can be given; empty when there is one.
    QString why;
    bool sameOnEveryGrid = false;  // to rounding
    double order = 0;
    double extrapolated = 0;  // Richardson's
    double gci = 0;           // of the fine value, relative
    // The exact solution's value, where it covers every level.
    std::optional<double> exact;
};

// The three values' index: `noise` is the difference below which two
// values count as the same.
ConvergenceIndex convergenceIndex(double coarse, double medium, double fine, double noise);

struct Verification {
    // Why nothing can be verified; empty otherwise.
    QString refusal;
    std::vector<VerificationGrid> grids;
    // Why the exact comparison does not apply (empty when it does), and
    // what it covers when it covers less than the case.
    QString exactRefusal;
    QString exactNote;
    // log2 of the ratio of the errors of the two finest grids.
    double largestOrder = 0;
    double rmsOrder = 0;
    ConvergenceIndex stress;
    ConvergenceIndex displacement;
};

// The verification of the case of M + 1 segments and `levels` levels.
// Refused when the Courant number exceeds 1, when there is no level past
// level 1, or when a grid fails (a position that is not a finite number, no
// memory) or its energy says it is unstable.
Verification verifyColumn(const Parameters& p, int M, std::int64_t levels, FreeEnd freeEnd);

// The same for the completed double run in psi.
Verification verifyRun(const FormState& form);

}  // namespace velarion
