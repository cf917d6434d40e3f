#include "kernel.h"

#include "kernel_cells.h"
#include "kernel_x86.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace velarion {

KernelFactors KernelFactors::from(double DeltaT, double L0, double Rho, double B, double P,
                                  FreeEnd freeEnd) {
    const double c = std::pow(DeltaT / L0, 2.0);
    KernelFactors f;
    f.k1 = c * (1 / Rho);
    f.k2 = c * (B / Rho);
    f.B = B;
    f.P = P;
    f.L0 = L0;
    f.freeEnd = freeEnd;
    return f;
}

KernelFactors KernelFactors::from(double DeltaT, double L0, double Rho, double B, double P,
                                  FreeEnd freeEnd, const WaterHammer& hammer, double V0, double D) {
    KernelFactors f = from(DeltaT, L0, Rho, B, P, freeEnd);
    f.firstEnd = hammer.firstEnd;
    if (hammer.firstEnd == FirstEnd::Valve) {
        f.kv = DeltaT * DeltaT * V0 / hammer.closingTime;
    }
    if (hammer.hasFriction()) {
        f.kf = hammer.friction / (2 * D);
    }
    return f;
}

namespace {

// The plain loop, vectorised by the compiler for the baseline instruction
// set (SSE2 on x86-64): each cell is the same sequence of IEEE operations,
// only two at once.
template <bool kFriction>
std::uint64_t interiorBaseline(const double* __restrict current, const double* __restrict previous,
                               double* __restrict target, int from, int end,
                               const KernelFactors& f) {
    const double k2 = f.k2;
    const double kf = f.kf;
    std::uint64_t bad = 0;
    for (int s = from; s < end; ++s) {
        const double v = kFriction ? cells::interiorWithFriction(current, previous, s, k2, kf)
                                   : cells::interior(current, previous, s, k2);
        target[s] = v;
        bad |= cells::nonFinite(v);
    }
    return bad;
}

bool updateRangeBaseline(const double* __restrict current, const double* __restrict previous,
                         double* __restrict target, int M, int from, int to,
                         const KernelFactors& f) {
    std::uint64_t bad =
        from == 0 ? cells::nonFinite(target[0] = cells::first(current, previous, f)) : 0;
    const int end = to < M ? to : M;
    const int start = from > 1 ? from : 1;
    bad |= f.hasFriction() ? interiorBaseline<true>(current, previous, target, start, end, f)
                           : interiorBaseline<false>(current, previous, target, start, end, f);
    if (to == M + 1) {
        bad |= cells::nonFinite(target[M] = cells::last(current, previous, M, f));
    }
    return bad == 0;
}

bool updateRowBaseline(const double* current, const double* previous, double* target, int M,
                       const KernelFactors& f) {
    return updateRangeBaseline(current, previous, target, M, 0, M + 1, f);
}

// The update, then the energy terms of segments from..to-1 onto the sums of
// their blocks: the plain loop above vectorises only as long as it carries
// no sums.
bool updateRangeWithEnergyBaseline(const double* current, const double* previous, double* target,
                                   int M, int from, int to, const KernelFactors& f,
                                   EnergySums* blocks) {
    const bool finite = updateRangeBaseline(current, previous, target, M, from, to, f);
    for (int s = from; s < to;) {
        const int next = std::min((s / kEnergyBlock + 1) * kEnergyBlock, to);
        sumEnergyRange(previous, current, s, next, M, f.L0, blocks[s / kEnergyBlock]);
        s = next;
    }
    return finite;
}

std::span<const KernelVariant> detectVariants() {
#if VELARION_KERNEL_X86
    __builtin_cpu_init();
    static const KernelVariant variants[] = {
        {"avx512", x86::updateRowAvx512,
         __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
             __builtin_cpu_supports("fma"),
         x86::updateRangeAvx512, x86::updateRangeWithEnergyAvx512},
        {"avx2", x86::updateRowAvx2,
         __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"), x86::updateRangeAvx2,
         x86::updateRangeWithEnergyAvx2},
        {"baseline", updateRowBaseline, true, updateRangeBaseline, updateRangeWithEnergyBaseline},
    };
#else
    static const KernelVariant variants[] = {
        {"baseline", updateRowBaseline, true, updateRangeBaseline, updateRangeWithEnergyBaseline}};
#endif
    return variants;
}

const KernelVariant& chooseVariant() {
    for (const KernelVariant& variant : kernelVariants()) {
        if (variant.supported) {
            return variant;
        }
    }
    return kernelVariants().back();
}

}  // namespace

