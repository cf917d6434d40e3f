#pragma once

// What velarion-batch tells of a run under way: the part done, the rate and
// the time left, and when to tell it again.

#include "model/number_text.h"

#include <QString>

#include <chrono>
#include <optional>

namespace velarion {

// The figures of one moment of a run, as messages write numbers; `rate`
// and `left` are empty until a second moment shows them.
struct ProgressFigures {
    QString done;  // "42.5 %"
    QString rate;  // "1234": levels (or snapshots) a second
    QString left;  // "01:23"
};

class ProgressMeter {
  public:
    using Clock = std::chrono::steady_clock;

    // `every`: the least time between two lines.
    ProgressMeter(const NumberText& numbers, Clock::duration every);

    // The figures for `fraction` of the run done at `level` (J, or the
    // snapshot of a Girotondo run), or nothing when the last ones told are
    // younger than `every`. The first call starts the clock, so it tells
    // the part done alone.
    std::optional<ProgressFigures> update(double fraction, long long level, Clock::time_point now);

  private:
    ProgressFigures figures(double fraction, long long level, Clock::time_point now) const;

    NumberText numbers_;
    Clock::duration every_;
    std::optional<Clock::time_point> start_;
    std::optional<Clock::time_point> shown_;
    double startFraction_ = 0;
    long long startLevel_ = 0;
};

// "1:02:03" or "02:03": a whole number of seconds as a clock shows them.
QString clockText(long long seconds);

}  // namespace velarion
