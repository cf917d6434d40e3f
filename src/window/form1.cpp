#include "form1.h"

#include "caption_fit.h"
#include "config/config_commands.h"
#include "file_places.h"
#include "form1_layout.h"
#include "guide_window.h"
#include "hammer_menu.h"
#include "model/parameter_boxes.h"
#include "placement.h"
#include "qt_window_ops.h"
#include "results/excel_export.h"
#include "results/form_record.h"
#include "results/psi_csv.h"
#include "results/results_file.h"
#include "results/stability_verdict.h"
#include "results_window.h"
#include "run_thread.h"
#include "runs/double_run.h"
#include "runs/girotondo_run.h"
#include "runs/parameter_reader.h"
#include "runs/precision_run.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <type_traits>
#include <utility>

namespace velarion::window {

namespace {

// The designed fonts are Windows ones; on Linux the metric-compatible
// Liberation fonts stand in for them, so the texts fit their rectangles.
// The substitutions are the application's, so they are registered once.
void substituteWindowsFonts() {
    static const bool registered = [] {
        QFont::insertSubstitutions("MS Sans Serif", {"Liberation Sans", "Arial", "DejaVu Sans"});
        QFont::insertSubstitutions("Times New Roman", {"Liberation Serif", "DejaVu Serif"});
        return true;
    }();
    (void)registered;
}

QFont fontOf(const FontSpec& spec, const QFont& fallback) {
    if (!spec.family)
        return fallback;
    QFont font(QString::fromLatin1(spec.family));
    font.setPointSizeF(spec.pointSize);
    return font;
}

// Fills the widget's own background, in the role it paints it with (Base
// for text boxes, Button for check boxes); children keep their usual
// colours (text boxes stay white on the grey window).
void fillBackground(QWidget* w, const QColor& colour) {
    QPalette palette = w->palette();
    palette.setColor(w->backgroundRole(), colour);
    w->setPalette(palette);
    w->setAutoFillBackground(true);
}

QWidget* newWidgetOf(const ControlSpec& spec, QWidget* parent) {
    const QString text = QString::fromUtf8(spec.text);
    switch (spec.kind) {
        case Kind::Button:
            return new QPushButton(text, parent);
        case Kind::TextBox:
            return new QLineEdit(text, parent);
        case Kind::MultiLineTextBox: {
            auto* box = new QPlainTextEdit(text, parent);
            box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            box->setTabChangesFocus(true);
            return box;
        }
        case Kind::CheckBox: {
            auto* box = new QCheckBox(text, parent);
            box->setChecked(spec.style & kTicked);
            return box;
        }
        case Kind::Label: {
            auto* label = new QLabel(text, parent);
            label->setAlignment(spec.style & kCentred ? Qt::AlignHCenter | Qt::AlignTop
                                                      : Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case Kind::Frame:
            return new QGroupBox(text, parent);
        case Kind::FileList:
            return new QListWidget(parent);
        case Kind::Rectangle: {
            auto* shape = new QFrame(parent);
            shape->setFrameShape(QFrame::Box);
            fillBackground(shape, spec.fill);
            return shape;
        }
        case Kind::Line: {
            auto* line = new QFrame(parent);
            line->setFrameShape(QFrame::VLine);
            line->setFrameShadow(QFrame::Plain);
            return line;
        }
    }
    return nullptr;
}

// The width the menu bar's four menus take, left of the run note.
constexpr int kMenuWidth = 220;

// Where the settings keep View → Girotondo envelope.
const QString kGirotondoEnvelopeKey = QStringLiteral("view/girotondoEnvelope");

// What the program does when the window is closed during a run: it ends at
// once, so no code of the run resumes. Log records are written unbuffered,
// one whole record per write, so everything already written is on disk and
// no record is cut; the system closes the files as the process ends.
void endProgramNow() {
    std::fflush(nullptr);
    std::_Exit(EXIT_SUCCESS);
}

}  // namespace

Form1::Form1(const QLocale& locale, Form1Hooks hooks)
    : numbers_(locale),
      hooks_(std::move(hooks)),
      ops_(std::make_unique<QtWindowOps>(*this, hooks_)),
      client_(new QWidget(this)) {
    if (!hooks_.terminate)
        hooks_.terminate = endProgramNow;
    ops_->afterEvents = [this] { atPumpPoint(); };
    substituteWindowsFonts();
    const WindowSpec& spec = form1Window();
    setObjectName("Form1");
    setWindowTitle(QString::fromUtf8(spec.title));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    // The client area as designed: the log section below it (TLog, CLS)
    // stays out of view; only the run that writes TLog could use it, and
    // that run is not reachable from the window. The menu bar lies above
    // it, so the window is taller by the menu's height only.
    client_->setObjectName(QStringLiteral("client"));
    client_->setFixedSize(twipsToDip(spec.clientWidth), twipsToDip(spec.clientHeight));
    fillBackground(this, spec.background);
    fillBackground(client_, spec.background);
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->setSpacing(0);
    frame->setSizeConstraint(QLayout::SetFixedSize);
    settings_ =
        hooks_.settingsFile.isEmpty()
            ? std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                          QStringLiteral("Velarion"), QStringLiteral("Velarion"))
            : std::make_unique<QSettings>(hooks_.settingsFile, QSettings::IniFormat);
    state_.hammer.closingTime = kDefaultClosingTime;
    restoreModelChoices(state_, *settings_);
    keepGirotondoEnvelope_ = settings_->value(kGirotondoEnvelopeKey, false).toBool();
    QMenuBar* menuBar = buildForm1MenuBar(*this);
    frame->setMenuBar(menuBar);
    frame->addWidget(client_);
    frame->activate();  // the fixed size holds before the window is shown
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    setFont(font);
    buildControls();
    applyInitialTexts();
    setTabOrder();
    connectHandlers();
    buildRunNote(*menuBar);
    refreshFileList();
    Form_Load();
}

void Form1::buildRunNote(QMenuBar& bar) {
    runNote_ = new QLabel(&bar);
    runNote_->setObjectName(QStringLiteral("runNote"));
    runNote_->setStyleSheet(QStringLiteral("QLabel { color: #c00000; padding-right: 6px; }"));
    runNote_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The corner keeps the width it was given: what the menus leave of the
    // window's.
    runNote_->setFixedWidth(std::max(120, client_->width() - kMenuWidth));
    bar.setCornerWidget(runNote_, Qt::TopRightCorner);
    // The boxes of the Courant number, as the user types.
    for (const auto box : {ctl::TVFase, ctl::TDeltaT, ctl::Tltot}) {
        connect(controlAs<QLineEdit>(box), &QLineEdit::textChanged, this,
                [this] { showRunNote(); });
    }
    showRunNote();
}

void Form1::showRunNote() {
    QStringList notes;
    if (!lastRunNote_.isEmpty()) {
        notes << lastRunNote_;
    }
    if (const auto p = ParameterReader(*ops_, numbers_).peekTimeStep()) {
        if (const QString warning = courantWarning(*p, numbers_); !warning.isEmpty()) {
            notes << warning;
        }
    }
    const QString full = notes.join(QStringLiteral("  \u00b7  "));
    // The tooltip keeps the whole text.
    runNote_->setToolTip(full);
    runNote_->setText(
        runNote_->fontMetrics().elidedText(full, Qt::ElideRight, runNote_->width() - 12));
}

void Form1::noteRunOutcome(RunOutcome outcome) {
    lastRunNote_.clear();
    if (lastRunDecimal_) {
        showRunNote();
        return;
    }
    const auto verdict = instabilityOfRun(state_);
    if (verdict) {
        lastRunNote_ = QStringLiteral("Last run unstable from level %1")
                           .arg(numbers_.locale().toString(static_cast<qlonglong>(verdict->level)));
        if (outcome == RunOutcome::Failed) {
            lastRunNote_ += QStringLiteral(" and failed");
        }
    } else if (outcome == RunOutcome::Failed) {
        lastRunNote_ = QStringLiteral("Last run failed");
    }
    if (!lastRunNote_.isEmpty() && state_.psiRows) {
        lastRunNote_ += QStringLiteral(": View \u2192 Results");
    }
    showRunNote();
}

QString Form1::runNote() const {
    return runNote_->text();
}

QString Form1::runNoteTip() const {
    return runNote_->toolTip();
}

Form1::~Form1() = default;

QWidget* Form1::control(std::string_view name) const {
    if (name == ctl::Form1)
        return const_cast<Form1*>(this);
    return controls_.value(controlName(name), nullptr);
}

WindowOps& Form1::ops() {
    return *ops_;
}

QString Form1::programDirectory() const {
    return hooks_.programDirectory.isEmpty() ? QCoreApplication::applicationDirPath()
                                             : hooks_.programDirectory;
}

void Form1::buildControls() {
    const auto controls = form1Controls();
    // Created bottom first, so each control lies over the ones after it in
    // the table; the frame comes before the controls inside it.
    for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
        if (it->parent.empty())
            createControl(*it, client_);
    }
    for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
        if (!it->parent.empty())
            createControl(*it, control(it->parent));
    }
}

