#pragma once

// The three cell formulas of the column update, in the exact order of
// operations of the model. Shared by the vectorised and the scalar kernel.

#include "kernel.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace velarion::cells {

// The stretch of the first piece pushing segment 0, with the counter
// pressure: the seed's first cell.
inline double counterPressed(const double* cur, const double* prev, const KernelFactors& f) {
    return f.k1 * ((cur[1] - cur[0] - f.L0) * f.B + f.P * f.L0) + (2 * cur[0] - prev[0]);
}

// What friction takes off a segment whose last step was d: kf * (d * |d|).
inline double friction(double d, double kf) {
    return kf * (d * std::abs(d));
}

// A closing valve: segment 0's step d shrinks by kv each level until it
// would cross zero; from then on the valve is shut.
inline double valve(const double* cur, const double* prev, double kv) {
    const double d = cur[0] - prev[0];
    const double next = d + kv;
    return next * d > 0 ? cur[0] + next : cur[0];
}

inline double first(const double* cur, const double* prev, const KernelFactors& f) {
    switch (f.firstEnd) {
        case FirstEnd::Closed:
            return cur[0];
        case FirstEnd::Valve:
            return valve(cur, prev, f.kv);
        case FirstEnd::CounterPressure:
            break;
    }
    const double pushed = counterPressed(cur, prev, f);
    return f.hasFriction() ? pushed - friction(cur[0] - prev[0], f.kf) : pushed;
}

inline double interior(const double* cur, const double* prev, int s, double k2) {
    return k2 * ((cur[s + 1] - 2 * cur[s]) + cur[s - 1]) + (2 * cur[s] - prev[s]);
}

inline double interiorWithFriction(const double* cur, const double* prev, int s, double k2,
                                   double kf) {
    return interior(cur, prev, s, k2) - friction(cur[s] - prev[s], kf);
}

// An interior cell, with friction only when the pipe has some.
inline double interiorOf(const double* cur, const double* prev, int s, const KernelFactors& f) {
    return f.hasFriction() ? interiorWithFriction(cur, prev, s, f.k2, f.kf)
                           : interior(cur, prev, s, f.k2);
}

// The restoring stretch swaps the operands of both subtractions, so it is
// exactly the seed's stretch negated. A closed end stays where it is.
inline double last(const double* cur, const double* prev, int M, const KernelFactors& f) {
    if (f.freeEnd == FreeEnd::Closed) {
        return cur[M];
    }
    const double stretch = f.freeEnd == FreeEnd::Restoring ? (cur[M - 1] - cur[M]) + f.L0
                                                           : (cur[M] - cur[M - 1]) - f.L0;
    const double moved = f.k2 * stretch + (2 * cur[M] - prev[M]);
    return f.hasFriction() ? moved - friction(cur[M] - prev[M], f.kf) : moved;
}

// The energy terms of segment s (s < M): its movement squared, and the
// product of the elongations of its piece at the two levels, each added to
// entry s % 8.
inline void addEnergyTerms(const double* cur, const double* prev, int s, double L0,
                           EnergySums& sums) {
    const double v = cur[s] - prev[s];
    const double e = (cur[s + 1] - cur[s]) - L0;
    const double eBefore = (prev[s + 1] - prev[s]) - L0;
    sums.moved[s % EnergySums::kLanes] += v * v;
    sums.stretched[s % EnergySums::kLanes] += e * eBefore;
}

// The last segment has no piece after it: its movement only.
inline void addLastEnergyTerm(const double* cur, const double* prev, int M, EnergySums& sums) {
    const double v = cur[M] - prev[M];
    sums.moved[M % EnergySums::kLanes] += v * v;
}

// 1 when x is infinite or NaN (all exponent bits set), else 0. An integer
// test, so it vectorises as a compare and an OR reduction.
inline std::uint64_t nonFinite(double x) {
    constexpr std::uint64_t kExponent = 0x7ff0000000000000ULL;
    return (std::bit_cast<std::uint64_t>(x) & kExponent) == kExponent;
}

}  // namespace velarion::cells
