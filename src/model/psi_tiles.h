#pragma once

// The levels of the double run, every one a row of psi, advanced by a team
// of threads in overlapped tiles: each thread computes its own segments of
// a block of levels alone, straight into psi, and the few cells next to
// another thread's segments in private strips that reach into the
// neighbour's segments (one cell narrower each level); the threads meet
// once a block.

#include "kernel.h"
#include "level_team.h"
#include "matrix.h"

#include <vector>

namespace velarion {

class PsiTiles {
  public:
    // Rows of `psi`, segments 0..M; at most `depth` levels a block. The
    // team and psi must outlive this. Throws std::bad_alloc when the memory
    // cannot be had.
    PsiTiles(LevelTeam& team, Matrix& psi, int M, const KernelFactors& f, int depth);

    int depth() const { return depth_; }

    // Rows first..last of psi (at most depth() of them, first >= 2) from
    // the two rows before first. Returns the first of them with a value
    // that is not finite, or 0; each thread stops at its own first such
    // level, so the rows past it are partly written.
    int compute(int first, int last);

  private:
    struct Part {
        int lo = 0, hi = 0;  // the segments it owns
        Matrix strips[3];    // private rows, row J % 3 for level J, used next to the cuts
        int failed = 0;      // its first level that is not finite
    };

    void work(int part);
    void loadStrips(Part& p);
    bool computeLevel(Part& p, int J, int shrink);
    // The cells around the cut at `cut` still sound `shrink` levels into a block.
    int stripStart(int cut, int shrink) const;
    int stripEnd(int cut, int shrink) const;

    LevelTeam& team_;
    Matrix& psi_;
    int M_;
    KernelFactors f_;
    int depth_;
    int halo_;  // cells on either side of a cut when a block starts
    std::vector<Part> parts_;
    int first_ = 0;
    int last_ = 0;
};

}  // namespace velarion