QWidget* Form1::createControl(const ControlSpec& spec, QWidget* parent) {
    QWidget* w = newWidgetOf(spec, parent);
    w->setObjectName(controlName(spec.name));
    w->setGeometry(twipsToDip(spec.left), twipsToDip(spec.top), std::max(1, twipsToDip(spec.width)),
                   std::max(1, twipsToDip(spec.height)));
    w->setFont(fontOf(spec.font, w->font()));
    narrowIfCut(w);
    if (spec.tooltip[0] != '\0')
        w->setToolTip(QString::fromUtf8(spec.tooltip));
    if (spec.style & kGreyBackground)
        fillBackground(w, form1Window().background);
    if (spec.style & kDisabled)
        w->setEnabled(false);
    controls_.insert(w->objectName(), w);
    return w;
}

void Form1::applyInitialTexts() {
    // The parameter boxes show their defaults with this locale's decimal
    // separator, so a fresh window always reads as the numbers intended.
    for (const ParameterBox& box : parameterBoxes()) {
        ops_->setText(box.name, initialTextOf(box, numbers_.locale()));
    }
}

void Form1::setTabOrder() {
    std::vector<const ControlSpec*> focusable;
    for (const ControlSpec& spec : form1Controls()) {
        if (spec.tab >= 0 && spec.kind != Kind::Label && spec.kind != Kind::Frame) {
            focusable.push_back(&spec);
        }
    }
    std::sort(focusable.begin(), focusable.end(),
              [](const ControlSpec* a, const ControlSpec* b) { return a->tab < b->tab; });
    for (std::size_t i = 1; i < focusable.size(); ++i) {
        QWidget::setTabOrder(control(focusable[i - 1]->name), control(focusable[i]->name));
    }
}

