// velarion-batch: runs a simulation without a window.
#include "batch_compare.h"
#include "batch_host.h"
#include "config/config_commands.h"
#include "engine/double_run.h"
#include "engine/excel_export.h"
#include "engine/form_state.h"
#include "engine/girotondo_run.h"
#include "engine/number_text.h"
#include "engine/precision_run.h"
#include "engine/psi_csv.h"
#include "plot_file.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QLocale>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

using namespace velarion;

namespace {

constexpr int kExitStopped = 1;
constexpr int kExitFailed = 2;
constexpr int kExitUsage = 64;
constexpr int kExitConfigNotLoaded = 66;
constexpr int kExitNoDirectory = 66;
constexpr int kExitConfigNotSaved = 73;
constexpr int kExitOutputFailed = 74;

const char* const kDescription =
    "Runs a simulation of the fluid column on the window's initial box texts,\n"
    "prints the output boxes TA, TF, Ttot, TB, TL0, TJ (and TK for Girotondo)\n"
    "and the final status line, and writes LogFile.txt in the working directory\n"
    "when CLogFile is ticked (as it is by default). With --box CLogFileExc=1 a\n"
    "completed run (and a Girotondo run that failed midway, as in the window)\n"
    "also writes the spreadsheet LogFile.xls (psi(i,0) and psi(i,IndiceMatrice2)\n"
    "for i = 1 .. Tnitertemp) in the working directory, replacing an existing\n"
    "one. All outputs live in the working directory, so runs started in\n"
    "separate directories never collide.\n"
    "\n"
    "--run double (the default) is the run of \"GO (double)!\": every level in\n"
    "its own row of psi. --run girotondo is the run of \"GO Girotondo!\": three\n"
    "rotating rows, with a snapshot in psi every 3*N levels. --run precision\n"
    "is the run of \"GO (MathPrecision)!\": every operation in decimal\n"
    "arithmetic of at least 50 digits; it prints each log line (the lines the\n"
    "window appends to TLog) on stdout as it comes, then the output boxes\n"
    "without the status line. It cannot be stopped: Ctrl-C ends the program at\n"
    "once, leaving every record of LogFile.txt whole.\n"
    "\n"
    "Numbers follow the user's locale (or --locale). A progress bar with J (and\n"
    "K) is drawn on stderr when it is a terminal; in the double and girotondo\n"
    "runs Ctrl-C acts as STOP at the next pump point (every 100 levels, or\n"
    "every 10 Girotondo snapshots), and Ctrl-C again ends the program at once\n"
    "with status 130; every record already in LogFile.txt is whole.\n"
    "\n"
    "--config loads a .cnf file into the eleven parameter boxes first, as the\n"
    "window's Load Config. does; --box settings are applied after it. With\n"
    "--save-config the box texts (after --config and --box) are written to a\n"
    ".cnf file and the program exits without running the simulation, so a\n"
    "sweep script writes its files first and runs each with --config. A blank\n"
    "--save-config name is refused.\n"
    "\n"
    "-C DIR changes into DIR before anything else, as make, git and tar do:\n"
    "every relative path on the command line, and every file the run writes,\n"
    "is then taken in DIR.\n"
    "\n"
    "After the run (also a stopped or failed one that left rows in psi):\n"
    "--csv writes each stored row of psi as CSV (RFC 4180): its index, its time\n"
    "in seconds and the segments of --csv-segments (default: the first and the\n"
    "last), every number with the decimal point and 17 significant digits.\n"
    "--plot renders the results window's three charts offscreen into a PNG or\n"
    "an SVG (by the extension), the profile at the last stored row.\n"
    "\n"
    "Exit status: 0 after a completed run, 1 after a stop (also a run that a\n"
    "Ctrl-C came too late to stop: it is never reported as completed), 2 after\n"
    "a failure (the message goes to stderr), 64 for a bad command line, 66 when\n"
    "the --config file cannot be loaded or the -C directory cannot be entered,\n"
    "73 when the --save-config name is blank or its file cannot be written (the\n"
    "message goes to stderr; no run starts), 74 when the run completed but\n"
    "LogFile.xls, the --csv file or the --plot file could not be written (the\n"
    "message and its reason go to stderr; an existing file is left as it was)\n"
    "or when the output cannot be written to stdout (this one wins over the\n"
    "others), 130 after a second Ctrl-C.\n"
    "\n"
    "No one hears a batch run, so it plays no tones and skips the waits between\n"
    "them (the Girotondo run's start and end tones); --beep keeps them, as\n"
    "silent waits of the tones' length.";

enum class BatchRun { Double, Girotondo, Precision };

struct Options {
    std::optional<QString> help;
    QLocale locale;
    QStringList boxes;
    std::optional<QString> config;
    std::optional<QString> saveConfig;
    BatchRun run = BatchRun::Double;
    bool compareDouble = false;
    bool tones = false;
    std::optional<QString> directory;
    std::optional<QString> csv;
    QString csvSegments;
    std::optional<QString> plot;
};

int usageError(const QString& message) {
    std::fprintf(stderr, "velarion-batch: %s\nTry 'velarion-batch --help'.\n", qPrintable(message));
    return kExitUsage;
}

bool parseOutputs(const QCommandLineParser& parser, Options& options, QString& error) {
    if (parser.isSet("C")) {
        options.directory = parser.value("C");
    }
    if (parser.isSet("csv")) {
        options.csv = parser.value("csv");
    }
    options.csvSegments = parser.value("csv-segments");
    // The segment range is known after the run; the list's form is checked now.
    QString why;
    if (!options.csvSegments.isEmpty() &&
        !parseSegmentList(options.csvSegments, std::numeric_limits<int>::max(), why)) {
        error = QStringLiteral("--csv-segments: %1").arg(why);
        return false;
    }
    if (parser.isSet("plot")) {
        options.plot = parser.value("plot");
        if (!isPlotFileName(*options.plot)) {
            error = QStringLiteral("--plot needs a file ending in .png or .svg, not '%1'")
                        .arg(*options.plot);
            return false;
        }
    }
    if (options.run == BatchRun::Precision && (options.csv || options.plot)) {
        error = QStringLiteral(
            "--csv and --plot go with the double and girotondo runs: the "
            "precision run leaves no rows in psi");
        return false;
    }
    return true;
}

bool parse(QCoreApplication& app, Options& options, QString& error) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addOption({"box",
                      "Sets a box or check box by its control name before the run, e.g. "
                      "--box TP=1 or --box CLogFile=0. May be repeated.",
                      "NAME=TEXT"});
    parser.addOption(
        {"run", "Which run: double (the default), girotondo or precision.", "RUN", "double"});
    parser.addOption({"compare-double",
                      "With --run precision: also runs the double-precision model on the same "
                      "boxes and prints, per level, the largest absolute and relative difference "
                      "between the decimal and the double positions, then the worst."});
    parser.addOption({"locale", "Uses the number rules of this locale, e.g. it_IT.", "NAME"});
    parser.addOption(
        {"config", "Loads the parameter boxes from this .cnf file before --box.", "FILE"});
    parser.addOption({"save-config",
                      "Writes the parameter boxes to this .cnf file and exits without a run.",
                      "FILE"});
    parser.addOption({"beep", "Keeps the tones and the waits between them, as the window has."});
    parser.addOption({"C", "Changes into DIR before anything else.", "DIR"});
    parser.addOption({"csv", "Writes psi's stored rows to this CSV file after the run.", "FILE"});
    parser.addOption({"csv-segments",
                      "The segments --csv writes, separated by commas (default: the first "
                      "and the last).",
                      "LIST"});
    parser.addOption(
        {"plot", "Renders the result charts to this .png or .svg file after the run.", "FILE"});
    if (!parser.parse(app.arguments())) {
        error = parser.errorText();
        return false;
    }
    // parse() leaves --help-all to the caller, like --help: neither may run.
    if (parser.isSet("help") || parser.isSet("help-all")) {
        options.help = parser.helpText();
        return true;
    }
    if (!parser.positionalArguments().isEmpty()) {
        error =
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().front());
        return false;
    }
    if (parser.isSet("locale")) {
        options.locale = QLocale(parser.value("locale"));
        if (options.locale == QLocale::c() && parser.value("locale") != "C") {
            error = QStringLiteral("unknown locale '%1'").arg(parser.value("locale"));
            return false;
        }
    }
    const QString run = parser.value("run");
    if (run == "girotondo") {
        options.run = BatchRun::Girotondo;
    } else if (run == "precision") {
        options.run = BatchRun::Precision;
    } else if (run != "double") {
        error = QStringLiteral("unknown run '%1' (double, girotondo or precision)").arg(run);
        return false;
    }
    options.compareDouble = parser.isSet("compare-double");
    if (options.compareDouble && options.run != BatchRun::Precision) {
        error = QStringLiteral("--compare-double goes with --run precision");
        return false;
    }
    options.tones = parser.isSet("beep");
    options.boxes = parser.values("box");
    if (parser.isSet("config")) {
        options.config = parser.value("config");
    }
    if (parser.isSet("save-config")) {
        options.saveConfig = parser.value("save-config");
    }
    return parseOutputs(parser, options, error);
}

