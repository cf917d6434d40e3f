#pragma once

#include "form1_menu.h"
#include "model/number_text.h"
#include "results_files_menu.h"
#include "runs/form_state.h"
#include "runs/window_ops.h"

#include <QHash>
#include <QLocale>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

class QLabel;
class QMenuBar;
class QSettings;

namespace velarion::window {

class QtWindowOps;

// What Form1 asks of the desktop: dialogs, tones and the end of the
// program. The defaults are the real ones; tests put their own in.
struct Form1Hooks {
    std::function<MessageAnswer(const MessageRequest&)> messageBox;
    std::function<std::optional<QString>(const QString& prompt, const QString& title)> inputBox;
    std::function<void(int frequencyHz, int durationMs)> beep;
    std::function<void()> terminate;
    // Called at each pump point of a run, the run waiting there: where the
    // window's events reached a run that held the window's thread.
    std::function<void()> pumped;
    // File → Export CSV…: the file and the segments, given the default ones.
    std::function<std::optional<CsvChoice>(const QString& defaultSegments)> askCsvChoice;
    // Model → Closing time and friction…: the closing time and the friction
    // factor, given the current ones; nothing when cancelled.
    std::function<std::optional<WaterHammer>(const WaterHammer& current)> askClosingTimeAndFriction;
    // File → Save Results…, Open Results…, Compare With…: the file; empty
    // when cancelled.
    std::function<QString(ResultsDialog)> askResultsPath;
    // The file that remembers the Model menu's choices (INI); empty: the
    // user's settings.
    QString settingsFile;
    // The folder the program lies in; empty: the running program's.
    QString programDirectory;
    // The folder the build puts the program in; empty: this build's. A
    // program elsewhere is an installed one (file_places.h).
    QString buildDirectory;
};

class GuideWindow;
class ResultsWindow;
class RunThread;

// The main window: its controls built from the layout table, its state and
// its event handlers.
class Form1 : public QWidget {
  public:
    explicit Form1(const QLocale& locale = QLocale::system(), Form1Hooks hooks = {});
    ~Form1() override;

    QWidget* control(std::string_view name) const;
    template <class Widget>
    Widget* controlAs(std::string_view name) const {
        return qobject_cast<Widget*>(control(name));
    }

    WindowOps& ops();
    FormState& state() { return state_; }
    const NumberText& numbers() const { return numbers_; }
    // Set on the window's thread, read by a run on its own.
    bool StopFlag() const { return stopFlag_; }
    void setStopFlag(bool stop) { stopFlag_ = stop; }
    bool running() const { return running_; }

    // The event handlers, named after their controls.
    void Form_Load();
    void CStop_Click();
    void Command3_Click();
    void Command2_Click();
    void Command4_Click();
    void Command1_Click();
    void Command5_Click();
    void CSaveConfig_Click();
    // The menu's handlers.
    void mnuExportCsv_Click();
    void mnuQuit_Click() { close(); }
    void mnuResults_Click();
    // The last run saved as a results file; a saved one shown in the
    // results window, or drawn over the run shown there, and no longer.
    void mnuSaveResults_Click();
    void mnuOpenResults_Click();
    void mnuCompareWith_Click();
    void mnuClearComparison_Click();
    // The ends and the friction of the runs to come, remembered for the
    // next session; a run under way keeps its own.
    void mnuRestoringFreeEnd_Toggled(bool restoring);
    // View → Girotondo envelope: whether the Girotondo runs to come keep the
    // envelope of every level, remembered for the next session.
    void mnuGirotondoEnvelope_Toggled(bool keep);
    bool keepsGirotondoEnvelope() const { return keepGirotondoEnvelope_; }
    void mnuClosedLastEnd_Toggled(bool closed);
    void mnuFirstEnd_Triggered(FirstEnd end);
    void mnuClosingTimeAndFriction_Click();
    void mnuGuide_Click();
    void mnuAbout_Click();

    // The client area below the menu bar, which holds every control.
    QWidget* clientArea() const { return client_; }
    // The note beside the GO buttons, in the menu bar's right corner: how
    // the last run ended when it failed or was unstable, and a time step
    // beyond the Courant limit before a run. The status line keeps its own
    // texts.
    QString runNote() const;
    QString runNoteTip() const;
    ResultsWindow* resultsWindow() const { return results_; }
    GuideWindow* guideWindow() const { return guide_; }

    // Lists the working directory's "*.cnf" entries in File1.
    void refreshFileList();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QString programDirectory() const;
    void buildControls();
    QWidget* createControl(const struct ControlSpec& spec, QWidget* parent);
    void connectHandlers();
    template <class Run>
    void runAlone();
    // The threads the run took go into `start`.
    template <class Run>
    RunOutcome runOnItsThread(RunStart& start);
    // Where the results window learns that a run starts and that it ended.
    void runStarted();
    void runEnded(RunOutcome outcome);
    // Runs `action`, which reads or changes what a run computes with, now
    // or, while a run computes on its thread, at its next pump point or its
    // end: where the action's click would have come in.
    void whenRunWaits(std::function<void()> action);
    void runDeferred();
    void atPumpPoint();
    // Shows what a run on its thread has done so far, before a handler of
    // the window writes to the same controls.
    void showRunSoFar();
    void exportCsv();
    // The results window, made and shown.
    ResultsWindow& showResults();
    QRect runButtons() const;
    void placeResults();
    void applyInitialTexts();
    void setTabOrder();
    void buildRunNote(QMenuBar& bar);
    void showRunNote();
    // What the run that just ended leaves in the note.
    void noteRunOutcome(RunOutcome outcome);
    // Tells the user, under `title`, when a run is under way.
    bool refusedWhileRunning(const QString& title);
    // The results file the user picks in `dialog` (the tests' hook, else
    // the file dialog); empty when cancelled.
    QString askedResultsPath(ResultsDialog dialog);
    // A saved run read for Open Results… or Compare With…; the reason told
    // when it cannot be.
    std::optional<SavedRun> readSavedRunAsked(ResultsDialog dialog, const QString& title);

    NumberText numbers_;
    Form1Hooks hooks_;
    FormState state_;
    std::unique_ptr<QtWindowOps> ops_;
    QWidget* client_;
    ResultsWindow* results_ = nullptr;
    GuideWindow* guide_ = nullptr;
    QHash<QString, QWidget*> controls_;
    std::atomic<bool> stopFlag_ = false;
    bool running_ = false;
    RunThread* runThread_ = nullptr;  // the run on its thread, while there is one
    std::vector<std::function<void()>> deferred_;
    bool lastRunDecimal_ = false;  // the results window says whose charts it shows
    RunStart lastRunStart_;        // of the run in psi, for Save Results…
    QLabel* runNote_ = nullptr;
    QString lastRunNote_;
    std::unique_ptr<QSettings> settings_;
    bool keepGirotondoEnvelope_ = false;
};

}  // namespace velarion::window
