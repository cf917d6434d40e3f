#include "run_control.h"

#include "model/run_failure.h"
#include "parameter_reader.h"

#include <cmath>
#include <limits>

namespace velarion {

void AttendiMs(WindowOps& ops, const int& ms) {
    if (ms <= 0 || !ops.playsTones()) {
        return;
    }
    // Spins, processing events, while the deadline lies ahead of the tick
    // count; `ms` is read again at every check.
    const std::int64_t start = ops.tickCountMs();
    while (start + ms > ops.tickCountMs()) {
        ops.processEvents();
    }
}

void RunControl::start() {
    ops_.setStopFlag(false);
    startTick_ = ops_.tickCountMs();
    ops_.setEnabled(ctl::CStop, true);
    enableGoButtons(false);
}

void RunControl::working() {
    ops_.setStatus(QStringLiteral("Working..."));
    ops_.repaint(ctl::Form1);
}

std::optional<float> RunControl::progressWidth(int level, QString& whyNot) const {
    const QString text = ops_.text(ctl::Tnitertemp);
    const auto total = numbers_.toDouble(text);
    const auto refuse = [&](const QString& why) {
        whyNot = describeBoxHolding(ops_, ctl::Tnitertemp) + why;
        return std::nullopt;
    };
    if (!total) {
        return refuse(QStringLiteral(", ") + numbers_.refusalOf(text));
    }
    if (*total == 0) {
        return refuse(QStringLiteral(", and the bar's width is divided by it"));
    }
    const double width = (level / *total) * kFullBarWidth;
    // Checked before the conversion: a double beyond the float range has no
    // defined conversion.
    if (!(std::fabs(width) <= std::numeric_limits<float>::max())) {
        return refuse(QStringLiteral(", which gives a bar width beyond single precision"));
    }
    return static_cast<float>(width);
}

void RunControl::progress(int level) {
    QString whyNot;
    const auto width = progressWidth(level, whyNot);
    if (width) {
        ops_.setProgressWidth(*width);
    } else if (kind_ == RunKind::Girotondo) {
        throw RunFailure(QStringLiteral("The progress bar cannot be set at snapshot %1: %2.")
                             .arg(level)
                             .arg(whyNot));
    }
    ops_.repaint(ctl::Shape2);
    ops_.repaint(ctl::TJ);
}

bool RunControl::pumpAndPoll() {
    ops_.repaint(ctl::Form1);
    ops_.processEvents();
    return ops_.stopFlag();
}

// Each run touches its own button first.
void RunControl::enableGoButtons(bool enabled) {
    const bool girotondo = kind_ == RunKind::Girotondo;
    ops_.setEnabled(girotondo ? ctl::Command4 : ctl::Command2, enabled);
    ops_.setEnabled(girotondo ? ctl::Command2 : ctl::Command4, enabled);
}

void RunControl::stopButtons() {
    ops_.setEnabled(ctl::CStop, false);
    enableGoButtons(true);
}

void RunControl::endButtons() {
    enableGoButtons(true);
    ops_.setEnabled(ctl::CStop, false);
}

RunOutcome RunControl::stopped() {
    stopButtons();
    ops_.setStatus(QStringLiteral("Stopped!"));
    return RunOutcome::Stopped;
}

RunOutcome RunControl::failed(const QString& reason) {
    stopButtons();
    ops_.setStatus(QStringLiteral("Error!"));
    ops_.messageBox(
        {reason, QStringLiteral("Error"), MessageIcon::Critical, MessageButtons::Ok, {}});
    return RunOutcome::Failed;
}

void RunControl::finish(const std::function<void()>& saveFileExcel) {
    showElapsed();
    endButtons();
    if (ops_.isTicked(ctl::CLogFileExc) && saveFileExcel) {
        saveFileExcel();
    }
}

void RunControl::showElapsed() {
    const double seconds = static_cast<double>(ops_.tickCountMs() - startTick_) / 1000;
    ops_.setStatus(QStringLiteral("Elaboration : ") + numbers_.fixed(seconds, 3) +
                   QStringLiteral(" s"));
}

}  // namespace velarion
