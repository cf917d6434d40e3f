#pragma once

#include "runs/window_ops.h"

#include <QLocale>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace velarion::testing {

// A window for tests: holds the boxes in memory, records what a run did to
// it, and can press STOP (or do anything else) at a chosen event pump.
class FakeWindow : public WindowOps {
  public:
    explicit FakeWindow(const QLocale& locale = QLocale(QLocale::Italian, QLocale::Italy));

    QString text(std::string_view box) const override;
    void setText(std::string_view box, const QString& text) override;
    bool isTicked(std::string_view checkBox) const override;
    void setEnabled(std::string_view control, bool enabled) override;
    void setStatus(const QString& caption) override;
    void setProgressWidth(float twips) override;
    void repaint(std::string_view control) override;
    void processEvents() override;
    MessageAnswer messageBox(const MessageRequest& request) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title) override;
    void setBusyCursor(bool busy) override;
    void beep(int frequencyHz, int durationMs) override;
    std::int64_t tickCountMs() const override { return ticks += tickStep; }
    bool stopFlag() const override { return stop; }
    void setStopFlag(bool value) override { stop = value; }

    void tick(std::string_view checkBox, bool ticked) { ticks_[controlName(checkBox)] = ticked; }
    bool enabled(std::string_view control) const {
        return enabled_.value(controlName(control), true);
    }

    // What the run did, in order.
    QStringList calls;  // every call that changes the window, one line each
    QMap<QString, QString> boxes;
    std::vector<float> widths;
    QStringList statuses;
    QStringList switches;  // "+Name" enabled, "-Name" disabled, in order
    QStringList repaints;
    std::vector<MessageRequest> messages;
    std::vector<bool> busyCursor;  // each change of the pointer
    std::vector<std::pair<int, int>> beeps;
    int pumps = 0;
    bool stop = false;
    mutable std::int64_t ticks = 0;
    std::int64_t tickStep = 0;
    MessageAnswer answer = MessageAnswer::No;
    // Answers for inputBox, taken from the front; a null QString or none
    // left means Cancel.
    QStringList inputAnswers;
    QStringList inputPrompts;  // "prompt|title" of each inputBox call
    // Called at each event pump with the pump's number, from 1.
    std::function<void(int)> onPump;
    // Called before a box takes a text; may throw, as a real window can.
    std::function<void(std::string_view box, const QString& text)> onSetText;

  private:
    QMap<QString, bool> ticks_;
    QMap<QString, bool> enabled_;
};

}  // namespace velarion::testing
