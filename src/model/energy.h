#pragma once

// The energy that the three-level scheme conserves, per unit area of the
// pipe's section (J/m2), and the check that tells a run whose energy did not
// stay put.

#include "kernel.h"
#include "parameters.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velarion {

// The energy of level J, paired with level J - 1.
struct LevelEnergy {
    // Sum over s = 0..M of Rho L0 v^2 / 2, v = (psi(J, s) - psi(J-1, s)) / DeltaT.
    double kinetic = 0;
    // Sum over s = 0..M-1 of (B / L0) e(J, s) e(J-1, s) / 2.
    double strain = 0;
    // -P (psi(J, 0) + psi(J-1, 0)) / 2.
    double work = 0;
    double total() const { return kinetic + strain + work; }
    // |kinetic| + |strain| + |work|: how large the numbers are that the
    // total is made of.
    double size() const;
};

// Whether the kernel's energy sums hold these parameters' energy: with a
// time step or a piece length beyond 2^±450 the squares and products of
// the sums would underflow or overflow, and energyBetween() takes them
// scaled instead.
bool fitsKernelEnergySums(const Parameters& p);

// The energy of level `current` paired with level `previous`, segments 0 to
// M (M >= 1), with e(j, s) = psi(j, s+1) - psi(j, s) - L0: a pass over the
// two rows, summed in the kernel's blocks. Within fitsKernelEnergySums() the
// same bits as the kernel's sums give.
LevelEnergy energyBetween(const double* previous, const double* current, int M,
                          const Parameters& p);

// The energy from the block sums that sumEnergy or updateRowWithEnergy
// left (energyBlockCount(M) of them), with psi(J, 0) and psi(J-1, 0) for
// the work. The blocks are added entry by entry in rising order, then the
// eight entries of each sum pairwise: a fixed order. Only for
// fitsKernelEnergySums().
LevelEnergy energyFromSums(std::span<const EnergySums> blocks, double current0, double previous0,
                           const Parameters& p);

// The segment whose last step departs most from the rigid motion, the step
// -DeltaT V0 that every segment takes at level 1: where a growing
// disturbance sits.
int largestDeparture(const double* previous, const double* current, int M, const Parameters& p);

// Where a run's energy left that of level 1: the first level J whose energy
// is not finite or differs from level 1's by more than 1 % of the energy's
// scale, the largest size() of levels 1 to J. The scale, not level 1's
// energy alone, since that can be rounding residue (a column at rest) or
// the small difference of large terms.
struct Instability {
    std::int64_t level = 0;
    double reference = 0;  // the energy of level 1
    double energy = 0;     // the energy at `level`
    double scale = 0;      // the scale at `level`
    // largestDeparture() at that level or the next, -1 when no rows were
    // seen there.
    int growthSegment = -1;
};

// The energy of levels 1, 2, ... of one run, added as they are computed. Every
// level is checked against level 1; the first kKeptLevels are kept for the
// files and charts, so that a run of billions of levels cannot exhaust the
// memory with them.
class EnergyRecord {
  public:
    static constexpr std::int64_t kKeptLevels = std::int64_t{1} << 22;

    // A record as it was kept elsewhere (a results file): its kept levels,
    // the number of levels checked, and where the energy left level 1's.
    static EnergyRecord restored(std::vector<LevelEnergy> kept, std::int64_t levels,
                                 std::optional<Instability> instability);

    void add(const LevelEnergy& energy);
    // Once the instability is found and not yet placed: its growthSegment
    // from these rows, the level just added or the next.
    void placeGrowth(const double* previous, const double* current, int M, const Parameters& p);

    // Levels 1 to keptLevels(); level k is kept()[k - 1].
    std::span<const LevelEnergy> kept() const { return kept_; }
    std::int64_t levels() const { return levels_; }
    const std::optional<Instability>& instability() const { return instability_; }
    // Whether placeGrowth() would place the instability: it is found and
    // has no segment yet.
    bool needsGrowth() const { return instability_ && instability_->growthSegment < 0; }

  private:
    std::vector<LevelEnergy> kept_;
    std::int64_t levels_ = 0;
    double reference_ = 0;
    double scale_ = 0;
    std::optional<Instability> instability_;
};

}  // namespace velarion
