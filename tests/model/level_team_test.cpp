#include "model/level_team.h"

#include <gtest/gtest.h>

#include <vector>

namespace velarion {
namespace {

// The parts cover 0..M once, in order, each starting on a multiple of the
// grain, and none is empty while there are grains enough.
TEST(LevelTeam, PartsCoverTheRowOnceOnMultiplesOfTheGrain) {
    for (int grain : {8, 1024}) {
        for (int M : {1, 7, 8, 1236, 2048, 9999, 32766}) {
            for (int parts : {1, 2, 3, 7}) {
                EXPECT_EQ(partStart(0, parts, M, grain), 0);
                EXPECT_EQ(partStart(parts, parts, M, grain), M + 1);
                const bool enough = parts <= (M + grain) / grain;
                for (int part = 1; part <= parts; ++part) {
                    const int start = partStart(part, parts, M, grain);
                    const int before = partStart(part - 1, parts, M, grain);
                    EXPECT_TRUE(start % grain == 0 || start == M + 1) << M << " " << parts;
                    EXPECT_LE(before, start);
                    if (enough) {
                        EXPECT_LT(before, start) << grain << " " << M << " " << parts;
                    }
                }
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

}  // namespace
}  // namespace velarion
