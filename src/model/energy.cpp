// The discrete energy of a level and the record of a run's energy.
#include "energy.h"

#include <cmath>

namespace velarion {

namespace {

double pairwiseSum(const double (&entries)[EnergySums::kLanes]) {
    return ((entries[0] + entries[1]) + (entries[2] + entries[3])) +
           ((entries[4] + entries[5]) + (entries[6] + entries[7]));
}

}  // namespace

LevelEnergy energyBetween(const double* previous, const double* current, int M,
                          const Parameters& p) {
    EnergySums sums;
    sumEnergy(previous, current, M, p.L0, sums);
    return energyFromSums(sums, current[0], previous[0], p);
}

// The factors stand outside the sums: Rho L0 / (2 DeltaT^2) for the
// squared movements, B / L0 / 2 for the products of elongations.
LevelEnergy energyFromSums(const EnergySums& sums, double current0, double previous0,
                           const Parameters& p) {
    LevelEnergy energy;
    energy.kinetic = p.Rho * p.L0 / (2 * p.DeltaT * p.DeltaT) * pairwiseSum(sums.moved);
    energy.strain = p.B / p.L0 / 2 * pairwiseSum(sums.stretched);
    energy.work = -p.P * (current0 + previous0) / 2;
    return energy;
}

void EnergyRecord::add(const LevelEnergy& energy) {
    // Kept before it is counted, so that a level that finds no memory is
    // neither kept nor counted.
    if (levels_ < kKeptLevels) {
        kept_.push_back(energy);
    }
    ++levels_;
    const double total = energy.total();
    if (levels_ == 1) {
        reference_ = total;
    }
    if (!instability_ &&
        (!std::isfinite(total) || std::abs(total - reference_) > 0.01 * std::abs(reference_))) {
        instability_ = Instability{levels_, reference_, total};
    }
}

}  // namespace velarion