bool applyBoxes(BatchHost& host, const QStringList& boxes, QString& error) {
    for (const QString& assignment : boxes) {
        const qsizetype eq = assignment.indexOf('=');
        if (eq <= 0) {
            error = QStringLiteral("--box needs NAME=TEXT, not '%1'").arg(assignment);
            return false;
        }
        if (!host.assign(assignment.left(eq), assignment.mid(eq + 1))) {
            error =
                QStringLiteral("there is no box or check box named '%1'").arg(assignment.left(eq));
            return false;
        }
    }
    return true;
}

void printOutputs(const BatchHost& host, BatchRun run) {
    std::vector<std::string_view> boxes{ctl::TA, ctl::TF, ctl::Ttot, ctl::TB, ctl::TL0, ctl::TJ};
    if (run == BatchRun::Girotondo) {
        boxes.push_back(ctl::TK);
    }
    for (const auto box : boxes) {
        std::printf("%.*s = %s\n", static_cast<int>(box.size()), box.data(),
                    qPrintable(host.text(box)));
    }
    // The precision run leaves "Working..." or "Error!"; the exit status
    // tells the same.
    if (run != BatchRun::Precision) {
        std::printf("%s\n", qPrintable(host.status()));
    }
}

// `status`, or kExitOutputFailed when stdout did not take all that was
// printed (a full disk, /dev/full): a script must not take a cut result
// for a whole one.
int finish(int status) {
    errno = 0;
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) {
        return status;
    }
    const int error = errno;
    std::fprintf(stderr, "velarion-batch: the output could not be written to stdout%s%s\n",
                 error != 0 ? ": " : "", error != 0 ? std::strerror(error) : "");
    return kExitOutputFailed;
}

