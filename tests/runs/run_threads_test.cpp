#include "runs/run_threads.h"

#include "model/kernel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

namespace velarion {
namespace {

TEST(RunThreads, TheEnvironmentGivesAWholeCountOrNothing) {
    const struct {
        const char* text;
        int count;
    } cases[] = {{"2", 2}, {"1", 1}, {"256", 256}, {"0", 0}, {"257", 0}, {"2x", 0}, {"", 0}};
    for (const auto& c : cases) {
        ::setenv("VELARION_THREADS", c.text, 1);
        EXPECT_EQ(threadsFromEnvironment(), c.count) << c.text;
        EXPECT_EQ(requestedThreads(0), c.count) << c.text;
        EXPECT_EQ(requestedThreads(3), 3) << c.text;  // --threads first
    }
    ::unsetenv("VELARION_THREADS");
    EXPECT_EQ(threadsFromEnvironment(), 0);
}

// Asked for: that many, up to the shares a run can hand out. Not asked for:
// the free cores on a row long enough to gain, else one.
TEST(RunThreads, TheTeamIsWhatWasAskedForOrTheFreeCoresOnALongRow) {
    for (RunKind kind : {RunKind::Double, RunKind::Girotondo, RunKind::Precision}) {
        const int longRow = gainingRowLength(kind) + 10000;
        EXPECT_EQ(teamSize(kind, 2, longRow, 1), 2);
        EXPECT_EQ(teamSize(kind, 1, longRow, 8), 1);
        EXPECT_EQ(teamSize(kind, 0, longRow, 2), 2);
        EXPECT_EQ(teamSize(kind, 0, longRow, 1), 1);
        EXPECT_EQ(teamSize(kind, 0, gainingRowLength(kind) - 2, 2), 1);
        EXPECT_EQ(teamSize(kind, 0, gainingRowLength(kind) - 1, 2), 2);
    }
    // The Girotondo run's threads take whole blocks of the energy sums.
    EXPECT_EQ(teamSize(RunKind::Girotondo, 4, kEnergyBlock - 1, 1), 1);
    EXPECT_EQ(teamSize(RunKind::Girotondo, 4, 2 * kEnergyBlock, 1), 3);
    EXPECT_EQ(teamSize(RunKind::Double, 5, 15, 1), 2);
    EXPECT_EQ(teamSize(RunKind::Precision, 4, 2500, 1), 2);
    EXPECT_EQ(teamSize(RunKind::Double, 300, 100000, 1), kMaxThreads);
}

TEST(RunThreads, FreeCoresAreAtLeastOneAndAtMostThoseAllowed) {
    const int free = freeCores();
    EXPECT_GE(free, 1);
    EXPECT_LE(free, static_cast<int>(std::thread::hardware_concurrency()));
}

}  // namespace
}  // namespace velarion
