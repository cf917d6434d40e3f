// The figures of velarion-batch's progress: the part done, the rate and
// the time left, told no more often than asked.
#include "app/progress_meter.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

using velarion::clockText;
using velarion::NumberText;
using velarion::ProgressMeter;
using namespace std::chrono_literals;

TEST(ProgressMeter, TellsThePartDoneTheRateAndTheTimeLeft) {
    ProgressMeter meter(NumberText(QLocale(QStringLiteral("it_IT"))), 100ms);
    const ProgressMeter::Clock::time_point start{};
    // The first moment starts the clock: no rate yet.
    const auto first = meter.update(0.125, 250, start);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->done, "12,5 %");
    EXPECT_EQ(first->rate, "");
    EXPECT_EQ(first->left, "");
    // Too soon after the last one told.
    EXPECT_FALSE(meter.update(0.13, 260, start + 99ms));
    // 1750 levels in 2.5 s; 0.35 of the run in 2.5 s leaves 0.525 for 3.75 s.
    const auto later = meter.update(0.475, 2000, start + 2500ms);
    ASSERT_TRUE(later);
    EXPECT_EQ(later->done, "47,5 %");
    EXPECT_EQ(later->rate, "700");
    EXPECT_EQ(later->left, "00:04");
    // Never "100 %" before the end, and no time left at the end.
    const auto end = meter.update(0.99999, 4000, start + 3h);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->done, "99,9 %");
    EXPECT_EQ(meter.update(1.0, 4000, start + 4h)->left, "00:00");
}

TEST(ProgressMeter, ClockTextShowsHoursOnlyWhenThereAreSome) {
    EXPECT_EQ(clockText(0), "00:00");
    EXPECT_EQ(clockText(59), "00:59");
    EXPECT_EQ(clockText(3599), "59:59");
    EXPECT_EQ(clockText(3723), "1:02:03");
    EXPECT_EQ(clockText(36 * 3600), "36:00:00");
}

}  // namespace
