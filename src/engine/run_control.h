#pragma once

#include "number_text.h"
#include "window_ops.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace velarion {

enum class RunOutcome { Completed, Stopped, Failed };

// Waits `ms` milliseconds while the window processes its events; returns at
// once for 0 or less. The tick count is 64-bit and monotonic, so the wait
// cannot be cut short or made endless by a counter that wraps.
void AttendiMs(WindowOps& ops, const int& ms);

// The window's run-control steps shared by the runs: start, progress,
// pump-and-poll, stop, failure and the elapsed-time display.
class RunControl {
  public:
    static constexpr float kFullBarWidth = 10335;

    RunControl(WindowOps& ops, const NumberText& numbers) : ops_(ops), numbers_(numbers) {}

    // Clears StopFlag, takes the start tick, enables STOP, disables the GO buttons.
    void start();
    void working();
    // Grows the bar to level / (number now in Tnitertemp). A text that is not
    // a non-zero number leaves the bar as it is, so editing the box during a
    // run cannot break it.
    void progress(int level);
    // Lets the window process its events; true when STOP has been pressed.
    bool pumpAndPoll();
    void restoreButtons();
    RunOutcome stopped();
    // Ends a failed run like a stop, then tells the user why.
    RunOutcome failed(const QString& reason);
    // "Elaboration : " with the seconds since start().
    void showElapsed();

    std::int64_t startTick() const { return startTick_; }

  private:
    WindowOps& ops_;
    const NumberText& numbers_;
    std::int64_t startTick_ = 0;
};

}  // namespace velarion
