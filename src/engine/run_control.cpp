#include "run_control.h"

#include <cmath>

namespace velarion {

void AttendiMs(WindowOps& ops, const int& ms) {
    if (ms <= 0) {
        return;
    }
    // The tick counts whole milliseconds, so the wait goes on until more
    // than `ms` ticks have passed: then at least `ms` milliseconds have.
    const std::int64_t start = ops.tickCountMs();
    while (ops.tickCountMs() - start <= ms) {
        ops.processEvents();
    }
}

void RunControl::start() {
    ops_.setStopFlag(false);
    startTick_ = ops_.tickCountMs();
    ops_.setEnabled(ctl::CStop, true);
    ops_.setEnabled(ctl::Command2, false);
    ops_.setEnabled(ctl::Command4, false);
}

void RunControl::working() {
    ops_.setStatus(QStringLiteral("Working..."));
    ops_.repaint(ctl::Form1);
}

void RunControl::progress(int level) {
    const auto total = numbers_.toDouble(ops_.text(ctl::Tnitertemp));
    if (total && *total != 0) {
        const double width = (level / *total) * 10335;
        if (std::isfinite(width)) {
            ops_.setProgressWidth(static_cast<float>(width));
        }
    }
    ops_.repaint(ctl::Shape2);
    ops_.repaint(ctl::TJ);
}

bool RunControl::pumpAndPoll() {
    ops_.repaint(ctl::Form1);
    ops_.processEvents();
    return ops_.stopFlag();
}

void RunControl::restoreButtons() {
    ops_.setEnabled(ctl::CStop, false);
    ops_.setEnabled(ctl::Command2, true);
    ops_.setEnabled(ctl::Command4, true);
}

RunOutcome RunControl::stopped() {
    restoreButtons();
    ops_.setStatus(QStringLiteral("Stopped!"));
    return RunOutcome::Stopped;
}

RunOutcome RunControl::failed(const QString& reason) {
    restoreButtons();
    ops_.setStatus(QStringLiteral("Error!"));
    ops_.messageBox(
        {reason, QStringLiteral("Error"), MessageIcon::Critical, MessageButtons::Ok, {}});
    return RunOutcome::Failed;
}

void RunControl::showElapsed() {
    const double seconds = static_cast<double>(ops_.tickCountMs() - startTick_) / 1000;
    ops_.setStatus(QStringLiteral("Elaboration : ") + numbers_.fixed(seconds, 3) +
                   QStringLiteral(" s"));
}

}  // namespace velarion
