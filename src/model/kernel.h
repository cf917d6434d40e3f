#pragma once

#include "water_hammer.h"

#include <span>

namespace velarion {

// The factors of the column update, formed once per run.
struct KernelFactors {
    double k1 = 0;  // c * (1 / Rho)
    double k2 = 0;  // c * (B / Rho)
    double B = 0;
    double P = 0;
    double L0 = 0;
    FreeEnd freeEnd = FreeEnd::Seed;
    FirstEnd firstEnd = FirstEnd::CounterPressure;
    // A closing valve's step shrinks by this much every level: (DeltaT *
    // DeltaT) * V0 / TC, signed as V0.
    double kv = 0;
    // Friction takes kf * (d * |d|) off each freely moving segment, d its
    // last step: kf = f / (2 D). 0 without friction, and then the update
    // is the seed's, operation for operation.
    double kf = 0;

    // c = pow(DeltaT / L0, 2.0) by the power function, not a product.
    static KernelFactors from(double DeltaT, double L0, double Rho, double B, double P,
                              FreeEnd freeEnd = FreeEnd::Seed);
    // The same with the first end and the friction of `hammer`; V0 and the
    // diameter D give the valve's and the friction's factors.
    static KernelFactors from(double DeltaT, double L0, double Rho, double B, double P,
                              FreeEnd freeEnd, const WaterHammer& hammer, double V0, double D);
    bool hasFriction() const { return kf > 0; }
};

// Computes one time level: target[0..M] from the level before (current)
// and the one before that (previous). Needs M >= 1; the three rows must not
// overlap. Returns false when any value written is infinite or NaN.
// Runs the widest variant this processor supports, with the same bits as
// updateRowScalar.
bool updateRow(const double* current, const double* previous, double* target, int M,
               const KernelFactors& f);

// The cells from..to-1 of the same update (0 <= from < to <= M + 1), with
// the same bits as those cells of updateRow: threads that share a level
// each take a range.
bool updateRange(const double* current, const double* previous, double* target, int M, int from,
                 int to, const KernelFactors& f);

// The same update as a plain scalar loop: the reference for tests and benchmarks.
bool updateRowScalar(const double* current, const double* previous, double* target, int M,
                     const KernelFactors& f);

// The sums behind the energy of level `current` paired with level
// `previous`, for one block of segments: segment s adds its terms into
// entry s % 8, in rising order of s, so every variant that keeps this order
// gives the same bits.
struct EnergySums {
    static constexpr int kLanes = 8;
    double moved[kLanes] = {};      // (current[s] - previous[s])^2, s = 0..M
    double stretched[kLanes] = {};  // e(current, s) e(previous, s), s = 0..M-1
};

// A level's energy is summed in fixed blocks of segments: block b holds
// segments b * kEnergyBlock up to the next block (or M), each summed from
// zero by one call in one thread, and the blocks are added entry by entry in
// rising order. So any kernel variant and any number of threads, each
// taking whole blocks, give the same bits.
inline constexpr int kEnergyBlock = 1024;

// The blocks of segments 0..M.
constexpr int energyBlockCount(int M) {
    return M / kEnergyBlock + 1;
}

// e(row, s) = (row[s+1] - row[s]) - L0, the elongation of the piece s..s+1.
// Adds the energy terms of `current` paired with `previous` for segments
// from..to-1 (0 <= from < to <= M + 1) onto `sums`, carrying on each
// entry's sum.
void sumEnergyRange(const double* previous, const double* current, int from, int to, int M,
                    double L0, EnergySums& sums);

// The energy sums of `current` paired with `previous`, block by block, into
// blocks[0..energyBlockCount(M) - 1]: the generic pass over the two rows.
void sumEnergy(const double* previous, const double* current, int M, double L0,
               std::span<EnergySums> blocks);

// updateRow that also sums the energy of `current` paired with `previous`
// (the two rows it reads anyway) into blocks[0..energyBlockCount(M) - 1],
// from zero: the energy costs no second pass over the rows. The same bits
// as updateRowWithEnergyScalar.
bool updateRowWithEnergy(const double* current, const double* previous, double* target, int M,
                         const KernelFactors& f, std::span<EnergySums> blocks);
bool updateRowWithEnergyScalar(const double* current, const double* previous, double* target, int M,
                               const KernelFactors& f, std::span<EnergySums> blocks);

// updateRange that also adds the energy terms of segments from..to-1,
// segment s onto blocks[s / kEnergyBlock], carrying on each entry's sum: a
// block's sums, started at zero, are those of updateRowWithEnergy when its
// segments are taken in one range or in ranges in rising order.
bool updateRangeWithEnergy(const double* current, const double* previous, double* target, int M,
                           int from, int to, const KernelFactors& f, std::span<EnergySums> blocks);

using UpdateRowFunction = bool (*)(const double*, const double*, double*, int,
                                   const KernelFactors&);
using UpdateRangeFunction = bool (*)(const double*, const double*, double*, int, int, int,
                                     const KernelFactors&);
using UpdateRangeWithEnergyFunction = bool (*)(const double*, const double*, double*, int, int, int,
                                               const KernelFactors&, EnergySums*);

// One vectorised build of updateRow for one instruction set.
struct KernelVariant {
    const char* name;
    UpdateRowFunction update;
    bool supported;  // whether this processor can run it
    UpdateRangeFunction updateRange;
    UpdateRangeWithEnergyFunction updateRangeWithEnergy;
};

// Every vectorised variant in this binary, widest first; updateRow runs the
// first supported one. The last ("baseline") runs on any processor.
std::span<const KernelVariant> kernelVariants();
// The name of the variant updateRow runs on this processor.
const char* kernelName();

// Index of the first infinite or NaN value of row[0..M], or -1.
int firstNonFinite(const double* row, int M);

}  // namespace velarion