void Form1::connectHandlers() {
    const auto onClick = [this](std::string_view name, void (Form1::*handler)()) {
        connect(controlAs<QPushButton>(name), &QPushButton::clicked, this,
                [this, handler] { (this->*handler)(); });
    };
    onClick(ctl::CStop, &Form1::CStop_Click);
    onClick(ctl::Command3, &Form1::Command3_Click);
    onClick(ctl::Command2, &Form1::Command2_Click);
    onClick(ctl::Command4, &Form1::Command4_Click);
    // Frame1 stays disabled, so this button cannot be clicked; the handler
    // is wired all the same.
    onClick(ctl::Command1, &Form1::Command1_Click);
    onClick(ctl::Command5, &Form1::Command5_Click);
    onClick(ctl::CSaveConfig, &Form1::CSaveConfig_Click);
}

// Keeps the selected entry selected; an entry that was only current (the
// list got the focus) stays unselected, so Load Config. never takes it.
void Form1::refreshFileList() {
    auto* list = controlAs<QListWidget>(ctl::File1);
    const auto selectedBefore = list->selectedItems();
    const QString selected = selectedBefore.isEmpty() ? QString() : selectedBefore.front()->text();
    list->clear();
    list->addItems(configFileNames());
    const auto again = list->findItems(selected, Qt::MatchExactly);
    if (!selected.isEmpty() && !again.isEmpty())
        list->setCurrentItem(again.front());
}

void Form1::Form_Load() {
    state_.IndiceMatrice1 = 1000;
    state_.IndiceMatrice2 = 10000;
}

void Form1::CStop_Click() {
    stopFlag_ = true;
}

