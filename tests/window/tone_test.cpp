#include "window/tone.h"

#include <gtest/gtest.h>

#include <chrono>

namespace velarion::window {
namespace {

// With or without a sound device the tone lasts its duration: the runs'
// timing (and the elapsed time they show) must not depend on the machine.
TEST(Beep, LastsItsDurationAndNeverFails) {
    using clock = std::chrono::steady_clock;
    for (auto [hz, ms] : {std::pair{990, 50}, std::pair{30000, 20}, std::pair{-5, 10}}) {
        const auto start = clock::now();
        Beep(hz, ms);
        EXPECT_GE(clock::now() - start, std::chrono::milliseconds(ms)) << hz << " Hz";
    }
    const auto start = clock::now();
    Beep(440, 0);
    Beep(440, -3);
    EXPECT_LT(clock::now() - start, std::chrono::milliseconds(20));
}

}  // namespace
}  // namespace velarion::window
