#include "model/kernel.h"
#include "model/matrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace velarion {
namespace {

const KernelFactors kFactors = KernelFactors::from(0.000001, 0.0002, 1000, 2500000, 10000);
const KernelFactors kRestoring =
    KernelFactors::from(0.000001, 0.0002, 1000, 2500000, 10000, FreeEnd::Restoring);

// Every end and the friction, each with some other end, by name. The
// random rows step by up to 4, so the friction term (kf = 0.75) is of the
// size of the rest of the cell.
KernelFactors hammerFactors(FreeEnd last, FirstEnd first, double friction) {
    const WaterHammer hammer{first, 1e-4, friction};
    return KernelFactors::from(0.000001, 0.0002, 1000, 2500000, 0, last, hammer, 5.5, 0.02);
}
const std::vector<std::pair<std::string, KernelFactors>> kEveryModel{
    {"seed", kFactors},
    {"restoring", kRestoring},
    {"closed ends", hammerFactors(FreeEnd::Closed, FirstEnd::Closed, 0)},
    {"valve, reservoir", hammerFactors(FreeEnd::Restoring, FirstEnd::Valve, 0)},
    {"friction, seed", hammerFactors(FreeEnd::Seed, FirstEnd::CounterPressure, 0.03)},
    {"friction, valve, dead end", hammerFactors(FreeEnd::Closed, FirstEnd::Valve, 0.03)},
    {"friction, shut valve, reservoir", hammerFactors(FreeEnd::Restoring, FirstEnd::Closed, 0.03)},
};

// The variants this processor can run, called directly, and the dispatcher.
std::vector<KernelVariant> runnableVariants() {
    std::vector<KernelVariant> runnable{
        {"updateRow", updateRow, true, updateRange,
         [](const double* current, const double* previous, double* target, int M, int from, int to,
            const KernelFactors& f, EnergySums* blocks) {
             return updateRangeWithEnergy(current, previous, target, M, from, to, f,
                                          std::span(blocks, energyBlockCount(M)));
         }}};
    for (const KernelVariant& variant : kernelVariants()) {
        if (variant.supported) {
            runnable.push_back(variant);
        } else {
            std::printf("kernel variant %s: not supported here, not tested\n", variant.name);
        }
    }
    return runnable;
}

// A row of M + 1 cells starting `shift` cells after a cache line, so that
// the scalar heads and the aligned and unaligned vector paths all occur.
class ShiftedRow {
  public:
    ShiftedRow(int M, int shift)
        : block_(Matrix::tryCreate(1, static_cast<std::size_t>(M) + 9)),
          cells_(block_.row(0) + shift),
          size_(M + 1) {}
    double* data() { return cells_; }
    // Where the bits first differ from `other`, with both values; empty when
    // the rows are equal bit for bit. Any NaN equals any other: when both
    // operands of + or * are NaNs, the processor returns the first one, and
    // the compiler may swap the operands of either in any build, the scalar
    // loop's included. A NaN only ever means that the level failed.
    std::string firstDifference(const ShiftedRow& other) const {
        for (std::size_t s = 0; s < size_; ++s) {
            const auto a = std::bit_cast<std::uint64_t>(cells_[s]);
            const auto b = std::bit_cast<std::uint64_t>(other.cells_[s]);
            if (a != b && !(std::isnan(cells_[s]) && std::isnan(other.cells_[s]))) {
                char text[80];
                std::snprintf(text, sizeof text, "cell %zu: %016llx vs %016llx", s,
                              static_cast<unsigned long long>(a),
                              static_cast<unsigned long long>(b));
                return text;
            }
        }
        return {};
    }

  private:
    Matrix block_;
    double* cells_;
    std::size_t size_;
};

// Equal bits, or both NaN (see firstDifference).
bool sameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) ||
           (std::isnan(a) && std::isnan(b));
}

// Positions from -2 to 2; with `specials`, about one cell in six is instead
// a zero, an infinity, a quiet or signalling NaN, a denormal, or a value
// whose doubling overflows.
void fillRandom(std::vector<double>& row, std::mt19937_64& rng, bool specials) {
    const double inf = std::numeric_limits<double>::infinity();
    const double kSpecial[] = {0.0,
                               -0.0,
                               inf,
                               -inf,
                               std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::signaling_NaN(),
                               std::numeric_limits<double>::denorm_min(),
                               -2.5e-310,
                               1e308,
                               -1e308};
    std::uniform_real_distribution<double> position(-2, 2);
    std::uniform_int_distribution<int> pick(0, 59);
    for (double& v : row) {
        const int k = pick(rng);
        v = specials && k < static_cast<int>(std::size(kSpecial)) ? kSpecial[k] : position(rng);
    }
}

