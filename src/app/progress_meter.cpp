// The figures of the progress line.
#include "progress_meter.h"

#include <algorithm>
#include <cmath>

namespace velarion {

ProgressMeter::ProgressMeter(const NumberText& numbers, Clock::duration every)
    : numbers_(numbers), every_(every) {}

std::optional<ProgressFigures> ProgressMeter::update(double fraction, long long level,
                                                     Clock::time_point now) {
    if (!start_) {
        start_ = now;
        startFraction_ = fraction;
        startLevel_ = level;
    } else if (shown_ && now - *shown_ < every_) {
        return std::nullopt;
    }
    shown_ = now;
    return figures(fraction, level, now);
}

ProgressFigures ProgressMeter::figures(double fraction, long long level,
                                       Clock::time_point now) const {
    ProgressFigures f;
    // Rounded down, so that 100 % means done.
    f.done = numbers_.brief(std::floor(fraction * 1000) / 10) + QStringLiteral(" %");
    const double seconds = std::chrono::duration<double>(now - *start_).count();
    if (seconds <= 0 || fraction <= startFraction_) {
        return f;
    }
    const double rate = static_cast<double>(level - startLevel_) / seconds;
    f.rate = numbers_.brief(std::round(rate));
    // The rest at the rate of the part done since the clock started.
    const double left = std::max(0.0, 1 - fraction) * seconds / (fraction - startFraction_);
    if (left < 1e9) {
        f.left = clockText(std::llround(left));
    }
    return f;
}

QString clockText(long long seconds) {
    const long long hours = seconds / 3600;
    const long long minutes = seconds / 60 % 60;
    const QString rest = QStringLiteral("%1:%2")
                             .arg(minutes, 2, 10, QLatin1Char('0'))
                             .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return hours > 0 ? QStringLiteral("%1:").arg(hours) + rest : rest;
}

}  // namespace velarion
