#pragma once

#include "progress_meter.h"

#include "runs/window_ops.h"

#include <QHash>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <optional>

namespace velarion {

// The window operations for the batch front end: boxes are held in memory,
// the progress (a bar, the part done, the rate and the time left) is drawn
// on stderr when it is a terminal, ten times a second at most, or printed
// there as a plain line every five seconds when asked for, messages go to
// stderr one line each, and an interrupt (Ctrl-C) during the run acts as
// STOP once handleInterrupts() is called; a second one, or one outside the
// run, ends the process. Each line appended to TLog is printed on stdout as
// it comes.
class BatchHost : public WindowOps {
  public:
    explicit BatchHost(const QLocale& locale);

    // Sets a box or a check box by its control name. A check box takes 1 or
    // 0 (true or false, on or off, yes or no, in any case). False, with the
    // reason in `error`, for a control that does not exist, an output box
    // (a run fills it in itself) or a check box's other value.
    bool assign(const QString& control, const QString& value, QString& error);

    QString text(std::string_view box) const override;
    void setText(std::string_view box, const QString& text) override;
    bool isTicked(std::string_view checkBox) const override;
    void setTicked(std::string_view checkBox, bool ticked);
    void setEnabled(std::string_view, bool) override {}
    void setStatus(const QString& caption) override { status_ = caption; }
    void setProgressWidth(float twips) override;
    void repaint(std::string_view) override {}
    void processEvents() override {}
    MessageAnswer messageBox(const MessageRequest& request) override;
    // No one to ask in a batch run: every question is cancelled.
    std::optional<QString> inputBox(const QString&, const QString&) override {
        return std::nullopt;
    }
    // Silent unless tones were asked for: then a tone is a wait of its length.
    void beep(int frequencyHz, int durationMs) override;
    bool playsTones() const override { return tones_; }
    void setTones(bool on) { tones_ = on; }
    // Prints the progress as a plain line every five seconds when stderr is
    // not a terminal (on a terminal it is drawn anyway).
    void setPlainProgress(bool on);
    std::int64_t tickCountMs() const override;
    bool stopFlag() const override;
    void setStopFlag(bool stop) override;

    // Answers Yes to the question with this text instead of declining it.
    void acceptQuestion(const QString& text) { accepted_.append(text); }
    // Prints nothing for the message with this text: its caller reports
    // the outcome in its own words.
    void silenceMessage(const QString& text) { silenced_.append(text); }

    const QString& status() const { return status_; }
    // The last error or warning a message box reported, if any.
    const std::optional<MessageRequest>& lastError() const { return lastError_; }
    // Clears the progress line before other output follows.
    void endProgress();

    // The status of a process ended by Ctrl-C (128 + SIGINT).
    static constexpr int kExitInterrupted = 130;
    // Installs the Ctrl-C handler: while a run is under way the first Ctrl-C
    // acts as STOP at the next pump point; the second, or one before or after
    // the run, ends the process at once with kExitInterrupted, its temporary
    // files removed.
    static void handleInterrupts();
    // Marks the run of the process as started or ended.
    static void setRunUnderWay(bool underWay);
    // True once a Ctrl-C has asked the run to stop, in any host of the process.
    static bool processInterrupted();

  private:
    void printAppended(const QString& lines);

    QHash<QString, QString> texts_;
    QHash<QString, bool> ticks_;
    QString status_;
    std::optional<MessageRequest> lastError_;
    QStringList accepted_;
    QStringList silenced_;
    void drawProgress(double fraction, const ProgressFigures& figures);
    void printProgress(const ProgressFigures& figures);

    NumberText numbers_;
    bool drawProgress_ = false;
    bool printProgress_ = false;
    bool progressShown_ = false;
    std::unique_ptr<ProgressMeter> meter_;
    bool stop_ = false;
    bool tones_ = false;
};

}  // namespace velarion
