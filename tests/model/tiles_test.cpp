// Overlapped tiles against one thread stepping the same levels, when a
// level stops being finite away from the row's ends: two spikes that a time
// step beyond the Courant limit (c = 2) multiplies by about 14 a level until
// they overflow in the middle of a block, first the one in the last part,
// a level or two later, in the same block, the one in the first (two
// threads) or middle part (three).
#include "model/psi_tiles.h"
#include "model/rotating_tiles.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <random>
#include <vector>

namespace velarion {
namespace {

constexpr int kM = 3100;  // three parts: 0..1023, 1024..2047, 2048..3100
constexpr int kFirstSpike = 2500;
constexpr int kSecondSpike = 1500;  // overflows a level or two later
const KernelFactors kUnstable = KernelFactors::from(1, 1, 1, 4, 0);

using Row = std::vector<double>;

// Positions off rest by up to 1E-3 everywhere, so that every cell of a
// halo matters.
Row jittered(unsigned seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> jitter(-1e-3, 1e-3);
    Row row(kM + 1);
    for (int s = 0; s <= kM; ++s) {
        row[static_cast<std::size_t>(s)] = s + jitter(rng);
    }
    return row;
}

bool sameBits(const double* a, const double* b, int count) {
    for (int s = 0; s < count; ++s) {
        if (std::bit_cast<std::uint64_t>(a[s]) != std::bit_cast<std::uint64_t>(b[s])) {
            return false;
        }
    }
    return true;
}

// Levels 0, 1, ... from two first rows on one thread, up to the first level
// that is not finite, with each level's energy sums.
struct Reference {
    std::vector<Row> levels;
    std::vector<std::vector<EnergySums>> sums;  // [l]: level l - 1 paired with l - 2
    int failed = 0;

    Reference(const Row& first, const Row& second, int firstLevel) {
        levels.resize(static_cast<std::size_t>(firstLevel));
        levels.push_back(first);
        levels.push_back(second);
        sums.resize(levels.size());
        for (int l = firstLevel + 2; failed == 0; ++l) {
            Row next(kM + 1);
            std::vector<EnergySums> blocks(static_cast<std::size_t>(energyBlockCount(kM)));
            const bool finite = updateRowWithEnergy(levels[l - 1].data(), levels[l - 2].data(),
                                                    next.data(), kM, kUnstable, blocks);
            levels.push_back(next);
            sums.push_back(blocks);
            failed = finite ? 0 : l;
        }
    }
};

TEST(Tiles, RotatingTilesFailAtTheLevelOfOneThread) {
    Row level1 = jittered(1), level2 = jittered(2);
    level2[kFirstSpike] += 1e280;
    level2[kSecondSpike] += 1e279;
    const Reference one(level1, level2, 1);
    ASSERT_GT(one.failed, 21);
    for (int threads : {2, 3}) {
        Row rows[3] = {Row(kM + 1), level1, level2};  // row l % 3 holds level l
        LevelTeam team(threads);
        RotatingTiles tiles(team, {rows[0].data(), rows[1].data(), rows[2].data()}, kM, kUnstable,
                            9, nullptr);
        std::int64_t first = 3;
        for (; first <= one.failed; first += 9) {
            tiles.compute(first, 3);
            for (int i = 0; i < 9 && first + i <= one.failed; ++i) {
                const auto sums = tiles.sums(i);
                const auto& expected = one.sums[static_cast<std::size_t>(first + i)];
                ASSERT_TRUE(sameBits(&sums[0].moved[0], &expected[0].moved[0],
                                     static_cast<int>(sums.size_bytes() / sizeof(double))))
                    << threads << " threads, level " << first + i - 1;
            }
            if (tiles.failedLevel() != 0) {
                break;
            }
        }
        ASSERT_EQ(tiles.failedLevel(), one.failed) << threads << " threads";
        // The level is in the middle of its block, and the block's start
        // goes back to the rows, as one thread had them there.
        ASSERT_GT(one.failed, first);
        tiles.restoreBlockStart();
        for (const std::int64_t level : {first - 2, first - 1}) {
            EXPECT_TRUE(sameBits(rows[level % 3].data(), one.levels[level].data(), kM + 1))
                << threads << " threads, level " << level;
        }
    }
}

TEST(Tiles, PsiTilesFailAtTheLevelOfOneThreadWithEveryRowBeforeIt) {
    Row level0 = jittered(1), level1 = jittered(2);
    level1[kFirstSpike] += 1e280;
    level1[kSecondSpike] += 1e279;
    const Reference one(level0, level1, 0);
    for (int threads : {2, 3}) {
        Matrix psi = Matrix::tryCreate(static_cast<std::size_t>(one.failed) + 7, kM + 1);
        std::copy(level0.begin(), level0.end(), psi.row(0));
        std::copy(level1.begin(), level1.end(), psi.row(1));
        LevelTeam team(threads);
        PsiTiles tiles(team, psi, kM, kUnstable, 7);
        int failed = 0;
        for (int first = 2; failed == 0 && first <= one.failed; first += 7) {
            failed = tiles.compute(first, first + 6);
        }
        ASSERT_EQ(failed, one.failed) << threads << " threads";
        ASSERT_NE(failed % 7, 1) << "the failure should not start a block";
        for (int J = 0; J <= failed; ++J) {
            EXPECT_TRUE(
                sameBits(psi.row(static_cast<std::size_t>(J)), one.levels[J].data(), kM + 1))
                << threads << " threads, row " << J;
        }
    }
}

}  // namespace
}  // namespace velarion
