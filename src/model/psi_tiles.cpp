// The double run's levels in overlapped tiles.
#include "psi_tiles.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

namespace velarion {

PsiTiles::PsiTiles(LevelTeam& team, Matrix& psi, int M, const KernelFactors& f, int depth)
    : team_(team),
      psi_(psi),
      M_(M),
      f_(f),
      depth_(std::max(depth, 1)),
      // After the block's last level the strips still hold the cell on
      // either side of each cut.
      halo_(depth_ + 1),
      parts_(static_cast<std::size_t>(team.parts())) {
    const auto columns = static_cast<std::size_t>(M) + 1;
    for (int part = 0; part < team.parts(); ++part) {
        Part& p = parts_[static_cast<std::size_t>(part)];
        p.lo = partStart(part, team.parts(), M);
        p.hi = partStart(part + 1, team.parts(), M);
        for (std::size_t k = 0; k < 3; ++k) {
            p.strips[k] = Matrix::tryCreate(1, columns, Matrix::spreadPageOffset(k, 3));
            if (p.strips[k].empty()) {
                throw std::bad_alloc();
            }
        }
    }
}

int PsiTiles::compute(int first, int last) {
    first_ = first;
    last_ = std::min(last, first + depth_ - 1);
    auto task = [this](int part) { work(part); };
    team_.run(task);
    int failed = 0;
    for (const Part& p : parts_) {
        if (p.failed != 0 && (failed == 0 || p.failed < failed)) {
            failed = p.failed;
        }
    }
    return failed;
}

int PsiTiles::stripStart(int cut, int shrink) const {
    return std::max(cut - halo_ + shrink, 0);
}

int PsiTiles::stripEnd(int cut, int shrink) const {
    return std::min(cut + halo_ - shrink, M_ + 1);
}

void PsiTiles::work(int part) {
    Part& p = parts_[static_cast<std::size_t>(part)];
    p.failed = 0;
    if (p.lo == p.hi) {
        return;
    }
    loadStrips(p);
    for (int J = first_; J <= last_; ++J) {
        if (!computeLevel(p, J, J - first_ + 1)) {
            p.failed = J;
            return;
        }
    }
}

// The two rows before the block around each cut: every thread finished
// them before this block began.
void PsiTiles::loadStrips(Part& p) {
    for (const int cut : {p.lo, p.hi}) {
        if (cut == 0 || cut == M_ + 1) {
            continue;
        }
        const int from = stripStart(cut, 0);
        const int to = stripEnd(cut, 0);
        for (const int J : {first_ - 2, first_ - 1}) {
            const double* row = psi_.row(static_cast<std::size_t>(J));
            std::copy(row + from, row + to, p.strips[J % 3].row(0) + from);
        }
    }
}

// Level J of the part: the strips around its cuts, their cells next to the
// cuts into psi, then the rest of its segments straight from psi. Only its
// own cells count for the verdict.
bool PsiTiles::computeLevel(Part& p, int J, int shrink) {
    const double* current = p.strips[(J - 1) % 3].row(0);
    const double* previous = p.strips[(J - 2) % 3].row(0);
    double* target = p.strips[J % 3].row(0);
    double* row = psi_.row(static_cast<std::size_t>(J));
    const bool cutBefore = p.lo > 0;
    const bool cutAfter = p.hi < M_ + 1;
    std::uint64_t bad = 0;
    for (const int cut : {p.lo, p.hi}) {
        if (cut == 0 || cut == M_ + 1) {
            continue;
        }
        updateRange(current, previous, target, M_, stripStart(cut, shrink), stripEnd(cut, shrink),
                    f_);
    }
    if (cutBefore) {
        row[p.lo] = target[p.lo];
        bad |= !std::isfinite(row[p.lo]);
    }
    if (cutAfter) {
        row[p.hi - 1] = target[p.hi - 1];
        bad |= !std::isfinite(row[p.hi - 1]);
    }
    const int from = cutBefore ? p.lo + 1 : 0;
    const int to = cutAfter ? p.hi - 1 : M_ + 1;
    if (from < to &&
        !updateRange(psi_.row(static_cast<std::size_t>(J - 1)),
                     psi_.row(static_cast<std::size_t>(J - 2)), row, M_, from, to, f_)) {
        return false;
    }
    return bad == 0;
}

}  // namespace velarion
