// Built without vectorisation: the plain one-cell-at-a-time loop.
#include "kernel.h"

#include "kernel_cells.h"

namespace velarion {

bool updateRowScalar(const double* current, const double* previous, double* target, int M,
                     const KernelFactors& f) {
    std::uint64_t bad = 0;
    target[0] = cells::first(current, previous, f);
    bad |= cells::nonFinite(target[0]);
    for (int s = 1; s < M; ++s) {
        target[s] = cells::interiorOf(current, previous, s, f);
        bad |= cells::nonFinite(target[s]);
    }
    target[M] = cells::last(current, previous, M, f);
    bad |= cells::nonFinite(target[M]);
    return bad == 0;
}

// Block by block, each block's sums from zero, one segment at a time.
bool updateRowWithEnergyScalar(const double* current, const double* previous, double* target, int M,
                               const KernelFactors& f, std::span<EnergySums> blocks) {
    std::uint64_t bad = 0;
    for (int s = 0; s < M; ++s) {
        target[s] = s == 0 ? cells::first(current, previous, f)
                           : cells::interiorOf(current, previous, s, f);
        bad |= cells::nonFinite(target[s]);
        EnergySums& sums = blocks[s / kEnergyBlock];
        if (s % kEnergyBlock == 0) {
            sums = EnergySums{};
        }
        cells::addEnergyTerms(current, previous, s, f.L0, sums);
    }
    target[M] = cells::last(current, previous, M, f);
    bad |= cells::nonFinite(target[M]);
    if (M % kEnergyBlock == 0) {
        blocks[M / kEnergyBlock] = EnergySums{};
    }
    cells::addLastEnergyTerm(current, previous, M, blocks[M / kEnergyBlock]);
    return bad == 0;
}

}  // namespace velarion