struct Outcome {
    bool finite;
    int firstBad;
};

// Runs the variant and the scalar loop on the same rows; fails the test unless
// both write the same bits, give the same verdict, and the verdict matches
// the row written.
void expectSameAsScalar(const KernelVariant& variant, int M, int shiftCurrent, int shiftTarget,
                        const std::vector<double>& cur, const std::vector<double>& prev,
                        Outcome* outcome = nullptr, const KernelFactors& f = kFactors,
                        const std::string& model = "seed") {
    ShiftedRow current(M, shiftCurrent), previous(M, (shiftCurrent + 3) % 8);
    ShiftedRow fast(M, shiftTarget), plain(M, shiftTarget);
    std::memcpy(current.data(), cur.data(), cur.size() * sizeof(double));
    std::memcpy(previous.data(), prev.data(), prev.size() * sizeof(double));
    const bool fastOk = variant.update(current.data(), previous.data(), fast.data(), M, f);
    const bool plainOk = updateRowScalar(current.data(), previous.data(), plain.data(), M, f);
    const std::string where = std::string(variant.name) + " " + model + " M=" + std::to_string(M) +
                              " shifts=" + std::to_string(shiftCurrent) + "," +
                              std::to_string(shiftTarget);
    ASSERT_EQ(fast.firstDifference(plain), "") << where;
    ASSERT_EQ(fastOk, plainOk) << where;
    ASSERT_EQ(fastOk, firstNonFinite(fast.data(), M) < 0) << where;

    // The same level with its energy sums, in two ranges split anywhere
    // (each over several blocks of the sums) and in ranges that end at every
    // block and at the split too, as threads take them, the sums carried on
    // from range to range: the row as before, and every block's sums bit for
    // bit as the scalar loop adds them. Then the sums again by a second pass
    // over the two rows.
    std::vector<EnergySums> plainSums(static_cast<std::size_t>(energyBlockCount(M)));
    updateRowWithEnergyScalar(current.data(), previous.data(), plain.data(), M, f, plainSums);
    for (const auto& [split, atBlocks] :
         {std::pair{1, false}, std::pair{M / 2, false}, std::pair{(M / 2) / 8 * 8 + 3, true},
          std::pair{M, true}}) {
        if (split < 1 || split > M) {
            continue;
        }
        const std::string at =
            where + " split=" + std::to_string(split) + (atBlocks ? " and at every block" : "");
        ShiftedRow fused(M, shiftTarget), ranges(M, shiftTarget);
        std::vector<EnergySums> sums(plainSums.size()), passSums(plainSums.size());
        bool fusedOk = true, rangesOk = true;
        for (int from = 0; from <= M;) {
            const int blockEnd = std::min((from / kEnergyBlock + 1) * kEnergyBlock, M + 1);
            const int to = from < split ? (atBlocks ? std::min(split, blockEnd) : split)
                                        : (atBlocks ? blockEnd : M + 1);
            fusedOk &= variant.updateRangeWithEnergy(current.data(), previous.data(), fused.data(),
                                                     M, from, to, f, sums.data());
            rangesOk &=
                variant.updateRange(current.data(), previous.data(), ranges.data(), M, from, to, f);
            for (int s = from; s < to;) {
                const int next = std::min((s / kEnergyBlock + 1) * kEnergyBlock, to);
                sumEnergyRange(previous.data(), current.data(), s, next, M, f.L0,
                               passSums[static_cast<std::size_t>(s / kEnergyBlock)]);
                s = next;
            }
            from = to;
        }
        ASSERT_EQ(fused.firstDifference(plain), "") << at << " with energy";
        ASSERT_EQ(fusedOk, plainOk) << at << " with energy";
        ASSERT_EQ(ranges.firstDifference(plain), "") << at << " plain ranges";
        ASSERT_EQ(rangesOk, plainOk) << at << " plain ranges";
        for (std::size_t b = 0; b < plainSums.size(); ++b) {
            for (int k = 0; k < EnergySums::kLanes; ++k) {
                const std::string entry =
                    at + " block " + std::to_string(b) + " entry " + std::to_string(k);
                ASSERT_TRUE(sameBits(sums[b].moved[k], plainSums[b].moved[k])) << entry;
                ASSERT_TRUE(sameBits(sums[b].stretched[k], plainSums[b].stretched[k])) << entry;
                ASSERT_TRUE(sameBits(passSums[b].moved[k], plainSums[b].moved[k])) << entry;
                ASSERT_TRUE(sameBits(passSums[b].stretched[k], plainSums[b].stretched[k])) << entry;
            }
        }
    }
    if (outcome != nullptr) {
        *outcome = {fastOk, firstNonFinite(fast.data(), M)};
    }
}

