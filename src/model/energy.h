#pragma once

// The energy that the three-level scheme conserves, per unit area of the
// pipe's section (J/m2), and the check that tells a run whose energy did not
// stay put.

#include "kernel.h"
#include "parameters.h"
#include "water_hammer.h"

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
    // Up to level J: the energy friction has taken out of the column, and
    // the work a closing valve has done on it (EnergyFlows). Both 0 without
    // friction or valve.
    double dissipated = 0;
    double valveWork = 0;
    double total() const { return kinetic + strain + work; }
    // total() + dissipated - valveWork: what the scheme keeps constant
    // whatever the ends and the friction (with a restoring or closed last
    // end). The total alone when nothing was dissipated or worked.
    double balance() const;
    // |kinetic| + |strain| + |work| + |dissipated| + |valveWork|: how large
    // the numbers are that the balance is made of.
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

// What friction takes out of the column and a closing valve puts into it,
// summed over the updates so far. In the update that makes level n + 1 the
// scheme's energy (LevelEnergy) changes by the sum over the segments of
// F(n, s) (psi(n+1, s) - psi(n-1, s)) / 2, for every force F(n, s) of the
// update other than the pieces' and the counter pressure's:
// - friction, F = -Rho L0 kf d |d| / DeltaT^2 per unit area on every
//   segment that moves freely, d = psi(n, s) - psi(n-1, s): the dissipated
//   energy is the running sum of -F (psi(n+1, s) - psi(n-1, s)) / 2;
// - the valve's reaction on segment 0, R = Rho L0 (psi(n+1, 0) - 2 psi(n, 0)
//   + psi(n-1, 0)) / DeltaT^2 - B e(n, 0) / L0: its work is the running sum
//   of R (psi(n+1, 0) - psi(n-1, 0)) / 2. A shut valve does none.
// Each sum runs through the segments in rising order, from whole rows, so
// its bits do not depend on how a level was computed.
class EnergyFlows {
  public:
    EnergyFlows(const Parameters& p, FreeEnd freeEnd, const WaterHammer& hammer);

    // Whether there is anything to sum: friction or a closing valve.
    bool isActive() const { return friction_ || valve_; }
    // Adds the update that made `next` from `current` and `previous`.
    void add(const double* previous, const double* current, const double* next, int M);
    // Puts the sums of the updates added so far into `energy`: the energy
    // of the level `next` of the last add() paired with the one before.
    void fill(LevelEnergy& energy) const {
        energy.dissipated = dissipated_;
        energy.valveWork = valveWork_;
    }

  private:
    Parameters p_;
    double kf_;
    bool friction_;
    bool valve_;
    int firstFree_;  // the first segment friction acts on
    bool lastFree_;  // whether it acts on segment M
    double dissipated_ = 0;
    double valveWork_ = 0;
};

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
