#include "kernel.h"

#include "kernel_cells.h"

#include <cmath>

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

// One clone per instruction set; the loader picks the widest the processor
// has, so the binary runs on any x86-64. Vectorising changes no result:
// each cell is the same sequence of IEEE operations, only several at once.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VELARION_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define VELARION_CLONES
#endif

VELARION_CLONES
bool updateRow(const double* __restrict current, const double* __restrict previous,
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

int firstNonFinite(const double* row, int M) {
    for (int s = 0; s <= M; ++s) {
        if (!std::isfinite(row[s])) {
            return s;
        }
    }
    return -1;
}

}  // namespace velarion
