#pragma once

// A double or Girotondo run on a thread of its own, so that the window goes
// on drawing, moving and taking clicks while the run computes.

#include "runs/window_ops.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace velarion::window {

class QtWindowOps;

// The window operations of a run that computes on a thread of its own,
// carried out on the window through `window` on the window's thread:
//
// - Texts, enabled states, the status, the progress width and the pointer
//   are kept as the newest state the run has given them and shown within a
//   frame, and always before anything the run waits for. The window then
//   shows what the run did, in the run's order; a state that lasted less
//   than a frame is not drawn, as it was not between two repaints before.
// - The run reads the boxes and check boxes as they stood at its start or
//   at its last pump point, together with what it wrote itself since: what
//   the user does reaches the run at a pump point, as when the window's
//   events came in only there.
// - A pump point (processEvents), a message box and an input box are
//   carried out on the window's thread while the run waits; `pumped` is
//   called there at each pump point. The run's data may be read only then
//   (isWaiting()) or after run() has returned.
// - A request of the run waits while the user has a modal dialog of the
//   window open, as the run waited for a dialog opened at a pump point.
//
// STOP is a flag the run polls at its pump points, so it takes effect there
// and not earlier.
class RunThread final : public WindowOps {
  public:
    // On the window's thread.
    explicit RunThread(QtWindowOps& window);
    ~RunThread() override;
    RunThread(const RunThread&) = delete;
    RunThread& operator=(const RunThread&) = delete;

    // Runs `body` on a thread of its own and lets the window process its
    // events until it has returned; rethrows what it threw.
    void run(const std::function<void()>& body);
    // True while the run waits for the window's thread to carry out one of
    // its requests: its data holds still.
    bool isWaiting() const { return serving_; }
    // Shows what the run has done to the window so far.
    void showPending();

    // Called on the window's thread at each pump point, the run waiting.
    std::function<void()> pumped;

    // WindowOps, called by the run on its own thread.
    QString text(std::string_view box) const override;
    void setText(std::string_view box, const QString& text) override;
    bool isTicked(std::string_view checkBox) const override;
    void setEnabled(std::string_view control, bool enabled) override;
    void setStatus(const QString& caption) override;
    void setProgressWidth(float twips) override;
    // The window repaints by itself within a frame of a change.
    void repaint(std::string_view /*control*/) override {}
    void processEvents() override;
    MessageAnswer messageBox(const MessageRequest& request) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title) override;
    void setBusyCursor(bool busy) override;
    void beep(int frequencyHz, int durationMs) override;
    std::int64_t tickCountMs() const override;
    bool stopFlag() const override;
    void setStopFlag(bool stop) override;

  private:
    using Names = std::less<>;
    // What the window is to show, newest first come.
    struct Shown {
        std::map<std::string, QString, Names> texts;
        std::map<std::string, bool, Names> enabled;
        std::optional<float> progress;
        std::optional<bool> busy;
        bool isEmpty() const { return texts.empty() && enabled.empty() && !progress && !busy; }
    };

    // Carries out `task` on the window's thread and waits for it.
    void request(const std::function<void()>& task);
    template <class Task>
    auto call(Task task);
    // Reads the window on its thread: a box the run's view does not hold.
    template <class Task>
    auto ask(Task task) const {
        return const_cast<RunThread*>(this)->call(std::move(task));
    }
    // On the window's thread: the pending request, unless the user has a
    // modal dialog open.
    void serve();
    // The boxes and check boxes as the window holds them now.
    void takeSeen();

    QtWindowOps& window_;
    QObject context_;  // lives on the window's thread, which it calls there
    QTimer frame_;
    std::atomic<bool> finished_ = false;

    std::mutex mutex_;
    std::condition_variable served_;
    Shown pending_;                                // under mutex_
    const std::function<void()>* task_ = nullptr;  // under mutex_
    bool done_ = false;                            // under mutex_
    std::exception_ptr taskFailure_;               // under mutex_
    std::atomic<bool> serving_ = false;

    // The run's view of the boxes: its own thread's, or the window's while
    // the run waits.
    std::map<std::string, QString, Names> seenTexts_;
    std::map<std::string, bool, Names> seenTicks_;
    bool busy_ = false;  // the pointer as the window shows it
};

}  // namespace velarion::window
