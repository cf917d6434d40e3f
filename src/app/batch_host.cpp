#include "batch_host.h"

#include "engine/parameter_boxes.h"

#include <QThread>

#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <csignal>

namespace velarion {

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) {
    interrupted = 1;
}

}  // namespace

BatchHost::BatchHost(const QLocale& locale) : drawProgress_(isatty(STDERR_FILENO) != 0) {
    for (const auto& box : parameterBoxes()) {
        texts_.insert(controlName(box.name), initialTextOf(box, locale));
    }
    texts_.insert(controlName(ctl::TPrecision), QStringLiteral("30"));
    for (const auto name :
         {ctl::TA, ctl::TF, ctl::Ttot, ctl::TB, ctl::TL0, ctl::TJ, ctl::TK, ctl::TLog}) {
        texts_.insert(controlName(name), QString());
    }
    ticks_.insert(controlName(ctl::CLogFile), true);
    ticks_.insert(controlName(ctl::CLogFileExc), false);
    ticks_.insert(controlName(ctl::CExl), false);
}

bool BatchHost::assign(const QString& control, const QString& value) {
    if (texts_.contains(control)) {
        texts_[control] = value;
        return true;
    }
    if (ticks_.contains(control)) {
        const QString v = value.trimmed().toLower();
        ticks_[control] = !(v == "0" || v == "false" || v == "no" || v == "off");
        return true;
    }
    return false;
}

QString BatchHost::text(std::string_view box) const {
    return texts_.value(controlName(box));
}

void BatchHost::setText(std::string_view box, const QString& text) {
    texts_[controlName(box)] = text;
}

bool BatchHost::isTicked(std::string_view checkBox) const {
    return ticks_.value(controlName(checkBox));
}

void BatchHost::setProgressWidth(float twips) {
    if (!drawProgress_) {
        return;
    }
    constexpr int kCells = 40;
    const double fraction = std::clamp(static_cast<double>(twips) / 10335.0, 0.0, 1.0);
    const int filled = static_cast<int>(fraction * kCells + 0.5);
    const QString bar = QString(filled, QChar('#')) + QString(kCells - filled, QChar('.'));
    // TK counts the cycles of a Girotondo run; it stays empty in a double run.
    const QString cycle = text(ctl::TK);
    std::fprintf(stderr, "\r[%s] J = %s%s", qPrintable(bar), qPrintable(text(ctl::TJ)),
                 cycle.isEmpty() ? "" : qPrintable(QStringLiteral("  K = ") + cycle));
    std::fflush(stderr);
    progressShown_ = true;
}

void BatchHost::endProgress() {
    if (progressShown_) {
        std::fputc('\n', stderr);
        progressShown_ = false;
    }
}

MessageAnswer BatchHost::messageBox(const MessageRequest& request) {
    endProgress();
    std::fprintf(stderr, "%s: %s\n", qPrintable(request.title), qPrintable(request.text));
    if (!request.detail.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(request.detail));
    }
    // Nobody answers in a batch: a question is declined.
    return request.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

void BatchHost::beep(int, int durationMs) {
    if (!tones_) {
        return;
    }
    QThread::msleep(static_cast<unsigned long>(durationMs));
}

std::int64_t BatchHost::tickCountMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool BatchHost::stopFlag() const {
    return stop_ || interrupted != 0;
}

void BatchHost::setStopFlag(bool stop) {
    stop_ = stop;
    if (!stop) {
        interrupted = 0;
    }
}

void BatchHost::handleInterrupts() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace velarion