void Form1::Command3_Click() {
    showRunSoFar();
    ops_->setText(ctl::TLog, QString());
}

// A run holds the click until it ends; the flag lets closeEvent know that
// one is under way, and keeps a second one from starting inside it. The
// double and Girotondo runs compute on a thread of their own meanwhile, the
// window drawing and taking clicks; the decimal run, which never lets the
// window's events in, keeps the window's thread.
template <class Run>
void Form1::runAlone() {
    if (running_)
        return;
    running_ = true;
    runStarted();
    RunOutcome outcome = RunOutcome::Completed;
    if constexpr (std::is_same_v<Run, PrecisionRun>) {
        Run run(*ops_, state_, numbers_,
                filePlaces(programDirectory(), hooks_.buildDirectory).logPath);
        outcome = run.run();
    } else {
        // The boxes as typed when the run starts, for Save Results….
        RunStart start{typedBoxes(*ops_)};
        outcome = runOnItsThread<Run>(start);
        lastRunStart_ = std::move(start);
    }
    running_ = false;
    lastRunDecimal_ = std::is_same_v<Run, PrecisionRun>;
    runEnded(outcome);
}

template <class Run>
RunOutcome Form1::runOnItsThread(RunStart& start) {
    RunThread thread(*ops_);
    thread.pumped = [this] { atPumpPoint(); };
    const FilePlaces places = filePlaces(programDirectory(), hooks_.buildDirectory);
    Run run(thread, state_, numbers_, places.logPath);
    run.setExport([this, &thread, places] {
        save_file_excel(thread, state_, numbers_, places.excelPath, places.excelDetail);
    });
    // The envelope of every Girotondo level costs a pass over the rows for
    // every three levels, so it is kept only when asked for, as
    // velarion-batch's --envelope does; the double run's follows from psi.
    if constexpr (requires { run.setEnvelope(true); }) {
        run.setEnvelope(keepGirotondoEnvelope_);
    }
    runThread_ = &thread;
    RunOutcome outcome = RunOutcome::Completed;
    thread.run([&] { outcome = run.run(); });
    runThread_ = nullptr;
    start.threads = run.threads();
    runDeferred();
    return outcome;
}

// What the last run left is no longer news; the results window's charts
// wait for the run's end, and a saved run it showed gives way to it.
void Form1::runStarted() {
    lastRunNote_.clear();
    showRunNote();
    if (results_) {
        results_->clearInstabilityNotice();
        results_->showRunInPsi();
        results_->setRunUnderWay(true);
    }
}

void Form1::runEnded(RunOutcome outcome) {
    noteRunOutcome(outcome);
    if (results_) {
        results_->setRunUnderWay(false);
        results_->setAfterDecimalRun(lastRunDecimal_);
        results_->refresh();
    }
}

void Form1::whenRunWaits(std::function<void()> action) {
    if (runThread_ && !runThread_->isWaiting()) {
        deferred_.push_back(std::move(action));
        return;
    }
    action();
}

void Form1::runDeferred() {
    const auto actions = std::exchange(deferred_, {});
    for (const auto& action : actions) {
        action();
    }
}

// What the window did when a run let its events in: the clicks that came
// meanwhile, then an open results window follows the run.
void Form1::atPumpPoint() {
    runDeferred();
    if (hooks_.pumped) {
        hooks_.pumped();
    }
    if (running_ && results_) {
        results_->refreshDuringRun();
    }
}

void Form1::showRunSoFar() {
    if (runThread_) {
        runThread_->showPending();
    }
}

void Form1::Command2_Click() {
    runAlone<DoubleRun>();
}

void Form1::Command4_Click() {
    runAlone<GirotondoRun>();
}

// Never lets window events in while it works, so nothing else can happen
// until it ends.
void Form1::Command1_Click() {
    runAlone<PrecisionRun>();
    // The run ends without a repaint that would show the last level in TJ.
    ops_->flushCounters();
}

// The selected entry, not the current one: tabbing into the list makes an
// entry current without selecting it, and that one the user never chose.
void Form1::Command5_Click() {
    showRunSoFar();
    const auto selected = controlAs<QListWidget>(ctl::File1)->selectedItems();
    Command5(*ops_, selected.isEmpty() ? QString() : selected.front()->text());
}

