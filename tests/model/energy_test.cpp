// The energy of a level, the record that calls a run unstable, and the
// envelope's extremes.
#include "model/energy.h"
#include "model/envelope.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <utility>
#include <vector>

namespace velarion {
namespace {

Parameters withPressure(double P) {
    Parameters p;
    p.Rho = 1000;
    p.DeltaT = 0.000001;
    p.B = 2500000;
    p.L0 = 0.0002;
    p.P = P;
    return p;
}

// Two levels of 21 segments written out, against the formula summed term by
// term in the order it is written.
TEST(Energy, EachPartFollowsItsFormula) {
    const Parameters p = withPressure(10000);
    const int M = 20;
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> jitter(-1e-6, 1e-6);
    std::vector<double> before(M + 1), now(M + 1);
    for (int s = 0; s <= M; ++s) {
        before[s] = s * p.L0 + jitter(rng);
        now[s] = before[s] - 0.0000055 + jitter(rng);
    }
    double kinetic = 0, strain = 0;
    for (int s = 0; s <= M; ++s) {
        const double v = (now[s] - before[s]) / p.DeltaT;
        kinetic += 0.5 * p.Rho * p.L0 * v * v;
    }
    for (int s = 0; s < M; ++s) {
        const double e = now[s + 1] - now[s] - p.L0;
        const double eBefore = before[s + 1] - before[s] - p.L0;
        strain += 0.5 * (p.B / p.L0) * e * eBefore;
    }
    const LevelEnergy energy = energyBetween(before.data(), now.data(), M, p);
    EXPECT_NEAR(energy.kinetic, kinetic, 1e-12 * kinetic);
    EXPECT_NEAR(energy.strain, strain, 1e-12 * std::abs(strain));
    EXPECT_NE(energy.strain, 0);
    EXPECT_EQ(energy.work, -p.P * (now[0] + before[0]) / 2);
    EXPECT_EQ(energy.total(), energy.kinetic + energy.strain + energy.work);
}

LevelEnergy kineticOnly(double value) {
    LevelEnergy e;
    e.kinetic = value;
    return e;
}

// 1 % of level 1's energy is allowed, anything beyond it is not, and so is
// a level whose energy is not a number; the first such level stays.
TEST(EnergyRecord, TheFirstLevelBeyondOnePercentOfLevelOneIsUnstable) {
    EnergyRecord record;
    for (const double e : {-200.0, -202.0, -198.0, -200.5}) {
        record.add(kineticOnly(e));
    }
    EXPECT_FALSE(record.instability());
    record.add(kineticOnly(-197.9));
    record.add(kineticOnly(-250.0));
    ASSERT_TRUE(record.instability());
    EXPECT_EQ(record.instability()->level, 5);
    EXPECT_EQ(record.instability()->reference, -200.0);
    EXPECT_EQ(record.instability()->energy, -197.9);
    EXPECT_EQ(record.levels(), 6);
    ASSERT_EQ(record.kept().size(), 6u);
    EXPECT_EQ(record.kept()[5].kinetic, -250.0);

    EnergyRecord blownUp;
    blownUp.add(kineticOnly(300));
    blownUp.add(kineticOnly(std::numeric_limits<double>::quiet_NaN()));
    ASSERT_TRUE(blownUp.instability());
    EXPECT_EQ(blownUp.instability()->level, 2);
}

// A column at rest under a counter pressure: level 1's energy is the
// rounding residue of the rows at rest, and the next levels' kinetic energy
// and work of about 2.5E-4 J/m2 cancel to within 1E-19. Measured against
// the size of those terms, nothing left level 1; measured against level
// 1's residue alone, everything would have.
TEST(EnergyRecord, LevelOnesResidueIsMeasuredAgainstTheEnergysScale) {
    EnergyRecord record;
    record.add(LevelEnergy{0, 2.77683e-25, 0});
    record.add(LevelEnergy{2.5e-4, 2.77683e-25, -2.5e-4 - 5.42101e-20});
    record.add(LevelEnergy{5e-4, 1e-9, -5e-4 - 1e-9});
    EXPECT_FALSE(record.instability());
    // A real change is still one: 1 % of the largest size so far.
    record.add(LevelEnergy{5e-4, 2e-5, -5e-4});
    ASSERT_TRUE(record.instability());
    EXPECT_EQ(record.instability()->level, 4);
    EXPECT_DOUBLE_EQ(record.instability()->scale, 1.02e-3);
}

// The energy written out term by term, each movement divided by the time
// step and each elongation by the piece before they are multiplied: the
// definition, free of the sums' factoring.
LevelEnergy plainEnergy(const std::vector<double>& before, const std::vector<double>& now,
                        const Parameters& p) {
    LevelEnergy e;
    const int M = static_cast<int>(now.size()) - 1;
    for (int s = 0; s <= M; ++s) {
        const double v = (now[s] - before[s]) / p.DeltaT;
        e.kinetic += 0.5 * p.Rho * p.L0 * v * v;
        if (s < M) {
            const double strain = (now[s + 1] - now[s] - p.L0) / p.L0;
            const double strainBefore = (before[s + 1] - before[s] - p.L0) / p.L0;
            e.strain += 0.5 * p.B * p.L0 * strain * strainBefore;
        }
    }
    e.work = -p.P * (now[0] + before[0]) / 2;
    return e;
}

// Time steps and pieces far beyond the sums' range: a time step of 1E-200 s
// would square to 0 and a piece of 1E+196 m overflow its elongations'
// products; the energy is still the finite number of its definition.
TEST(Energy, ExtremeTimeStepsAndPiecesGiveTheEnergyOfItsDefinition) {
    for (const auto& [DeltaT, L0] :
         {std::pair{1e-200, 1e-190}, std::pair{1e190, 1e196}, std::pair{1e-254, 1e-250}}) {
        Parameters p = withPressure(10000);
        p.DeltaT = DeltaT;
        p.L0 = L0;
        EXPECT_FALSE(fitsKernelEnergySums(p));
        const int M = 10;
        std::vector<double> before(M + 1), now(M + 1);
        for (int s = 0; s <= M; ++s) {
            // Elongations and moves of parts in 1E-3 of the piece.
            before[s] = s * L0 * (1 + 1e-3 * (s % 3));
            now[s] = before[s] + 1e-3 * L0 * (1 + s % 2);
        }
        const LevelEnergy expected = plainEnergy(before, now, p);
        const LevelEnergy energy = energyBetween(before.data(), now.data(), M, p);
        ASSERT_TRUE(std::isfinite(expected.total())) << DeltaT << " " << L0;
        EXPECT_NEAR(energy.kinetic, expected.kinetic, 1e-12 * std::abs(expected.kinetic));
        EXPECT_NEAR(energy.strain, expected.strain, 1e-12 * std::abs(expected.strain));
        EXPECT_EQ(energy.work, expected.work);
        EXPECT_NE(energy.kinetic, 0);
    }
}

// Taking three levels in one pass gives the same extremes as taking them
// one by one, whatever the row's length against the vector width.
TEST(Envelope, ThreeLevelsAtOnceEqualThreeOneByOne) {
    const Parameters p = withPressure(0);
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> position(-1, 1);
    for (const int M : {1, 7, 8, 9, 100}) {
        std::vector<std::vector<double>> levels(7, std::vector<double>(M + 1));
        for (auto& level : levels) {
            for (double& x : level) {
                x = position(rng);
            }
        }
        Envelope single, triple;
        ASSERT_TRUE(single.start(levels[0].data(), M));
        ASSERT_TRUE(triple.start(levels[0].data(), M));
        for (int i = 1; i <= 6; ++i) {
            single.add(levels[i].data());
        }
        triple.add3(levels[1].data(), levels[2].data(), levels[3].data());
        triple.add3(levels[4].data(), levels[5].data(), levels[6].data());
        for (int s = 0; s <= M; ++s) {
            double low = levels[0][s], high = low;
            for (const auto& level : levels) {
                low = std::min(low, level[s]);
                high = std::max(high, level[s]);
            }
            ASSERT_EQ(single.minDisplacement(s), low - levels[0][s]) << M << " " << s;
            ASSERT_EQ(single.maxDisplacement(s), high - levels[0][s]) << M << " " << s;
            ASSERT_EQ(triple.minDisplacement(s), single.minDisplacement(s)) << M << " " << s;
            ASSERT_EQ(triple.maxDisplacement(s), single.maxDisplacement(s)) << M << " " << s;
            if (s < M) {
                ASSERT_EQ(triple.minStress(s, p), single.minStress(s, p)) << M << " " << s;
                ASSERT_EQ(triple.maxStress(s, p), single.maxStress(s, p)) << M << " " << s;
            }
        }
    }
}

}  // namespace
}  // namespace velarion
