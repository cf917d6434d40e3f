#pragma once

#include "model/controls.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>

namespace velarion {

enum class MessageIcon { None, Critical, Exclamation, Information };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

struct MessageRequest {
    QString text;
    QString title;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    QString detail;    // optional longer explanation shown below the text
    QString tip = {};  // optional: the box's status tip, shown as its tool tip too
};

// What a run may do to the window it belongs to. The Qt window, the batch
// front end and the tests' fake host each implement it.
class WindowOps {
  public:
    virtual ~WindowOps() = default;

    virtual QString text(std::string_view box) const = 0;
    virtual void setText(std::string_view box, const QString& text) = 0;
    virtual bool isTicked(std::string_view checkBox) const = 0;
    virtual void setEnabled(std::string_view control, bool enabled) = 0;
    virtual void setStatus(const QString& caption) = 0;
    // Width of the progress bar Shape2, in twips.
    virtual void setProgressWidth(float twips) = 0;
    // Repaints one control at once; ctl::Form1 repaints the whole window.
    virtual void repaint(std::string_view control) = 0;
    // One pass over the pending window events.
    virtual void processEvents() = 0;
    virtual MessageAnswer messageBox(const MessageRequest& request) = 0;
    // Asks for one line of text; empty when the user cancels.
    virtual std::optional<QString> inputBox(const QString& prompt, const QString& title) = 0;
    // The hourglass pointer while a long operation holds the window.
    virtual void setBusyCursor(bool /*busy*/) {}
    // Sounds a tone and returns when it has sounded.
    virtual void beep(int frequencyHz, int durationMs) = 0;
    // False where no one is there to hear the tones (a batch run): the host
    // then skips them, and AttendiMs skips the waits between them.
    virtual bool playsTones() const { return true; }
    // Milliseconds from a monotonic clock.
    virtual std::int64_t tickCountMs() const = 0;
    virtual bool stopFlag() const = 0;
    virtual void setStopFlag(bool stop) = 0;
};

}  // namespace velarion