std::span<const KernelVariant> kernelVariants() {
    static const std::span<const KernelVariant> variants = detectVariants();
    return variants;
}

const char* kernelName() {
    return chooseVariant().name;
}

bool updateRow(const double* current, const double* previous, double* target, int M,
               const KernelFactors& f) {
    static const UpdateRowFunction chosen = chooseVariant().update;
    return chosen(current, previous, target, M, f);
}

bool updateRowWithEnergy(const double* current, const double* previous, double* target, int M,
                         const KernelFactors& f, std::span<EnergySums> blocks) {
    std::fill_n(blocks.begin(), energyBlockCount(M), EnergySums{});
    return updateRangeWithEnergy(current, previous, target, M, 0, M + 1, f, blocks);
}

bool updateRange(const double* current, const double* previous, double* target, int M, int from,
                 int to, const KernelFactors& f) {
    static const UpdateRangeFunction chosen = chooseVariant().updateRange;
    return chosen(current, previous, target, M, from, to, f);
}

bool updateRangeWithEnergy(const double* current, const double* previous, double* target, int M,
                           int from, int to, const KernelFactors& f, std::span<EnergySums> blocks) {
    static const UpdateRangeWithEnergyFunction chosen = chooseVariant().updateRangeWithEnergy;
    return chosen(current, previous, target, M, from, to, f, blocks.data());
}

// Eight cells at a time in the lanes of a generic vector, which the compiler
// maps onto whatever vector registers the build has: lane k holds segment
// s + k, so it adds into entry (s + k) % 8 = k. Each lane is the same IEEE
// operation in every build, so the clones for wider instruction sets (the
// widest one the processor has is chosen when the program starts) give the
// same bits.
__attribute__((target_clones("avx512f", "avx2", "default"))) void sumEnergyRange(
    const double* previous, const double* current, int from, int to, int M, double L0,
    EnergySums& sums) {
    using Lanes = double __attribute__((vector_size(sizeof(double) * EnergySums::kLanes)));
    constexpr int kLanes = EnergySums::kLanes;
    const int end = std::min(to, M);  // segments with a piece after them
    int s = from;
    // One at a time up to a multiple of 8, where lane k is entry k again.
    for (; s % kLanes != 0 && s < end; ++s) {
        cells::addEnergyTerms(current, previous, s, L0, sums);
    }
    Lanes moved, stretched;
    std::memcpy(&moved, sums.moved, sizeof moved);
    std::memcpy(&stretched, sums.stretched, sizeof stretched);
    Lanes cur, prev, curNext, prevNext;
    for (; s + kLanes <= end; s += kLanes) {
        std::memcpy(&cur, current + s, sizeof cur);
        std::memcpy(&prev, previous + s, sizeof prev);
        std::memcpy(&curNext, current + s + 1, sizeof curNext);
        std::memcpy(&prevNext, previous + s + 1, sizeof prevNext);
        const Lanes v = cur - prev;
        moved += v * v;
        stretched += ((curNext - cur) - L0) * ((prevNext - prev) - L0);
    }
    std::memcpy(sums.moved, &moved, sizeof moved);
    std::memcpy(sums.stretched, &stretched, sizeof stretched);
    for (; s < end; ++s) {
        cells::addEnergyTerms(current, previous, s, L0, sums);
    }
    if (to == M + 1) {
        cells::addLastEnergyTerm(current, previous, M, sums);
    }
}

void sumEnergy(const double* previous, const double* current, int M, double L0,
               std::span<EnergySums> blocks) {
    for (int b = 0; b < energyBlockCount(M); ++b) {
        const int from = b * kEnergyBlock;
        blocks[b] = EnergySums{};
        sumEnergyRange(previous, current, from, std::min(from + kEnergyBlock, M + 1), M, L0,
                       blocks[b]);
    }
}

int firstNonFinite(const double* row, int M) {
    for (int s = 0; s <= M; ++s) {
        if (!std::isfinite(row[s])) {
            return s;
        }
    }
    return -1;
}

}  // namespace velarion
