#include "batch_host.h"

#include "model/parameter_boxes.h"
#include "runs/run_control.h"

#include <QThread>

#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <string_view>

namespace velarion {

namespace {

// Ctrl-C requests of the whole process, however many hosts there are: the
// first asks for a stop, the second ends the process at once.
std::atomic<int> interruptRequests{0};
static_assert(std::atomic<int>::is_always_lock_free, "used in a signal handler");

constexpr std::string_view kFirstInterrupt =
    "\nvelarion-batch: stopping at the next pump point; Ctrl-C again ends at once\n";
constexpr std::string_view kSecondInterrupt = "\nvelarion-batch: interrupted\n";

// Only async-signal-safe calls here: a lock-free atomic, write(2) and
// _exit(2). _exit skips the stdio and Qt buffers, but the run log hands each
// record to the system in one unbuffered write(2), which a signal does not
// split on a local file, so the log keeps whole records only.
void onInterrupt(int) {
    const int savedErrno = errno;
    const bool first = interruptRequests.fetch_add(1) == 0;
    const std::string_view message = first ? kFirstInterrupt : kSecondInterrupt;
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, message.data(), message.size());
    if (!first) {
        _exit(BatchHost::kExitInterrupted);
    }
    errno = savedErrno;
}

}  // namespace

BatchHost::BatchHost(const QLocale& locale) : drawProgress_(isatty(STDERR_FILENO) != 0) {
    for (const auto& box : parameterBoxes()) {
        texts_.insert(controlName(box.name), initialTextOf(box, locale));
    }
    texts_.insert(controlName(ctl::TPrecision), QString::fromLatin1(kPrecisionDigitsText));
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
    QString& held = texts_[controlName(box)];
    if (box == ctl::TLog && text.startsWith(held) && text.size() > held.size()) {
        printAppended(text.mid(held.size()));
    }
    held = text;
}

// Whole lines, each in one write, so an interrupt that ends the program
// between two lines leaves none cut.
void BatchHost::printAppended(const QString& lines) {
    endProgress();
    QString out = lines;
    out.remove(QChar(u'\r'));
    const QByteArray bytes = out.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

bool BatchHost::isTicked(std::string_view checkBox) const {
    return ticks_.value(controlName(checkBox));
}

void BatchHost::setProgressWidth(float twips) {
    if (!drawProgress_) {
        return;
    }
    constexpr int kCells = 40;
    const double fraction = std::clamp(static_cast<double>(twips) / kFullBarWidth, 0.0, 1.0);
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
    const bool question = request.buttons == MessageButtons::YesNo;
    if (question && accepted_.contains(request.text)) {
        return MessageAnswer::Yes;
    }
    endProgress();
    // Each line is the program's own, so each carries its name.
    std::fprintf(stderr, "velarion-batch: %s: %s\n", qPrintable(request.title),
                 qPrintable(request.text));
    if (!request.detail.isEmpty()) {
        for (const QString& line : request.detail.split(QLatin1Char('\n'))) {
            std::fprintf(stderr, "velarion-batch: %s\n", qPrintable(line));
        }
    }
    // Nobody answers in a batch: any other question is declined.
    return question ? MessageAnswer::No : MessageAnswer::Ok;
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

// The start of a run clears StopFlag but not a Ctrl-C: the process makes
// one run, and a Ctrl-C that came before its start still asks it to stop.
bool BatchHost::stopFlag() const {
    return stop_ || processInterrupted();
}

void BatchHost::setStopFlag(bool stop) {
    stop_ = stop;
}

void BatchHost::handleInterrupts() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

bool BatchHost::processInterrupted() {
    return interruptRequests.load() > 0;
}

}  // namespace velarion
