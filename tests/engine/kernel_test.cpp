#include "engine/kernel.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace velarion {
namespace {

using Row = std::vector<double>;

std::vector<std::uint64_t> bitsOf(const Row& row) {
    std::vector<std::uint64_t> bits;
    for (double v : row) {
        bits.push_back(std::bit_cast<std::uint64_t>(v));
    }
    return bits;
}

struct Rows {
    Row current, previous;
};

Rows randomRows(int M, std::mt19937_64& rng, bool specials) {
    std::uniform_real_distribution<double> pos(-2, 2);
    std::uniform_int_distribution<int> pick(0, 40);
    const double inf = std::numeric_limits<double>::infinity();
    const double kSpecial[] = {0.0,
                               -0.0,
                               inf,
                               -inf,
                               std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::denorm_min(),
                               1e308,
                               -1e308};
    Rows rows{Row(M + 1), Row(M + 1)};
    for (Row* row : {&rows.current, &rows.previous}) {
        for (double& v : *row) {
            const int k = pick(rng);
            v = (specials && k < 8) ? kSpecial[k] : pos(rng);
        }
    }
    return rows;
}

const KernelFactors kFactors = KernelFactors::from(0.000001, 0.0002, 1000, 2500000, 10000);

TEST(Kernel, FactorsFollowTheModelOrder) {
    const double c = std::pow(0.000001 / 0.0002, 2.0);
    EXPECT_EQ(kFactors.k1, c * (1 / 1000.0));
    EXPECT_EQ(kFactors.k2, c * (2500000 / 1000.0));
}

TEST(Kernel, VectorisedEqualsScalarBitForBit) {
    std::mt19937_64 rng(12345);
    for (int M : {1, 2, 3, 7, 8, 9, 15, 16, 17, 63, 1000, 9999}) {
        for (bool specials : {false, true}) {
            const Rows rows = randomRows(M, rng, specials);
            Row fast(M + 1, -1), plain(M + 1, -2);
            const bool fastOk =
                updateRow(rows.current.data(), rows.previous.data(), fast.data(), M, kFactors);
            const bool plainOk = updateRowScalar(rows.current.data(), rows.previous.data(),
                                                 plain.data(), M, kFactors);
            ASSERT_EQ(bitsOf(fast), bitsOf(plain)) << "M=" << M << " specials=" << specials;
            ASSERT_EQ(fastOk, plainOk);
            ASSERT_EQ(fastOk, firstNonFinite(fast.data(), M) < 0);
        }
    }
}

TEST(Kernel, CellFormulasOnAHandExample) {
    // M = 2: column 0, one interior column, the last column.
    const Row cur{0.0, 0.5, 1.25};
    const Row prev{0.1, 0.4, 1.0};
    KernelFactors f;
    f.k1 = 0.5;
    f.k2 = 0.25;
    f.B = 3;
    f.P = 2;
    f.L0 = 0.5;
    Row out(3);
    ASSERT_TRUE(updateRow(cur.data(), prev.data(), out.data(), 2, f));
    EXPECT_EQ(out[0], 0.5 * ((0.5 - 0.0 - 0.5) * 3 + 2 * 0.5) + (2 * 0.0 - 0.1));
    EXPECT_EQ(out[1], 0.25 * ((1.25 - 2 * 0.5) + 0.0) + (2 * 0.5 - 0.4));
    EXPECT_EQ(out[2], 0.25 * ((1.25 - 0.5) - 0.5) + (2 * 1.25 - 1.0));
}

TEST(Kernel, ReportsEveryKindOfNonFiniteResult) {
    const int M = 100;
    for (int bad : {0, 1, 50, 99, 100}) {
        for (double special : {std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN(), 1e308}) {
            Row cur(M + 1, 1.0), prev(M + 1, 1.0), out(M + 1);
            cur[bad] = special;  // 1e308 overflows through 2 * cur[s]
            const KernelFactors f = KernelFactors::from(1e-6, 2e-4, 1000, 2.5e6, 0);
            EXPECT_FALSE(updateRow(cur.data(), prev.data(), out.data(), M, f));
            EXPECT_GE(firstNonFinite(out.data(), M), std::max(0, bad - 1));
            EXPECT_LE(firstNonFinite(out.data(), M), bad + 1);
        }
    }
}

TEST(Kernel, DivisionByZeroInTheFactorsShowsInTheRow) {
    const int M = 10;
    Row cur(M + 1, 0.0), prev(M + 1, 0.0), out(M + 1);
    // L0 = 0 makes c infinite; Rho = 0 makes B / Rho 0/0.
    for (const KernelFactors& f : {KernelFactors::from(1e-6, 0.0, 1000, 2.5e6, 0),
                                   KernelFactors::from(1e-6, 2e-4, 0, 0, 0)}) {
        EXPECT_FALSE(updateRow(cur.data(), prev.data(), out.data(), M, f));
    }
}

}  // namespace
}  // namespace velarion
