#pragma once

// The three rotating rows of the Girotondo run, advanced by a team of
// threads in overlapped tiles: each thread keeps private rows over its own
// segments and a halo of neighbours' segments, computes a block of levels
// alone (the halo one cell narrower each level), and the threads meet once
// a block.

#include "envelope.h"
#include "kernel.h"
#include "level_team.h"
#include "matrix.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace velarion {

class RotatingTiles {
  public:
    // `rows`: the run's rows, row l % 3 holding level l. Cycles of three
    // levels, at most `depth` levels a block (at least one cycle). With an
    // `envelope`, every cycle's levels are taken into it. The team, rows and
    // envelope must outlive this. Throws std::bad_alloc when the memory
    // cannot be had.
    RotatingTiles(LevelTeam& team, std::array<double*, 3> rows, int M, const KernelFactors& f,
                  int depth, Envelope* envelope);

    int cyclesPerBlock() const { return cyclesPerBlock_; }
    // The first level of the last block.
    std::int64_t first() const { return first_; }

    // Levels first .. first + 3 cycles - 1 (first a multiple of 3, cycles at
    // most cyclesPerBlock()), from the two levels before first: the run's
    // rows when the tiles start, the last block's levels after that.
    void compute(std::int64_t first, int cycles);

    // The first level of the last block with a value that is not finite,
    // or 0. Parts stop at their own first such level, so the rows past it
    // are those of no single thread.
    std::int64_t failedLevel() const { return failedLevel_; }
    // The energy sums of level first + i - 1 paired with the level before
    // it, i = 0 .. levels of the last block - 1 (the update of level first
    // + i gives them), block by block, and those two levels' segment 0.
    std::span<const EnergySums> sums(int i) const;
    double current0(int i) const { return segment0_[static_cast<std::size_t>(i)].current; }
    double previous0(int i) const { return segment0_[static_cast<std::size_t>(i)].previous; }

    // Whether the newest levels are in the tiles' rows rather than the run's.
    bool holdsRows() const { return loaded_; }
    // Level `level`, one of the last block's three newest, into `into`.
    void copyLevel(std::int64_t level, double* into) const;
    // The last block's three newest levels into the run's rows.
    void settle();
    // The two levels the last block started from into the run's rows, and
    // the envelope back as it was then, so that one thread can step on from
    // there. The next block starts from the run's rows.
    void restoreBlockStart();
    // The two levels the last block started from into the run's rows; the
    // tiles keep their own.
    void writeBlockStart();

  private:
    struct Part {
        int lo = 0, hi = 0;       // the segments it owns
        Matrix rows[2][3];        // two sets of three rows, row l % 3 for level l
        std::int64_t failed = 0;  // its first level that is not finite
        double* row(int set, std::int64_t level) { return rows[set][level % 3].row(0); }
        const double* row(int set, std::int64_t level) const { return rows[set][level % 3].row(0); }
    };
    struct Segment0 {
        double current = 0, previous = 0;
    };

    void work(int part);
    void loadInputs(Part& p);
    void exchangeHalos(Part& p);
    void computeLevels(Part& p, int part);
    int haloStart(const Part& p, int shrink) const;
    int haloEnd(const Part& p, int shrink) const;

    LevelTeam& team_;
    std::array<double*, 3> rows_;
    int M_;
    KernelFactors f_;
    int cyclesPerBlock_;
    int halo_;  // cells of halo on either side when a block starts
    Envelope* envelope_;
    Envelope savedEnvelope_;
    std::vector<Part> parts_;
    int blocks_;  // energy blocks per level
    std::vector<EnergySums> sums_;
    std::vector<Segment0> segment0_;
    // The block under way: its first level, its levels, and its set of rows
    // (the other set holds the two levels it starts from).
    std::int64_t first_ = 0;
    int levels_ = 0;
    int set_ = 1;
    bool loaded_ = false;
    std::int64_t failedLevel_ = 0;
};

}  // namespace velarion
