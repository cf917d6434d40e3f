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

// One grid: the case, or a refinement that divides L0 and DeltaT by the
// refinement ratio (2, or 3 where the column's length is M + 1/2 pieces)
// and has as many more segments as keep the column's length (columnLength),
// so the Courant number and the time of the last level stay the same.
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
// `ratio` times as fine as the one before (safety factor 1.25).
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
ConvergenceIndex convergenceIndex(double coarse, double medium, double fine, double noise,
                                  int ratio = 2);

struct Verification {
    // Why nothing can be verified; empty otherwise.
    QString refusal;
    int ratio = 2;  // of the refinements
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

// The column's length L in metres, from the first end's face to the last
// end's: a valve holds segment 0 itself, the counter pressure pushes a face
// half a piece before it; a dead end holds segment M, a reservoir (or the
// seed's free end) is the free face half a piece beyond it. So L is M, M +
// 1/2 or M + 1 pieces: halfPiecesBeyond() halves beyond M.
int halfPiecesBeyond(FreeEnd freeEnd, const WaterHammer& hammer);
double columnLength(int M, double L0, FreeEnd freeEnd, const WaterHammer& hammer);
// 2, or 3 where the length is M + 1/2 pieces: only an odd ratio keeps it
// with a whole number of segments.
int refinementRatio(FreeEnd freeEnd, const WaterHammer& hammer);

// The verification of the case of M + 1 segments and `levels` levels.
// Refused when the Courant number exceeds 1, when there is no level past
// level 1, or when a grid fails (a position that is not a finite number, no
// memory) or its energy says it is unstable. The exact solution is that of
// the counter pressure with a free far end, or of a shut or closing valve
// with a reservoir or a dead end; with friction there is none, and only the
// grid convergence index tells the error.
Verification verifyColumn(const Parameters& p, int M, std::int64_t levels, FreeEnd freeEnd,
                          const WaterHammer& hammer = {});

// The same for the completed double run in psi.
Verification verifyRun(const FormState& form);

}  // namespace velarion