// The window does nothing for a blank name; a batch has no one to see that
// nothing happened, so it says so.
int saveOnly(BatchHost& host, const QString& name) {
    if (name.trimmed().isEmpty()) {
        std::fprintf(stderr,
                     "velarion-batch: the --save-config name is blank; nothing was "
                     "written.\n");
        return kExitConfigNotSaved;
    }
    return SaveConfig(host, name) ? 0 : kExitConfigNotSaved;
}

int exitStatus(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::Completed:
            if (!BatchHost::processInterrupted()) {
                return 0;
            }
            std::fprintf(stderr,
                         "velarion-batch: interrupted, but the run came to its end before a "
                         "pump point could stop it\n");
            return kExitStopped;
        case RunOutcome::Stopped:
            std::fprintf(stderr, "velarion-batch: the run was stopped\n");
            return kExitStopped;
        case RunOutcome::Failed:
            break;
    }
    return kExitFailed;
}

// Runs with the export wired in: it writes to the working directory and
// records whether it failed.
template <class Run>
RunOutcome runExporting(BatchHost& host, FormState& form, const NumberText& numbers,
                        bool& exportFailed) {
    Run run(host, form, numbers);
    run.setExport([&] {
        exportFailed = save_file_excel(host, form, numbers, QString::fromLatin1(kExcelFileName)) ==
                       ExportOutcome::Failed;
    });
    return run.run();
}

