#pragma once

#include "runs/window_ops.h"

#include <QElapsedTimer>
#include <QWidget>

#include <functional>
#include <optional>

namespace velarion::window {

class Form1;
struct Form1Hooks;

// The window operations on Form1's real widgets, on the window's thread: a
// repaint is immediate and processEvents runs one pass of the event loop
// nested inside the running click handler. A run on a thread of its own
// reaches them through a RunThread.
class QtWindowOps : public WindowOps {
  public:
    QtWindowOps(Form1& form, const Form1Hooks& hooks);

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
    // True when the window's owner takes the tones in (a test), not the
    // sound device.
    bool hasToneHook() const;
    std::int64_t tickCountMs() const override { return clock_.elapsed(); }
    bool stopFlag() const override;
    void setStopFlag(bool stop) override;

    // Hands the latest counter texts to their widgets.
    void flushCounters() const;

    // Called after each processEvents(), the pump points of a run.
    std::function<void()> afterEvents;

  private:
    QWidget& widget(std::string_view name) const;
    std::optional<QString>* pendingCounter(std::string_view box) const;

    Form1& form_;
    const Form1Hooks& hooks_;
    QElapsedTimer clock_;  // monotonic, 64-bit: no wrap after 24.8 days
    // The counters TJ and TK change on every level or cycle, and the window
    // shows nothing new until it is repainted or processes events. Their
    // texts wait here until the next operation that can show or read them,
    // so a long run does not lay out digits nobody can see.
    mutable std::optional<QString> pendingTJ_;
    mutable std::optional<QString> pendingTK_;
};

// The modal dialogs themselves, used when no hook replaces them.
MessageAnswer showMessageBox(QWidget* parent, const MessageRequest& request);
std::optional<QString> showInputBox(QWidget* parent, const QString& prompt, const QString& title);

}  // namespace velarion::window
