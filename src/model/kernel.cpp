#include "kernel.h"

#include "kernel_cells.h"
#include "kernel_x86.h"

#include <cmath>
#include <iterator>

namespace velarion {

KernelFactors KernelFactors::from(double DeltaT, double L0, double Rho, double B, double P) {
    const double c = std::pow(DeltaT / L0, 2.0);
    KernelFactors f;
    f.k1 = c * (1 / Rho);
    f.k2 = c * (B / Rho);
    f.B = B;
    f.P = P;
    f.L0 = L0;
    return f;
}

namespace {

// The plain loop, vectorised by the compiler for the baseline instruction
// set (SSE2 on x86-64): each cell is the same sequence of IEEE operations,
// only two at once.
bool updateRowBaseline(const double* __restrict current, const double* __restrict previous,
                       double* __restrict target, int M, const KernelFactors& f) {
    const double k2 = f.k2;
    std::uint64_t bad = cells::nonFinite(target[0] = cells::first(current, previous, f));
    for (int s = 1; s < M; ++s) {
        const double v = cells::interior(current, previous, s, k2);
        target[s] = v;
        bad |= cells::nonFinite(v);
    }
    bad |= cells::nonFinite(target[M] = cells::last(current, previous, M, f));
    return bad == 0;
}

std::span<const KernelVariant> detectVariants() {
#if VELARION_KERNEL_X86
    __builtin_cpu_init();
    static const KernelVariant variants[] = {
        {"avx512", x86::updateRowAvx512,
         __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq")},
        {"avx2", x86::updateRowAvx2, __builtin_cpu_supports("avx2") != 0},
        {"baseline", updateRowBaseline, true},
    };
#else
    static const KernelVariant variants[] = {{"baseline", updateRowBaseline, true}};
#endif
    return variants;
}

UpdateRowFunction chooseVariant() {
    for (const KernelVariant& variant : kernelVariants()) {
        if (variant.supported) {
            return variant.update;
        }
    }
    return updateRowBaseline;
}

}  // namespace

std::span<const KernelVariant> kernelVariants() {
    static const std::span<const KernelVariant> variants = detectVariants();
    return variants;
}

bool updateRow(const double* current, const double* previous, double* target, int M,
               const KernelFactors& f) {
    static const UpdateRowFunction chosen = chooseVariant();
    return chosen(current, previous, target, M, f);
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
