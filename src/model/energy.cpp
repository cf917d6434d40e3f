// The discrete energy of a level and the record of a run's energy.
#include "energy.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace velarion {

namespace {

// 2^450: squares and products of numbers within 2^±450 of each other's
// scale stay far from the double range's ends (2^±1022).
constexpr int kSafeExponent = 450;

double pairwiseSum(const double (&entries)[EnergySums::kLanes]) {
    return ((entries[0] + entries[1]) + (entries[2] + entries[3])) +
           ((entries[4] + entries[5]) + (entries[6] + entries[7]));
}

// The blocks added entry by entry, in rising order.
EnergySums blocksAdded(std::span<const EnergySums> blocks) {
    EnergySums total = blocks.front();
    for (const EnergySums& block : blocks.subspan(1)) {
        for (int k = 0; k < EnergySums::kLanes; ++k) {
            total.moved[k] += block.moved[k];
            total.stretched[k] += block.stretched[k];
        }
    }
    return total;
}

// Friction's term of segment s: v |v| (next - previous), v = (current -
// previous) / DeltaT.
double frictionTerm(const double* previous, const double* current, const double* next, int s,
                    double perStep) {
    const double v = (current[s] - previous[s]) * perStep;
    return v * std::abs(v) * (next[s] - previous[s]);
}

// The sum of frictionTerm over segments first..last: segment s adds into
// lane s % 8, in rising order, and the lanes are added pairwise, so the
// bits are the same whatever instructions compute it. The middle runs
// eight segments at a time in the lanes of a generic vector, as
// sumEnergyRange does.
__attribute__((target_clones("avx512f", "avx2", "default"))) double frictionSum(
    const double* previous, const double* current, const double* next, int first, int last,
    double perStep) {
    using Lanes = double __attribute__((vector_size(sizeof(double) * EnergySums::kLanes)));
    using Bits = long long __attribute__((vector_size(sizeof(double) * EnergySums::kLanes)));
    constexpr int kLanes = EnergySums::kLanes;
    double lanes[kLanes] = {};
    int s = first;
    for (; s % kLanes != 0 && s <= last; ++s) {
        lanes[s % kLanes] += frictionTerm(previous, current, next, s, perStep);
    }
    Lanes sum, cur, prev, nxt, magnitude;
    std::memcpy(&sum, lanes, sizeof sum);
    for (; s + kLanes <= last + 1; s += kLanes) {
        std::memcpy(&cur, current + s, sizeof cur);
        std::memcpy(&prev, previous + s, sizeof prev);
        std::memcpy(&nxt, next + s, sizeof nxt);
        const Lanes v = (cur - prev) * perStep;
        Bits bits;
        std::memcpy(&bits, &v, sizeof bits);
        bits &= 0x7fffffffffffffffLL;  // |v|, as std::abs clears the sign
        std::memcpy(&magnitude, &bits, sizeof magnitude);
        sum += v * magnitude * (nxt - prev);
    }
    std::memcpy(lanes, &sum, sizeof sum);
    for (; s <= last; ++s) {
        lanes[s % kLanes] += frictionTerm(previous, current, next, s, perStep);
    }
    return pairwiseSum(lanes);
}

bool withinSafeScale(double value) {
    return value != 0 && std::abs(std::ilogb(value)) <= kSafeExponent;
}

// The power of two that brings `value` near 1, or 1 for 0.
double scaleToOne(double value) {
    return value == 0 || !std::isfinite(value) ? 1 : std::ldexp(1.0, -std::ilogb(value));
}

// The energy with every movement divided by DeltaT and every elongation by
// L0 (as powers of two, exactly) before they are squared, so that neither
// underflows nor overflows, and the factors taken back afterwards; summed
// in the blocks and entries of the kernel's sums. A time step of 0 moves
// nothing: no kinetic energy.
LevelEnergy scaledEnergyBetween(const double* previous, const double* current, int M,
                                const Parameters& p) {
    const double perStep = scaleToOne(p.DeltaT);
    const double perPiece = scaleToOne(p.L0);
    std::vector<EnergySums> blocks(static_cast<std::size_t>(energyBlockCount(M)));
    for (int s = 0; s <= M; ++s) {
        EnergySums& sums = blocks[static_cast<std::size_t>(s / kEnergyBlock)];
        const double v = (current[s] - previous[s]) * perStep;
        sums.moved[s % EnergySums::kLanes] += v * v;
        if (s < M) {
            const double now = ((current[s + 1] - current[s]) - p.L0) * perPiece;
            const double before = ((previous[s + 1] - previous[s]) - p.L0) * perPiece;
            sums.stretched[s % EnergySums::kLanes] += now * before;
        }
    }
    const EnergySums total = blocksAdded(blocks);
    const double moved = pairwiseSum(total.moved);
    const double stretched = pairwiseSum(total.stretched);
    LevelEnergy energy;
    const double step = p.DeltaT * perStep;
    energy.kinetic = moved == 0 ? 0 : p.Rho * p.L0 / 2 * moved / (step * step);
    energy.strain = p.B / (p.L0 * perPiece) * stretched / perPiece / 2;
    energy.work = -p.P * (current[0] + previous[0]) / 2;
    return energy;
}

}  // namespace

