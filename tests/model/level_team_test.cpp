#include "model/level_team.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace velarion {
namespace {

// The parts cover 0..M once, in order, each starting on a multiple of 8.
TEST(LevelTeam, PartsCoverTheRowOnceOnMultiplesOfEight) {
    for (int M : {1, 7, 8, 1236, 9999}) {
        for (int parts : {1, 2, 3, 7}) {
            EXPECT_EQ(partStart(0, parts, M), 0);
            EXPECT_EQ(partStart(parts, parts, M), M + 1);
            for (int part = 1; part < parts; ++part) {
                const int start = partStart(part, parts, M);
                EXPECT_EQ(start % 8, 0) << M << " " << parts;
                EXPECT_LE(partStart(part - 1, parts, M), start);
            }
        }
    }
}

// Every part runs on every level, and after sync() each sees what all the
// others wrote before it: a wrong barrier shows as a stale value.
TEST(LevelTeam, EveryPartSeesTheOthersWritesAfterSync) {
    for (int parts : {1, 2, 3}) {
        LevelTeam team(parts);
        ASSERT_EQ(team.parts(), parts);
        constexpr int kLevels = 2000;
        std::vector<int> written(static_cast<std::size_t>(parts));
        std::vector<int> wrong(static_cast<std::size_t>(parts));
        auto work = [&](int part) {
            for (int level = 1; level <= kLevels; ++level) {
                written[static_cast<std::size_t>(part)] = level;
                team.sync();
                for (int other = 0; other < parts; ++other) {
                    wrong[static_cast<std::size_t>(part)] +=
                        written[static_cast<std::size_t>(other)] != level;
                }
                team.sync();
            }
        };
        for (int run = 0; run < 3; ++run) {
            team.run(work);
            EXPECT_EQ(written, std::vector<int>(static_cast<std::size_t>(parts), kLevels));
            EXPECT_EQ(wrong, std::vector<int>(static_cast<std::size_t>(parts), 0));
        }
    }
}

TEST(LevelTeam, TheEnvironmentGivesAWholeCountOrNothing) {
    const struct {
        const char* text;
        int count;
    } cases[] = {{"2", 2}, {"1", 1}, {"256", 256}, {"0", 0}, {"257", 0}, {"2x", 0}, {"", 0}};
    for (const auto& c : cases) {
        ::setenv("VELARION_THREADS", c.text, 1);
        EXPECT_EQ(threadsFromEnvironment(), c.count) << c.text;
    }
    ::unsetenv("VELARION_THREADS");
    EXPECT_EQ(threadsFromEnvironment(), 0);
    // An explicit count holds for any row, up to a thread per segment.
    EXPECT_EQ(chooseThreads(2, 100), 2);
    EXPECT_EQ(chooseThreads(5, 2), 3);
    EXPECT_EQ(chooseThreads(0, 100000), 1);  // none asked for: one
}

}  // namespace
}  // namespace velarion