void Form1::CSaveConfig_Click() {
    showRunSoFar();
    CSaveConfig(*ops_, [this] { refreshFileList(); });
}

// The rows of psi hold still only between runs or at a run's pump point.
void Form1::mnuExportCsv_Click() {
    whenRunWaits([this] { exportCsv(); });
}

void Form1::exportCsv() {
    // The run the results window shows: a saved one while it shows one.
    const FormState& shown = results_ ? results_->shownRun() : state_;
    if (!shown.psiRows) {
        ops_->messageBox({QStringLiteral("No run has left rows in psi yet."),
                          QStringLiteral("Export CSV"), MessageIcon::Information,
                          MessageButtons::Ok, QString()});
        return;
    }
    const QString segments = defaultSegmentList(shown.psiRows->lastSegment);
    const auto choice =
        hooks_.askCsvChoice ? hooks_.askCsvChoice(segments) : askCsvChoice(this, segments);
    if (choice) {
        exportPsiCsv(*ops_, shown, *choice);
    }
}

void Form1::mnuResults_Click() {
    whenRunWaits([this] { showResults(); });
}

ResultsWindow& Form1::showResults() {
    if (!results_) {
        results_ = new ResultsWindow(state_, numbers_.locale(), this);
        results_->setRunUnderWay(running_);
        placeResults();
    }
    results_->setAfterDecimalRun(lastRunDecimal_);
    results_->refresh();
    results_->show();
    results_->raise();
    return *results_;
}

void Form1::mnuSaveResults_Click() {
    const QString title = QStringLiteral("Save Results");
    if (refusedWhileRunning(title)) {
        return;
    }
    if (!state_.psiRows) {
        ops_->messageBox({QStringLiteral("No run has left rows in psi yet."), title,
                          MessageIcon::Information, MessageButtons::Ok, QString()});
        return;
    }
    const QString path = askedResultsPath(ResultsDialog::Save);
    if (path.isEmpty()) {
        return;
    }
    QString error;
    // Written at once, no run under way: the record can read psi where it lies.
    const std::optional<RunRecord> record = recordOfLastRun(state_, lastRunStart_);
    if (record && writeResultsFile(*record, path, error)) {
        return;
    }
    ops_->messageBox({QStringLiteral("The results file was not written."), title,
                      MessageIcon::Exclamation, MessageButtons::Ok, error});
}

QString Form1::askedResultsPath(ResultsDialog dialog) {
    return hooks_.askResultsPath ? hooks_.askResultsPath(dialog) : askResultsPath(this, dialog);
}

std::optional<SavedRun> Form1::readSavedRunAsked(ResultsDialog dialog, const QString& title) {
    const QString path = askedResultsPath(dialog);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    QString error;
    std::optional<SavedRun> run = readSavedRun(path, error);
    if (!run) {
        ops_->messageBox({QStringLiteral("The results file was not opened."), title,
                          MessageIcon::Exclamation, MessageButtons::Ok, error});
    }
    return run;
}

// A run under way owns psi and the results window: the results file is
// saved or opened between runs.
bool Form1::refusedWhileRunning(const QString& title) {
    if (!running_) {
        return false;
    }
    ops_->messageBox({QStringLiteral("A run is under way."), title, MessageIcon::Information,
                      MessageButtons::Ok, QString()});
    return true;
}

void Form1::mnuOpenResults_Click() {
    const QString title = QStringLiteral("Open Results");
    if (refusedWhileRunning(title)) {
        return;
    }
    if (std::optional<SavedRun> run = readSavedRunAsked(ResultsDialog::Open, title)) {
        showResults().showSavedRun(std::move(*run));
    }
}

// The file is read at once; it is drawn over the run where that run waits.
void Form1::mnuCompareWith_Click() {
    std::optional<SavedRun> read =
        readSavedRunAsked(ResultsDialog::Compare, QStringLiteral("Compare With"));
    if (!read) {
        return;
    }
    auto run = std::make_shared<SavedRun>(std::move(*read));
    whenRunWaits([this, run] { showResults().compareWith(std::move(*run)); });
}

void Form1::mnuClearComparison_Click() {
    whenRunWaits([this] {
        if (results_) {
            results_->clearComparison();
        }
    });
}

