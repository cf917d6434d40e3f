#include "batch_host.h"

#include "model/parameter_boxes.h"
#include "output/whole_file.h"
#include "runs/run_control.h"

#include <QThread>

#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <optional>
#include <string_view>
#include <utility>

namespace velarion {

namespace {

// Ctrl-C requests of the whole process, however many hosts there are: the
// first during the run asks for a stop, the second ends the process at once.
std::atomic<int> interruptRequests{0};
std::atomic<bool> runUnderWay{false};
static_assert(std::atomic<int>::is_always_lock_free, "used in a signal handler");
static_assert(std::atomic<bool>::is_always_lock_free, "used in a signal handler");

constexpr std::string_view kFirstInterrupt =
    "\nvelarion-batch: stopping at the next pump point; Ctrl-C again ends at once\n";
constexpr std::string_view kSecondInterrupt = "\nvelarion-batch: interrupted\n";

// Only async-signal-safe calls here: lock-free atomics, unlink(2), write(2)
// and _exit(2). _exit skips the stdio and Qt buffers, but the run log hands
// each record to the system in one unbuffered write(2), which a signal does
// not split on a local file, so the log keeps whole records only. Outside
// the run there is nothing to stop, so a Ctrl-C there ends the program.
void onInterrupt(int) {
    const int savedErrno = errno;
    const bool stops = runUnderWay.load() && interruptRequests.fetch_add(1) == 0;
    const std::string_view message = stops ? kFirstInterrupt : kSecondInterrupt;
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, message.data(), message.size());
    if (!stops) {
        removeTemporaryFiles();
        _exit(BatchHost::kExitInterrupted);
    }
    errno = savedErrno;
}

// The values a check box takes, in lower case: ticked, then not ticked.
constexpr std::pair<const char*, const char*> kCheckValues[] = {
    {"1", "0"}, {"true", "false"}, {"on", "off"}, {"yes", "no"}};

std::optional<bool> checkValue(const QString& text) {
    const QString value = text.trimmed().toLower();
    for (const auto& [ticked, unticked] : kCheckValues) {
        if (value == QLatin1String(ticked) || value == QLatin1String(unticked)) {
            return value == QLatin1String(ticked);
        }
    }
    return std::nullopt;
}

// The boxes a run fills in itself.
bool isOutputBox(const QString& control) {
    for (const auto name :
         {ctl::TA, ctl::TF, ctl::Ttot, ctl::TB, ctl::TL0, ctl::TJ, ctl::TK, ctl::TLog}) {
        if (control == controlName(name)) {
            return true;
        }
    }
    return false;
}

// "velarion-batch: TITLE: TEXT (DETAIL)" in one line; a box whose text only
// repeats its title (the Girotondo run's "Error") gives its detail instead.
QString messageLine(const MessageRequest& request) {
    QString line = QStringLiteral("velarion-batch: ") + request.title.trimmed();
    const bool textIsTitle = request.text == request.title;
    if (!textIsTitle) {
        line += QStringLiteral(": ") + request.text;
    }
    if (!request.detail.isEmpty()) {
        line += textIsTitle ? QStringLiteral(": ") + request.detail
                            : QStringLiteral(" (") + request.detail + QLatin1Char(')');
    }
    return line.replace(QLatin1Char('\n'), QLatin1Char(' '));
}

}  // namespace