TEST(Kernel, EveryVariantEqualsTheScalarLoopBitForBit) {
    std::mt19937_64 rng(12345);
    std::vector<int> sizes;
    for (int M = 1; M <= 70; ++M) {
        sizes.push_back(M);
    }
    // Rows that end just before, on and just after a block of the sums.
    sizes.insert(sizes.end(), {1000, 1023, 1024, 1025, 2048, 9999, 32766});
    for (const KernelVariant& variant : runnableVariants()) {
        for (int M : sizes) {
            std::vector<double> cur(M + 1), prev(M + 1);
            for (bool specials : {false, true}) {
                fillRandom(cur, rng, specials);
                fillRandom(prev, rng, specials);
                // Current and target on the same line offset (the shifted
                // neighbours) and on different ones (unaligned loads).
                for (int shiftTarget = 0; shiftTarget < 8; shiftTarget += (M > 100 ? 7 : 1)) {
                    for (int shiftCurrent : {shiftTarget, (shiftTarget + 5) % 8}) {
                        for (const auto& [model, f] : kEveryModel) {
                            expectSameAsScalar(variant, M, shiftCurrent, shiftTarget, cur, prev,
                                               nullptr, f, model);
                        }
                    }
                }
            }
        }
    }
}

// A single overflow in any lane of any vector, head or tail must make the
// verdict false and show at the segment that overflows.
TEST(Kernel, EveryVariantReportsAnOverflowInEverySegment) {
    const int M = 70;
    const std::vector<double> at(M + 1, 1.0);
    for (const KernelVariant& variant : runnableVariants()) {
        for (int bad = 0; bad <= M; ++bad) {
            std::vector<double> cur = at;
            cur[bad] = 1e308;  // 2 * cur[bad] overflows
            for (int shift : {0, 3}) {
                Outcome outcome{};
                expectSameAsScalar(variant, M, shift, shift, cur, at, &outcome);
                EXPECT_FALSE(outcome.finite) << variant.name << " bad=" << bad;
                // Doubling cur[bad] overflows at bad; at bad = 1 the stretch
                // times B of segment 0 overflows first.
                EXPECT_EQ(outcome.firstBad, bad == 1 ? 0 : bad) << variant.name;
            }
        }
    }
}

// A column at rest except for its last piece, stretched by 1 um: with the
// seed's end the last segment is pushed on away from its neighbour, with the
// restoring end it is pulled back by as much, and nothing else changes.
TEST(Kernel, TheRestoringFreeEndPullsTheLastSegmentBack) {
    const int M = 20;
    const double L0 = 0.0002;
    std::vector<double> rest(M + 1);
    for (int s = 0; s <= M; ++s) {
        rest[s] = s * L0;
    }
    rest[M] += 1e-6;
    const KernelFactors seed = KernelFactors::from(0.000001, L0, 1000, 2500000, 0);
    const KernelFactors restoring =
        KernelFactors::from(0.000001, L0, 1000, 2500000, 0, FreeEnd::Restoring);
    for (const KernelVariant& variant : runnableVariants()) {
        std::vector<double> pushed(M + 1), pulled(M + 1);
        ASSERT_TRUE(variant.update(rest.data(), rest.data(), pushed.data(), M, seed));
        ASSERT_TRUE(variant.update(rest.data(), rest.data(), pulled.data(), M, restoring));
        EXPECT_GT(pushed[M], rest[M]) << variant.name;
        EXPECT_LT(pulled[M], rest[M]) << variant.name;
        EXPECT_NEAR(pushed[M] - rest[M], rest[M] - pulled[M], 2e-18) << variant.name;
        for (int s = 0; s < M; ++s) {
            EXPECT_EQ(pushed[s], pulled[s]) << variant.name << " s=" << s;
        }
    }
}