// STOP and the GO buttons, on the screen.
QRect Form1::runButtons() const {
    QRect buttons;
    for (const auto name : {ctl::CStop, ctl::Command4, ctl::Command2}) {
        const QWidget* w = control(name);
        buttons |= QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
    }
    return buttons;
}

// The results window opens beside or below this one where the screen has
// room, else over the screen's lower part, clear of STOP and the GO buttons.
void Form1::placeResults() {
    const QScreen* screen = this->screen();
    if (screen == nullptr) {
        return;
    }
    // The window manager's frame, as it is around this window.
    const QSize frame = frameGeometry().size() - geometry().size();
    const QRect placed =
        placeBeside(frameGeometry(), runButtons(), results_->size() + frame,
                    ResultsWindow::kLeastSize + frame, screen->availableGeometry());
    results_->resize(placed.size() - frame);
    results_->move(placed.topLeft());
}

// A run under way keeps the choice it started with.
void Form1::mnuGirotondoEnvelope_Toggled(bool keep) {
    keepGirotondoEnvelope_ = keep;
    settings_->setValue(kGirotondoEnvelopeKey, keep);
}

// Checking one last end unchecks the other: only the end that was chosen
// goes back to the seed's.
void Form1::mnuRestoringFreeEnd_Toggled(bool restoring) {
    whenRunWaits([this, restoring] {
        if (restoring || state_.freeEnd == FreeEnd::Restoring) {
            state_.freeEnd = restoring ? FreeEnd::Restoring : FreeEnd::Seed;
            rememberModelChoices(state_, *settings_);
        }
    });
}

void Form1::mnuClosedLastEnd_Toggled(bool closed) {
    whenRunWaits([this, closed] {
        if (closed || state_.freeEnd == FreeEnd::Closed) {
            state_.freeEnd = closed ? FreeEnd::Closed : FreeEnd::Seed;
            rememberModelChoices(state_, *settings_);
        }
    });
}

void Form1::mnuFirstEnd_Triggered(FirstEnd end) {
    whenRunWaits([this, end] {
        state_.hammer.firstEnd = end;
        rememberModelChoices(state_, *settings_);
    });
}

// The dialog shows the choices in force; what it returns reaches a run on
// its thread at the run's next pump point.
void Form1::mnuClosingTimeAndFriction_Click() {
    const auto chosen = hooks_.askClosingTimeAndFriction
                            ? hooks_.askClosingTimeAndFriction(state_.hammer)
                            : askClosingTimeAndFriction(this, state_.hammer, numbers_);
    if (!chosen) {
        return;
    }
    whenRunWaits([this, chosen] {
        state_.hammer.closingTime = chosen->closingTime;
        state_.hammer.friction = chosen->friction;
        rememberModelChoices(state_, *settings_);
    });
    if (auto* closing = findChild<QAction*>(QStringLiteral("closingValve"))) {
        closing->setText(closingValveText(chosen->closingTime, numbers_));
    }
}

void Form1::mnuGuide_Click() {
    const QString path = guidePath(programDirectory());
    if (path.isEmpty()) {
        ops_->messageBox(
            {QStringLiteral("The user's guide was not found."), QStringLiteral("User's guide"),
             MessageIcon::Exclamation, MessageButtons::Ok,
             QStringLiteral("It was looked for as %1.")
                 .arg(guideCandidates(programDirectory()).join(QStringLiteral(" and as ")))});
        return;
    }
    if (!guide_) {
        guide_ = new GuideWindow(path, this);
    }
    guide_->show();
    guide_->raise();
}

void Form1::mnuAbout_Click() {
    ops_->messageBox({aboutText(), QStringLiteral("About Velarion"), MessageIcon::Information,
                      MessageButtons::Ok, aboutDetail(guidePath(programDirectory()))});
}

void Form1::closeEvent(QCloseEvent* event) {
    stopFlag_ = true;
    // The program is this window: its results and its guide go with it.
    if (results_) {
        results_->close();
    }
    if (guide_) {
        guide_->close();
    }
    if (running_) {
        hooks_.terminate();
    }
    event->accept();
}

}  // namespace velarion::window