BatchHost::BatchHost(const QLocale& locale)
    : numbers_(locale), drawProgress_(isatty(STDERR_FILENO) != 0) {
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

bool BatchHost::assign(const QString& control, const QString& value, QString& error) {
    if (isOutputBox(control)) {
        error = QStringLiteral("%1 is an output box, which every run fills in itself").arg(control);
        return false;
    }
    if (texts_.contains(control)) {
        texts_[control] = value;
        return true;
    }
    if (ticks_.contains(control)) {
        const std::optional<bool> ticked = checkValue(value);
        if (!ticked) {
            error = QStringLiteral(
                        "the check box %1 takes 1 or 0 (true or false, on or off, yes or "
                        "no), not '%2'")
                        .arg(control, value);
            return false;
        }
        ticks_[control] = *ticked;
        return true;
    }
    error = QStringLiteral("there is no box or check box named '%1'").arg(control);
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

void BatchHost::setTicked(std::string_view checkBox, bool ticked) {
    ticks_[controlName(checkBox)] = ticked;
}

void BatchHost::setPlainProgress(bool on) {
    printProgress_ = on && !drawProgress_;
}

void BatchHost::setProgressWidth(float twips) {
    if (!drawProgress_ && !printProgress_) {
        return;
    }
    if (!meter_) {
        using namespace std::chrono_literals;
        meter_ = std::make_unique<ProgressMeter>(
            numbers_, drawProgress_ ? ProgressMeter::Clock::duration(100ms)
                                    : ProgressMeter::Clock::duration(5s));
    }
    const double fraction = std::clamp(static_cast<double>(twips) / kFullBarWidth, 0.0, 1.0);
    const auto figures =
        meter_->update(fraction, text(ctl::TJ).toLongLong(), ProgressMeter::Clock::now());
    if (!figures) {
        return;
    }
    if (drawProgress_) {
        drawProgress(fraction, *figures);
    } else {
        printProgress(*figures);
    }
}

namespace {

// "J = 4250  K = 3": the level, and the cycle of a Girotondo run, whose TK
// stays empty in the other runs.
QString levelText(const QString& level, const QString& cycle) {
    return QStringLiteral("J = ") + level +
           (cycle.isEmpty() ? QString() : QStringLiteral("  K = ") + cycle);
}

// "1234 levels/s" (snapshots in a Girotondo run).
QString rateText(const ProgressFigures& figures, bool girotondo) {
    return figures.rate +
           (girotondo ? QStringLiteral(" snapshots/s") : QStringLiteral(" levels/s"));
}

}  // namespace

void BatchHost::drawProgress(double fraction, const ProgressFigures& figures) {
    constexpr int kCells = 30;
    const int filled = static_cast<int>(fraction * kCells + 0.5);
    const QString cycle = text(ctl::TK);
    QString line = QStringLiteral("\r[%1%2] %3  %4")
                       .arg(QString(filled, QChar('#')), QString(kCells - filled, QChar('.')),
                            figures.done, levelText(text(ctl::TJ), cycle));
    if (!figures.rate.isEmpty()) {
        line += QStringLiteral("  ") + rateText(figures, !cycle.isEmpty());
    }
    if (!figures.left.isEmpty()) {
        line += QStringLiteral("  %1 left").arg(figures.left);
    }
    // Clears what a longer line before left.
    std::fprintf(stderr, "%s\x1b[K", qPrintable(line));
    std::fflush(stderr);
    progressShown_ = true;
}

void BatchHost::printProgress(const ProgressFigures& figures) {
    const QString cycle = text(ctl::TK);
    QStringList parts{figures.done, levelText(text(ctl::TJ), cycle).replace("  ", ", ")};
    if (!figures.rate.isEmpty()) {
        parts << rateText(figures, !cycle.isEmpty());
    }
    if (!figures.left.isEmpty()) {
        parts << figures.left + QStringLiteral(" left");
    }
    std::fprintf(stderr, "velarion-batch: progress: %s\n", qPrintable(parts.join(", ")));
    std::fflush(stderr);
}

void BatchHost::endProgress() {
    if (progressShown_) {
        std::fputc('\n', stderr);
        progressShown_ = false;
    }
}

MessageAnswer BatchHost::messageBox(const MessageRequest& request) {
    if (request.icon == MessageIcon::Critical || request.icon == MessageIcon::Exclamation) {
        lastError_ = request;
    }
    const bool question = request.buttons == MessageButtons::YesNo;
    if (question && accepted_.contains(request.text)) {
        return MessageAnswer::Yes;
    }
    if (!silenced_.contains(request.text)) {
        endProgress();
        std::fprintf(stderr, "%s\n", qPrintable(messageLine(request)));
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
// one run, and a Ctrl-C that came during it still asks it to stop.
bool BatchHost::stopFlag() const {
    return stop_ || processInterrupted();
}

void BatchHost::setStopFlag(bool stop) {
    stop_ = stop;
}

void BatchHost::setRunUnderWay(bool underWay) {
    runUnderWay.store(underWay);
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
