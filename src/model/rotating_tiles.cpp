// The Girotondo run's levels in overlapped tiles.
#include "rotating_tiles.h"

#include <algorithm>
#include <new>

namespace velarion {

RotatingTiles::RotatingTiles(LevelTeam& team, std::array<double*, 3> rows, int M,
                             const KernelFactors& f, int depth, Envelope* envelope)
    : team_(team),
      rows_(rows),
      M_(M),
      f_(f),
      cyclesPerBlock_(std::max(depth / 3, 1)),
      // The halo still reaches one cell past the part's own after the
      // block's last level: the envelope's pieces read it.
      halo_(3 * cyclesPerBlock_ + 1),
      envelope_(envelope),
      parts_(static_cast<std::size_t>(team.parts())),
      blocks_(energyBlockCount(M)) {
    const auto columns = static_cast<std::size_t>(M) + 1;
    for (int part = 0; part < team.parts(); ++part) {
        Part& p = parts_[static_cast<std::size_t>(part)];
        p.lo = partStart(part, team.parts(), M, kEnergyBlock);
        p.hi = partStart(part + 1, team.parts(), M, kEnergyBlock);
        for (auto& set : p.rows) {
            for (std::size_t k = 0; k < 3; ++k) {
                set[k] = Matrix::tryCreate(1, columns, Matrix::spreadPageOffset(k, 3));
                if (set[k].empty()) {
                    throw std::bad_alloc();
                }
            }
        }
    }
    const auto levels = static_cast<std::size_t>(3 * cyclesPerBlock_);
    sums_.resize(levels * static_cast<std::size_t>(blocks_));
    segment0_.resize(levels);
    if (envelope_ != nullptr && !savedEnvelope_.startAs(*envelope_)) {
        throw std::bad_alloc();
    }
}

std::span<const EnergySums> RotatingTiles::sums(int i) const {
    return std::span(sums_).subspan(static_cast<std::size_t>(i) * static_cast<std::size_t>(blocks_),
                                    static_cast<std::size_t>(blocks_));
}

// Each block writes the set of rows the block before it read from, so the
// two levels a block starts from stay as they were until the next block.
void RotatingTiles::compute(std::int64_t first, int cycles) {
    first_ = first;
    levels_ = 3 * std::clamp(cycles, 1, cyclesPerBlock_);
    set_ = 1 - set_;
    auto task = [this](int part) { work(part); };
    team_.run(task);
    loaded_ = true;
    failedLevel_ = 0;
    for (const Part& p : parts_) {
        if (p.failed != 0 && (failedLevel_ == 0 || p.failed < failedLevel_)) {
            failedLevel_ = p.failed;
        }
    }
}

void RotatingTiles::work(int part) {
    Part& p = parts_[static_cast<std::size_t>(part)];
    p.failed = 0;
    if (p.lo == p.hi) {
        return;
    }
    if (loaded_) {
        exchangeHalos(p);
    } else {
        loadInputs(p);
    }
    if (envelope_ != nullptr) {
        savedEnvelope_.assignRange(*envelope_, p.lo, p.hi);
    }
    computeLevels(p, part);
}

// The first cell of the halo before the part `shrink` levels into a block;
// at the first segment the halo is the row's start, which needs no
// neighbour.
int RotatingTiles::haloStart(const Part& p, int shrink) const {
    return p.lo == 0 ? 0 : std::max(p.lo - halo_ + shrink, 0);
}

int RotatingTiles::haloEnd(const Part& p, int shrink) const {
    return p.hi == M_ + 1 ? M_ + 1 : std::min(p.hi + halo_ - shrink, M_ + 1);
}

void RotatingTiles::loadInputs(Part& p) {
    const int from = haloStart(p, 0);
    const int to = haloEnd(p, 0);
    for (const std::int64_t level : {first_ - 2, first_ - 1}) {
        const double* source = rows_[static_cast<std::size_t>(level % 3)];
        std::copy(source + from, source + to, p.row(1 - set_, level) + from);
    }
}

// The neighbours' segments of the two levels the block starts from, from
// the parts that own them: those rows are the last block's, which no part
// writes during this one.
void RotatingTiles::exchangeHalos(Part& p) {
    const int in = 1 - set_;
    const int before = haloStart(p, 0);
    const int after = haloEnd(p, 0);
    for (const Part& q : parts_) {
        if (&q == &p) {
            continue;
        }
        for (const auto& [from, to] : {std::pair{std::max(before, q.lo), std::min(p.lo, q.hi)},
                                       std::pair{std::max(p.hi, q.lo), std::min(after, q.hi)}}) {
            if (from >= to) {
                continue;
            }
            for (const std::int64_t level : {first_ - 2, first_ - 1}) {
                const double* source = q.row(in, level);
                std::copy(source + from, source + to, p.row(in, level) + from);
            }
        }
    }
}

// Level i of the block over the part's segments and the halo that is still
// sound i levels in; the part's own segments block by block, with their
// energy terms.
void RotatingTiles::computeLevels(Part& p, int part) {
    const int out = set_;
    const int in = 1 - set_;
    for (int i = 1; i <= levels_; ++i) {
        const std::int64_t level = first_ + i - 1;
        const double* current = p.row(i >= 2 ? out : in, level - 1);
        const double* previous = p.row(i >= 3 ? out : in, level - 2);
        double* target = p.row(out, level);
        const int before = haloStart(p, i);
        const int after = haloEnd(p, i);
        if (before < p.lo) {
            updateRange(current, previous, target, M_, before, p.lo, f_);
        }
        const std::span<EnergySums> sums = std::span(sums_).subspan(
            static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(blocks_),
            static_cast<std::size_t>(blocks_));
        const int firstBlock = p.lo / kEnergyBlock;
        std::fill(sums.begin() + firstBlock, sums.begin() + (p.hi - 1) / kEnergyBlock + 1,
                  EnergySums{});
        const bool finite =
            updateRangeWithEnergy(current, previous, target, M_, p.lo, p.hi, f_, sums);
        if (p.hi < after) {
            updateRange(current, previous, target, M_, p.hi, after, f_);
        }
        if (part == 0) {
            segment0_[static_cast<std::size_t>(i - 1)] = {current[0], previous[0]};
        }
        if (!finite) {
            p.failed = level;
            return;
        }
        if (envelope_ != nullptr && level % 3 == 2) {
            envelope_->add3(p.row(out, level - 2), p.row(out, level - 1), target, p.lo, p.hi);
        }
    }
}

void RotatingTiles::copyLevel(std::int64_t level, double* into) const {
    for (const Part& p : parts_) {
        const double* source = p.row(set_, level);
        std::copy(source + p.lo, source + p.hi, into + p.lo);
    }
}

void RotatingTiles::settle() {
    if (!loaded_) {
        return;
    }
    const std::int64_t newest = first_ + levels_ - 1;
    for (std::int64_t level = newest - 2; level <= newest; ++level) {
        copyLevel(level, rows_[static_cast<std::size_t>(level % 3)]);
    }
}

void RotatingTiles::writeBlockStart() {
    for (const std::int64_t level : {first_ - 2, first_ - 1}) {
        double* into = rows_[static_cast<std::size_t>(level % 3)];
        for (const Part& p : parts_) {
            const double* source = p.row(1 - set_, level);
            std::copy(source + p.lo, source + p.hi, into + p.lo);
        }
    }
}

void RotatingTiles::restoreBlockStart() {
    writeBlockStart();
    if (envelope_ != nullptr) {
        envelope_->assignRange(savedEnvelope_, 0, M_ + 1);
    }
    loaded_ = false;
}

}  // namespace velarion