// The seed's update written out here as the model gives it, with no code
// of the kernel: the default factors give its bits, whatever the variant.
TEST(Kernel, TheDefaultsAreTheSeedsUpdateBitForBit) {
    const double DeltaT = 0.000001, L0 = 0.0002, Rho = 1000, B = 2500000, P = 10000;
    const double c = std::pow(DeltaT / L0, 2.0);
    const double k1 = c * (1 / Rho), k2 = c * (B / Rho);
    std::mt19937_64 rng(7);
    const int M = 1000;
    std::vector<double> cur(M + 1), prev(M + 1), seeds(M + 1);
    fillRandom(cur, rng, false);
    fillRandom(prev, rng, false);
    seeds[0] = k1 * ((cur[1] - cur[0] - L0) * B + P * L0) + (2 * cur[0] - prev[0]);
    for (int s = 1; s < M; ++s) {
        seeds[s] = k2 * ((cur[s + 1] - 2 * cur[s]) + cur[s - 1]) + (2 * cur[s] - prev[s]);
    }
    seeds[M] = k2 * ((cur[M] - cur[M - 1]) - L0) + (2 * cur[M] - prev[M]);
    const KernelFactors withoutHammer = KernelFactors::from(DeltaT, L0, Rho, B, P);
    const KernelFactors withSeedsHammer =
        KernelFactors::from(DeltaT, L0, Rho, B, P, FreeEnd::Seed, WaterHammer{}, 5.5, 0.02);
    for (const KernelVariant& variant : runnableVariants()) {
        for (const KernelFactors& f : {withoutHammer, withSeedsHammer}) {
            std::vector<double> row(M + 1);
            variant.update(cur.data(), prev.data(), row.data(), M, f);
            for (int s = 0; s <= M; ++s) {
                ASSERT_TRUE(sameBits(row[s], seeds[s])) << variant.name << " s=" << s;
            }
        }
    }
}

// A valve closing over TC from a step of -DeltaT V0: each level the step
// shrinks by DeltaT^2 V0 / TC, and once it would reach zero the valve is
// shut for good. With DeltaT 0.5, V0 4 and TC 2 (all exact in binary) the
// steps are -2, -1.5, -1, -0.5, and segment 0 stops at -5, which is -V0 (t0
// + TC / 2) with the closure starting at t0 = DeltaT / 2.
TEST(Kernel, AClosingValveShrinksItsStepUntilItIsShut) {
    const int M = 4;
    const WaterHammer valve{FirstEnd::Valve, 2, 0};
    const KernelFactors f =
        KernelFactors::from(0.5, 1, 1000, 2500000, 0, FreeEnd::Restoring, valve, 4, 0.02);
    for (const KernelVariant& variant : runnableVariants()) {
        std::vector<double> previous{0, 1, 2, 3, 4}, current{-2, -1, 0, 1, 2}, next(M + 1);
        std::vector<double> valvePositions;
        for (int level = 2; level <= 8; ++level) {
            variant.update(current.data(), previous.data(), next.data(), M, f);
            valvePositions.push_back(next[0]);
            previous = std::exchange(current, next);
        }
        EXPECT_EQ(valvePositions, (std::vector<double>{-3.5, -4.5, -5, -5, -5, -5, -5}))
            << variant.name;
    }
}

// A column sliding rigidly at rest spacing (no stretch anywhere): friction
// takes kf d |d| off every segment that moves freely, none off a held one.
// kf = f / (2 D) = 0.25, d = -0.5: each free segment moves -0.5 + 0.0625.
TEST(Kernel, FrictionSlowsEveryFreeSegmentAndNoHeldOne) {
    const int M = 20;
    std::vector<double> previous(M + 1), current(M + 1);
    for (int s = 0; s <= M; ++s) {
        previous[s] = s;
        current[s] = s - 0.5;
    }
    for (const KernelVariant& variant : runnableVariants()) {
        for (const FreeEnd last : {FreeEnd::Seed, FreeEnd::Restoring, FreeEnd::Closed}) {
            for (const FirstEnd first : {FirstEnd::CounterPressure, FirstEnd::Closed}) {
                const KernelFactors f = KernelFactors::from(1, 1, 1000, 2500000, 0, last,
                                                            WaterHammer{first, 0, 0.25}, 5.5, 0.5);
                std::vector<double> next(M + 1);
                ASSERT_TRUE(variant.update(current.data(), previous.data(), next.data(), M, f));
                for (int s = 0; s <= M; ++s) {
                    const bool held = (s == 0 && first == FirstEnd::Closed) ||
                                      (s == M && last == FreeEnd::Closed);
                    EXPECT_EQ(next[s], held ? current[s] : current[s] - 0.5 + 0.0625)
                        << variant.name << " s=" << s;
                }
            }
        }
    }
}

TEST(Kernel, DivisionByZeroInTheFactorsShowsInTheRow) {
    const int M = 10;
    std::vector<double> cur(M + 1, 0.0), prev(M + 1, 0.0), out(M + 1);
    // L0 = 0 makes c infinite; Rho = 0 makes B / Rho 0/0.
    for (const KernelFactors& f : {KernelFactors::from(1e-6, 0.0, 1000, 2.5e6, 0),
                                   KernelFactors::from(1e-6, 2e-4, 0, 0, 0)}) {
        EXPECT_FALSE(updateRow(cur.data(), prev.data(), out.data(), M, f));
    }
}

}  // namespace
}  // namespace velarion