RunOutcome runSimulation(BatchHost& host, BatchRun run, FormState& form, const NumberText& numbers,
                         bool& exportFailed) {
    switch (run) {
        case BatchRun::Girotondo:
            return runExporting<GirotondoRun>(host, form, numbers, exportFailed);
        case BatchRun::Precision:
            return PrecisionRun(host, form, numbers).run();
        case BatchRun::Double:
            break;
    }
    return runExporting<DoubleRun>(host, form, numbers, exportFailed);
}

bool writeCsv(const FormState& form, const Options& options) {
    QString error;
    if (exportPsiCsv(form, options.csvSegments, *options.csv, error)) {
        return true;
    }
    std::fprintf(stderr, "velarion-batch: --csv: %s\n", qPrintable(error));
    return false;
}

bool writePlot(const FormState& form, const Options& options) {
    QString error;
    if (!form.psiRows) {
        error = QStringLiteral("No run has left rows in psi.");
    } else if (writePlotFile(form, options.locale, *options.plot, error)) {
        return true;
    }
    std::fprintf(stderr, "velarion-batch: --plot: %s\n", qPrintable(error));
    return false;
}

// The files asked for after the run; false when one could not be written.
bool writeResults(const FormState& form, const Options& options) {
    bool written = true;
    if (options.csv) {
        written = writeCsv(form, options) && written;
    }
    if (options.plot) {
        written = writePlot(form, options) && written;
    }
    return written;
}

int simulate(BatchHost& host, const Options& options) {
    // The precision run never polls a stop, so Ctrl-C keeps its default
    // action there and ends the program at once.
    if (options.run != BatchRun::Precision) {
        BatchHost::handleInterrupts();
    }
    const NumberText numbers(options.locale);
    host.acceptQuestion(QString::fromLatin1(kExcelQuestion));
    bool exportFailed = false;
    FormState form;
    const RunOutcome outcome = runSimulation(host, options.run, form, numbers, exportFailed);
    host.endProgress();
    printOutputs(host, options.run);
    const bool resultsWritten = writeResults(form, options);
    const int status = exitStatus(outcome);
    if (status == 0 && options.compareDouble) {
        if (const int compared = printDoubleComparison(host, form, numbers); compared != 0) {
            return compared;
        }
    }
    return status == 0 && (exportFailed || !resultsWritten) ? kExitOutputFailed : status;
}

// Charts need QtWidgets, so --plot makes the application a QApplication. A
// plot is drawn offscreen whatever the display: the picture is the same
// with or without one, and the program never opens a window.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--plot" || arg.starts_with("--plot=")) {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
                qputenv("QT_QPA_PLATFORM", "offscreen");
            }
            return std::make_unique<QApplication>(argc, argv);
        }
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

bool enterDirectory(const QString& directory) {
    if (::chdir(QFile::encodeName(directory).constData()) == 0) {
        return true;
    }
    std::fprintf(stderr, "velarion-batch: cannot change into %s: %s\n", qPrintable(directory),
                 std::strerror(errno));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const auto app = makeApplication(argc, argv);
    QCoreApplication::setApplicationName("velarion-batch");
    Options options;
    QString error;
    if (!parse(*app, options, error)) {
        return usageError(error);
    }
    if (options.help) {
        std::fputs(qPrintable(*options.help), stdout);
        return finish(0);
    }
    if (options.directory && !enterDirectory(*options.directory)) {
        return kExitNoDirectory;
    }
    QLocale::setDefault(options.locale);
    BatchHost host(options.locale);
    host.setTones(options.tones);
    if (options.config && !LoadConfig(host, *options.config)) {
        return kExitConfigNotLoaded;
    }
    if (!applyBoxes(host, options.boxes, error)) {
        return usageError(error);
    }
    if (options.saveConfig) {
        return finish(saveOnly(host, *options.saveConfig));
    }
    return finish(simulate(host, options));
}
