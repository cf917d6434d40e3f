#pragma once

// The envelope of a run: per segment, the extremes over every level it
// computed of the displacement from rest and of the stress in each piece.

#include "matrix.h"
#include "parameters.h"

#include <vector>

namespace velarion {

// The four rows of extremes a level updates.
struct Extremes {
    double* low;
    double* high;
    double* lowPiece;
    double* highPiece;
};

// Keeps, per segment, the lowest and highest position and, per piece, the
// lowest and highest psi(j, s+1) - psi(j, s). The displacement and the stress
// are monotone functions of these (each operation rounds monotonically), so
// their extremes follow from them exactly, and a level costs one subtraction
// and four comparisons per segment.
class Envelope {
  public:
    // Starts with level 0, the column at rest, segments 0 to M (M >= 1).
    // False, and empty, when the memory cannot be had.
    bool start(const double* rest, int M);
    // Takes in a further level.
    void add(const double* level);
    // Takes in three levels at once, in one pass: the same result as three
    // add() calls, with a third of the traffic to the extremes.
    void add3(const double* a, const double* b, const double* c);
    // add3 for segments from..to-1 alone (and their pieces), for threads
    // that share the segments; the levels must not change meanwhile.
    void add3(const double* a, const double* b, const double* c, int from, int to);

    // A copy of `other` (not empty): false, and empty, when the memory
    // cannot be had.
    bool startAs(const Envelope& other);
    // The extremes of segments from..to-1 (and their pieces) as `other`,
    // an envelope of the same row, holds them.
    void assignRange(const Envelope& other, int from, int to);

    bool isEmpty() const { return rows_.empty(); }
    int lastSegment() const { return static_cast<int>(rows_.columns()) - 1; }

    // psi(j, s) - psi(0, s), lowest and highest over the levels.
    double minDisplacement(int s) const { return rows_(kLow, s) - rows_(kRest, s); }
    double maxDisplacement(int s) const { return rows_(kHigh, s) - rows_(kRest, s); }
    // -B e(j, s) / L0 for the piece from s to s + 1 (s < M), positive in
    // compression, lowest and highest over the levels.
    double minStress(int s, const Parameters& p) const;
    double maxStress(int s, const Parameters& p) const;

  private:
    // The rows of rows_: level 0, the lowest and highest positions, the
    // lowest and highest psi(j, s+1) - psi(j, s). Each starts on a cache
    // line, so the vector loads and stores stay inside lines.
    enum Row { kRest, kLow, kHigh, kLowPiece, kHighPiece, kRows };
    Extremes extremes();
    Matrix rows_;
};

// Per segment, the extremes of a run's levels as numbers: the displacement
// from rest psi(j, s) - psi(0, s) in metres, and the stress -B e(j, s) / L0
// of the piece after it in pascals (positive in compression; NaN for the
// last segment, which has none).
struct EnvelopeExtremes {
    std::vector<double> minDisplacement;
    std::vector<double> maxDisplacement;
    std::vector<double> minStress;
    std::vector<double> maxStress;
};

// The envelope's extremes, segment by segment.
EnvelopeExtremes extremesOf(const Envelope& envelope, const Parameters& p);

}  // namespace velarion
