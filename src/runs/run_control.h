#pragma once

#include "model/number_text.h"
#include "window_ops.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace velarion {

enum class RunOutcome { Completed, Stopped, Failed };

// The width of the progress track Shape1, in twips: a full bar.
inline constexpr double kFullBarWidth = 10335;

// The run a RunControl serves. The Girotondo run touches its own button
// first and takes its error path when the progress bar cannot be set; the
// double run leaves the bar as it is then. The precision run takes only the
// "Working..." step.
enum class RunKind { Double, Girotondo, Precision };

// Waits `ms` milliseconds while the window processes its events; returns at
// once for 0 or less. The tick count is 64-bit and monotonic, so the wait
// cannot be cut short or made endless by a counter that wraps.
void AttendiMs(WindowOps& ops, const int& ms);

// The window's run-control steps shared by the runs: start, progress,
// pump-and-poll, stop, failure and the elapsed-time display.
class RunControl {
  public:
    RunControl(WindowOps& ops, const NumberText& numbers, RunKind kind)
        : ops_(ops), numbers_(numbers), kind_(kind) {}

    // Clears StopFlag, takes the start tick, enables STOP, disables the GO buttons.
    void start();
    void working();
    // Grows the bar to level / (number now in Tnitertemp), then repaints it
    // and TJ. A text that gives no width (not a number, zero, or a width
    // beyond single precision) leaves the bar as it is in the double run, so
    // editing the box during a run cannot break it; the Girotondo run fails
    // with a RunFailure instead.
    void progress(int level);
    // Lets the window process its events; true when STOP has been pressed.
    bool pumpAndPoll();
    RunOutcome stopped();
    // Ends a failed run like a stop, then tells the user why.
    RunOutcome failed(const QString& reason);
    // The end sequence once the log is closed: "Elaboration : " with the
    // seconds since start(), the GO buttons enabled and STOP disabled, then
    // the export when CLogFileExc is ticked.
    void finish(const std::function<void()>& saveFileExcel);

  private:
    void showElapsed();
    void endButtons();
    std::optional<float> progressWidth(int level, QString& whyNot) const;
    void enableGoButtons(bool enabled);
    void stopButtons();

    WindowOps& ops_;
    const NumberText& numbers_;
    RunKind kind_;
    std::int64_t startTick_ = 0;
};

}  // namespace velarion
