#pragma once

// The three cell formulas of the column update, in the exact order of
// operations of the model. Shared by the vectorised and the scalar kernel.

#include "kernel.h"

#include <bit>
#include <cstdint>

namespace velarion::cells {

inline double first(const double* cur, const double* prev, const KernelFactors& f) {
    return f.k1 * ((cur[1] - cur[0] - f.L0) * f.B + f.P * f.L0) + (2 * cur[0] - prev[0]);
}

inline double interior(const double* cur, const double* prev, int s, double k2) {
    return k2 * ((cur[s + 1] - 2 * cur[s]) + cur[s - 1]) + (2 * cur[s] - prev[s]);
}

inline double last(const double* cur, const double* prev, int M, const KernelFactors& f) {
    return f.k2 * ((cur[M] - cur[M - 1]) - f.L0) + (2 * cur[M] - prev[M]);
}

// 1 when x is infinite or NaN (all exponent bits set), else 0. An integer
// test, so it vectorises as a compare and an OR reduction.
inline std::uint64_t nonFinite(double x) {
    constexpr std::uint64_t kExponent = 0x7ff0000000000000ULL;
    return (std::bit_cast<std::uint64_t>(x) & kExponent) == kExponent;
}

}  // namespace velarion::cells