double LevelEnergy::balance() const {
    if (dissipated == 0 && valveWork == 0) {
        return total();
    }
    return total() + dissipated - valveWork;
}

double LevelEnergy::size() const {
    return std::abs(kinetic) + std::abs(strain) + std::abs(work) + std::abs(dissipated) +
           std::abs(valveWork);
}

EnergyFlows::EnergyFlows(const Parameters& p, FreeEnd freeEnd, const WaterHammer& hammer)
    : p_(p),
      kf_(KernelFactors::from(p.DeltaT, p.L0, p.Rho, p.B, p.P, freeEnd, hammer, p.V0, p.D).kf),
      friction_(kf_ > 0),
      valve_(hammer.firstEnd == FirstEnd::Valve),
      firstFree_(hammer.hasValve() ? 1 : 0),
      lastFree_(freeEnd != FreeEnd::Closed) {}

void EnergyFlows::add(const double* previous, const double* current, const double* next, int M) {
    if (friction_) {
        const double sum =
            frictionSum(previous, current, next, firstFree_, lastFree_ ? M : M - 1, 1 / p_.DeltaT);
        dissipated_ += p_.Rho * p_.L0 * kf_ / 2 * sum;
    }
    if (valve_) {
        const double acceleration =
            ((next[0] - current[0]) - (current[0] - previous[0])) / p_.DeltaT / p_.DeltaT;
        const double elongation = (current[1] - current[0]) - p_.L0;
        const double reaction = p_.Rho * p_.L0 * acceleration - p_.B * elongation / p_.L0;
        valveWork_ += reaction * (next[0] - previous[0]) / 2;
    }
}

bool fitsKernelEnergySums(const Parameters& p) {
    return withinSafeScale(p.DeltaT) && withinSafeScale(p.L0);
}

LevelEnergy energyBetween(const double* previous, const double* current, int M,
                          const Parameters& p) {
    if (!fitsKernelEnergySums(p)) {
        return scaledEnergyBetween(previous, current, M, p);
    }
    std::vector<EnergySums> blocks(static_cast<std::size_t>(energyBlockCount(M)));
    sumEnergy(previous, current, M, p.L0, blocks);
    return energyFromSums(blocks, current[0], previous[0], p);
}

// The factors stand outside the sums: Rho L0 / (2 DeltaT^2) for the
// squared movements, B / L0 / 2 for the products of elongations.
LevelEnergy energyFromSums(std::span<const EnergySums> blocks, double current0, double previous0,
                           const Parameters& p) {
    const EnergySums sums = blocksAdded(blocks);
    LevelEnergy energy;
    energy.kinetic = p.Rho * p.L0 / (2 * p.DeltaT * p.DeltaT) * pairwiseSum(sums.moved);
    energy.strain = p.B / p.L0 / 2 * pairwiseSum(sums.stretched);
    energy.work = -p.P * (current0 + previous0) / 2;
    return energy;
}

int largestDeparture(const double* previous, const double* current, int M, const Parameters& p) {
    const double rigidStep = -(p.DeltaT * p.V0);
    int largest = 0;
    double departure = -1;
    for (int s = 0; s <= M; ++s) {
        const double d = std::abs((current[s] - previous[s]) - rigidStep);
        // A position that is no longer a number departs the most.
        if (!(d <= departure)) {
            departure = std::isnan(d) ? INFINITY : d;
            largest = s;
        }
    }
    return largest;
}

EnergyRecord EnergyRecord::restored(std::vector<LevelEnergy> kept, std::int64_t levels,
                                    std::optional<Instability> instability) {
    EnergyRecord record;
    record.kept_ = std::move(kept);
    record.levels_ = levels;
    record.instability_ = instability;
    if (!record.kept_.empty()) {
        record.reference_ = record.kept_.front().balance();
    }
    for (const LevelEnergy& energy : record.kept_) {
        record.scale_ = std::max(record.scale_, energy.size());
    }
    return record;
}

void EnergyRecord::add(const LevelEnergy& energy) {
    // Kept before it is counted, so that a level that finds no memory is
    // neither kept nor counted.
    if (levels_ < kKeptLevels) {
        kept_.push_back(energy);
    }
    ++levels_;
    const double total = energy.balance();
    if (levels_ == 1) {
        reference_ = total;
    }
    scale_ = std::max(scale_, energy.size());
    if (!instability_ && (!std::isfinite(total) || std::abs(total - reference_) > 0.01 * scale_)) {
        instability_ = Instability{levels_, reference_, total, scale_};
    }
}

void EnergyRecord::placeGrowth(const double* previous, const double* current, int M,
                               const Parameters& p) {
    if (instability_ && instability_->growthSegment < 0) {
        instability_->growthSegment = largestDeparture(previous, current, M, p);
    }
}

}  // namespace velarion
