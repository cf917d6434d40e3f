#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>

namespace velarion {

// Names of the controls that the runs touch.
namespace ctl {
inline constexpr std::string_view Form1 = "Form1";
inline constexpr std::string_view TINDICE_MATRICE1 = "TINDICE_MATRICE1";
inline constexpr std::string_view TINDICE_MATRICE2 = "TINDICE_MATRICE2";
inline constexpr std::string_view TRho = "TRho";
inline constexpr std::string_view TVFase = "TVFase";
inline constexpr std::string_view TV0 = "TV0";
inline constexpr std::string_view Tltot = "Tltot";
inline constexpr std::string_view TD = "TD";
inline constexpr std::string_view TDeltaT = "TDeltaT";
inline constexpr std::string_view TN = "TN";
inline constexpr std::string_view TP = "TP";
inline constexpr std::string_view Tnitertemp = "Tnitertemp";
inline constexpr std::string_view TPrecision = "TPrecision";
inline constexpr std::string_view TA = "TA";
inline constexpr std::string_view TF = "TF";
inline constexpr std::string_view Ttot = "Ttot";
inline constexpr std::string_view TB = "TB";
inline constexpr std::string_view TL0 = "TL0";
inline constexpr std::string_view TJ = "TJ";
inline constexpr std::string_view TK = "TK";
inline constexpr std::string_view TLog = "TLog";
inline constexpr std::string_view CLogFile = "CLogFile";
inline constexpr std::string_view CLogFileExc = "CLogFileExc";
inline constexpr std::string_view CExl = "CExl";
inline constexpr std::string_view CStop = "CStop";
inline constexpr std::string_view Command1 = "Command1";
inline constexpr std::string_view Command2 = "Command2";
inline constexpr std::string_view Command4 = "Command4";
inline constexpr std::string_view Shape2 = "Shape2";
inline constexpr std::string_view LStatus = "LStatus";
inline constexpr std::string_view File1 = "File1";
inline constexpr std::string_view Command3 = "Command3";
inline constexpr std::string_view Command5 = "Command5";
inline constexpr std::string_view CSaveConfig = "CSaveConfig";
inline constexpr std::string_view Frame1 = "Frame1";
}  // namespace ctl

// A control's name as Qt text (the names are plain ASCII).
inline QString controlName(std::string_view name) {
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

enum class MessageIcon { None, Critical, Exclamation, Information };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

struct MessageRequest {
    QString text;
    QString title;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    QString detail;  // optional longer explanation shown below the text
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
