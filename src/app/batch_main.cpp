// velarion-batch: runs a simulation without a window.
#include "batch_checks.h"
#include "batch_compare.h"
#include "batch_host.h"
#include "batch_options.h"
#include "batch_outputs.h"
#include "batch_reading.h"
#include "config/config_commands.h"
#include "model/number_text.h"
#include "output/library_versions.h"
#include "output/whole_file.h"
#include "plot_loader.h"
#include "results/excel_export.h"
#include "results/form_record.h"
#include "results/psi_csv.h"
#include "results/result_series.h"
#include "results/results_file.h"
#include "runs/double_run.h"
#include "runs/form_state.h"
#include "runs/girotondo_run.h"
#include "runs/precision_run.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace velarion;

namespace {

int usageError(const QString& message) {
    std::fprintf(stderr, "velarion-batch: %s\nTry 'velarion-batch --help'.\n", qPrintable(message));
    return kExitUsage;
}

bool applyBoxes(BatchHost& host, const QStringList& boxes, QString& error) {
    for (const QString& assignment : boxes) {
        const qsizetype eq = assignment.indexOf('=');
        if (eq <= 0) {
            error = QStringLiteral("--box needs NAME=TEXT, not '%1'").arg(assignment);
            return false;
        }
        if (!host.assign(assignment.left(eq), assignment.mid(eq + 1), error)) {
            return false;
        }
    }
    return true;
}

// What Ttot and TL0 do not say: the time the rows of psi reach (Ttot counts
// a third of it in the Girotondo run) and the column's length, which L0 =
// ltot / 10000 sets whatever the number of segments.
void printExtent(const FormState& form, const NumberText& numbers, std::FILE* out) {
    if (!form.psiRows) {
        return;
    }
    const PsiRows& rows = *form.psiRows;
    std::fprintf(out, "simulated time = %s s (level %lld)\n",
                 qPrintable(numbers.brief(simulatedSeconds(rows))),
                 static_cast<long long>(levelOfRow(rows, rows.lastRow)));
    std::fprintf(out, "column length = %s m (%d pieces of %s m)\n",
                 qPrintable(numbers.brief(columnLength(rows))), rows.lastSegment,
                 qPrintable(numbers.brief(rows.parameters.L0)));
}

void printOutputs(const BatchHost& host, RunKind run, const FormState& form,
                  const NumberText& numbers, std::FILE* out) {
    std::vector<std::string_view> boxes{ctl::TA, ctl::TF, ctl::Ttot, ctl::TB, ctl::TL0, ctl::TJ};
    if (run == RunKind::Girotondo) {
        boxes.push_back(ctl::TK);
    }
    // A run refused before it showed anything leaves them empty.
    for (const auto box : boxes) {
        if (const QString text = host.text(box); !text.isEmpty()) {
            std::fprintf(out, "%.*s = %s\n", static_cast<int>(box.size()), box.data(),
                         qPrintable(text));
        }
    }
    if (run != RunKind::Precision) {
        printExtent(form, numbers, out);
    }
    // The precision run leaves "Working..." or "Error!"; the exit status
    // tells the same.
    if (run != RunKind::Precision) {
        std::fprintf(out, "%s\n", qPrintable(host.status()));
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

// How a run ended, and the threads it shared its levels between.
struct RunEnd {
    RunOutcome outcome = RunOutcome::Failed;
    int threads = 1;
};

// Runs with the export wired in: it writes to the working directory,
// says so in one line and records whether it failed.
template <class Run>
RunEnd runExporting(BatchHost& host, FormState& form, const NumberText& numbers, bool& exportFailed,
                    bool keepEnvelope) {
    Run run(host, form, numbers);
    if constexpr (requires { run.setEnvelope(true); }) {
        run.setEnvelope(keepEnvelope);
    }
    run.setExport([&] {
        const QString path = QString::fromLatin1(kExcelFileName);
        const ExportOutcome outcome = save_file_excel(host, form, numbers, path);
        exportFailed = outcome == ExportOutcome::Failed;
        if (outcome == ExportOutcome::Saved) {
            host.endProgress();
            std::fprintf(stderr, "velarion-batch: %s saved in %s\n", qPrintable(path),
                         qPrintable(QFileInfo(path).absolutePath()));
        }
    });
    const RunOutcome outcome = run.run();
    return {outcome, run.threads()};
}

// The Girotondo run keeps its envelope only for the files that need it.
bool needsEnvelope(const BatchOptions& options) {
    if (!options.envelope.empty() || !options.results.empty()) {
        return true;
    }
    for (const OutputFile& file : options.plot) {
        if (options.pageOf(file) == PlotPage::Envelope) {
            return true;
        }
    }
    return false;
}

RunEnd runSimulation(BatchHost& host, const BatchOptions& options, FormState& form,
                     const NumberText& numbers, bool& exportFailed) {
    form.freeEnd = options.freeEnd;
    form.hammer = options.hammer;
    form.threads = options.threads;
    const bool envelope = needsEnvelope(options);
    switch (options.run) {
        case RunKind::Girotondo:
            return runExporting<GirotondoRun>(host, form, numbers, exportFailed, envelope);
        case RunKind::Precision: {
            PrecisionRun run(host, form, numbers);
            const RunOutcome outcome = run.run();
            return {outcome, run.threads()};
        }
        case RunKind::Double:
            break;
    }
    return runExporting<DoubleRun>(host, form, numbers, exportFailed, envelope);
}

// An argument as a shell reads it back: quoted unless it is plain.
QString shellWord(const QString& word) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./=:,+@%-]+$"));
    if (plain.match(word).hasMatch()) {
        return word;
    }
    QString quoted = word;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

RunProvenance provenanceOf(const BatchOptions& options, int threads) {
    QStringList words;
    for (const QString& argument : options.arguments) {
        words << shellWord(argument);
    }
    return provenanceNow(QStringLiteral("velarion-batch"), threads, words.join(QLatin1Char(' ')));
}

// What the run left, as the files after it take it: psi where it lies,
// or the decimal run's texts; with the boxes as typed at its start.
std::optional<RunRecord> recordOfRun(const BatchHost& host, const BatchOptions& options,
                                     const FormState& form, const NumberText& numbers,
                                     const RunEnd& end) {
    std::optional<RunRecord> record = options.run == RunKind::Precision
                                          ? recordOfDecimalRun(form, host, numbers)
                                          : recordViewOfForm(form);
    if (record) {
        record->outcome = end.outcome;
        if (end.outcome == RunOutcome::Failed && host.lastError()) {
            record->message = failureOf(*host.lastError());
        }
        record->provenance = provenanceOf(options, end.threads);
    }
    return record;
}

int simulate(BatchHost& host, const BatchOptions& options) {
    // The precision run never polls a stop, so Ctrl-C keeps its default
    // action there and ends the program at once.
    if (options.run != RunKind::Precision) {
        BatchHost::handleInterrupts();
    }
    const NumberText numbers(options.locale);
    host.acceptQuestion(QString::fromLatin1(kExcelQuestion));
    host.silenceMessage(QString::fromLatin1(kExcelSaved));
    bool exportFailed = false;
    FormState form;
    const auto typed = typedBoxes(host);
    BatchHost::setRunUnderWay(true);
    const RunEnd end = runSimulation(host, options, form, numbers, exportFailed);
    BatchHost::setRunUnderWay(false);
    host.endProgress();
    printOutputs(host, options.run, form, numbers, isStdoutTaken(options) ? stderr : stdout);
    bool resultsWritten = true;
    if (hasResults(options)) {
        std::optional<RunRecord> record = recordOfRun(host, options, form, numbers, end);
        if (record) {
            record->boxes = typed;
        }
        resultsWritten = writeResults(record ? &*record : nullptr, &form, options);
    }
    const bool unstable = options.run != RunKind::Precision &&
                          warnIfUnstable(form, numbers, end.outcome == RunOutcome::Failed);
    const int status = exitStatus(end.outcome);
    if (status == 0 && options.compareDouble) {
        if (const int compared = printDoubleComparison(host, form, numbers); compared != 0) {
            return compared;
        }
    }
    if (status == 0 && options.verify) {
        if (const int verified = printVerification(form, numbers); verified != 0) {
            return verified;
        }
    }
    if (status == 0 && (exportFailed || !resultsWritten)) {
        return kExitOutputFailed;
    }
    return status == 0 && unstable && options.strict ? kExitUnstable : status;
}

// Qt's own messages go to stderr under the program's name, as every other
// line there. One is left out: while it picks its platform, Qt looks for a
// Wayland socket in XDG_RUNTIME_DIR and warns when that is not set, as under
// cron or sudo; the offscreen platform of --plot needs no socket.
void printQtMessage(QtMsgType, const QMessageLogContext&, const QString& message) {
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) {
        return;
    }
    std::fprintf(stderr, "velarion-batch: %s\n", qPrintable(message));
}

// Charts need QtWidgets, so --plot loads the chart module, which makes the
// application a QApplication. A plot is drawn offscreen whatever the
// display: the picture is the same with or without one, and the program
// never opens a window. Null, with the reason on stderr, when the module
// cannot be loaded.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--plot" || arg.starts_with("--plot=")) {
            std::string error;
            const PlotModule* plot = loadPlotModule(error);
            if (plot == nullptr) {
                std::fprintf(stderr, "velarion-batch: --plot: %s\n", error.c_str());
                return nullptr;
            }
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
                qputenv("QT_QPA_PLATFORM", "offscreen");
            }
            return std::unique_ptr<QCoreApplication>(plot->makeApplication(argc, argv));
        }
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

// Each -C is taken in the directory of the one before, as make does.
bool enterDirectories(const QStringList& directories) {
    for (const QString& directory : directories) {
        if (::chdir(QFile::encodeName(directory).constData()) != 0) {
            std::fprintf(stderr, "velarion-batch: cannot change into %s: %s\n",
                         qPrintable(directory), std::strerror(errno));
            return false;
        }
    }
    return true;
}

// An input that is a directory would reach Qt's own words; an output that
// cannot be written whatever the run does, or that another output writes
// too, is refused before anything runs.
QString inputProblem(const BatchOptions& options) {
    if (options.config && QFileInfo(*options.config).isDir()) {
        return QStringLiteral("--config: %1 is a directory").arg(*options.config);
    }
    return {};
}

QString outputProblem(const BatchHost& host, const BatchOptions& options) {
    if (options.saveConfig) {
        return refusedOutput({{QStringLiteral("--save-config"), *options.saveConfig}});
    }
    const auto outputs =
        plannedOutputs(options, host.isTicked(ctl::CLogFile), host.isTicked(ctl::CLogFileExc));
    const QString clash = collidingOutputs(outputs);
    return clash.isEmpty() ? refusedOutput(outputs) : clash;
}

// What can be known before the run: the boxes read (with --check-boxes),
// the segments of --csv-segments exist, every output can be written.
bool checkBeforeRun(BatchHost& host, const BatchOptions& options, QString& error) {
    const NumberText numbers(options.locale);
    if (options.checkBoxes && !checkBoxesRead(host, numbers, options.run, options.hammer, error)) {
        return false;
    }
    if (!checkCsvSegments(options, host, numbers, error)) {
        return false;
    }
    error = outputProblem(host, options);
    return error.isEmpty();
}

// `status`; the application's destructor would wait for ever for a drawing
// thread that never started, so then the process ends here.
int finishPlotting(int status) {
    if (const PlotModule* plot = loadedPlotModule(); plot != nullptr && plot->threadsStuck()) {
        std::fflush(stderr);
        _exit(status);
    }
    return status;
}

// --from: the files of a saved run, without a run.
int writeSavedRun(const BatchOptions& options) {
    const auto outputs = plannedOutputs(options, false, false);
    if (QString problem = collidingOutputs(outputs); !problem.isEmpty()) {
        return usageError(problem);
    }
    if (const QString problem = refusedOutput(outputs); !problem.isEmpty()) {
        return usageError(problem);
    }
    QString error;
    const std::optional<RunRecord> record = readResultsFile(*options.from, error);
    if (!record) {
        error.chop(error.endsWith(QLatin1Char('.')) ? 1 : 0);
        std::fprintf(stderr, "velarion-batch: --from: %s\n", qPrintable(error));
        return kExitResultsNotRead;
    }
    if (const QStringList refused = outputsOfRows(options);
        record->run == RunKind::Precision && !refused.isEmpty()) {
        return usageError(
            QStringLiteral("%1: %2 holds a precision run, which leaves no rows in psi")
                .arg(listed(refused), *options.from));
    }
    if (!options.csvSegments.isEmpty() &&
        !parseSegmentList(options.csvSegments, record->lastSegment, error)) {
        error.chop(error.endsWith(QLatin1Char('.')) ? 1 : 0);
        return usageError(QStringLiteral("--csv-segments: %1").arg(error));
    }
    // The charts draw from the window's state, a copy of the rows.
    const std::optional<FormState> form =
        options.plot.empty() ? std::nullopt : formOfRecord(*record);
    return writeResults(&*record, form ? &*form : nullptr, options) ? 0 : kExitOutputFailed;
}

}  // namespace

int main(int argc, char** argv) {
    guardTemporaryFiles();
    qInstallMessageHandler(printQtMessage);
    const auto app = makeApplication(argc, argv);
    if (!app) {
        return kExitOutputFailed;
    }
    QCoreApplication::setApplicationName("velarion-batch");
    BatchOptions options;
    QString error;
    if (!parseBatchOptions(app->arguments(), options, error)) {
        return usageError(error);
    }
    if (options.help) {
        std::fputs(qPrintable(*options.help), stdout);
        return finish(0);
    }
    if (options.version) {
        std::printf("velarion-batch %s\n", qPrintable(velarionVersion()));
        return finish(0);
    }
    if (!enterDirectories(options.directories)) {
        return kExitNoDirectory;
    }
    if (const QString problem = inputProblem(options); !problem.isEmpty()) {
        return usageError(problem);
    }
    QLocale::setDefault(options.locale);
    if (options.from) {
        return finishPlotting(finish(writeSavedRun(options)));
    }
    BatchHost host(options.locale);
    host.setTones(options.tones);
    host.setPlainProgress(options.progress);
    if (options.config && !LoadConfig(host, *options.config)) {
        return kExitConfigNotLoaded;
    }
    if (!applyBoxes(host, options.boxes, error) || !checkBeforeRun(host, options, error)) {
        return usageError(error);
    }
    if (options.saveConfig) {
        return finish(SaveConfig(host, *options.saveConfig) ? 0 : kExitConfigNotSaved);
    }
    if (options.checkBoxes) {
        return finish(0);
    }
    if (options.run == RunKind::Precision && host.isTicked(ctl::CLogFileExc)) {
        std::fputs(
            "velarion-batch: CLogFileExc is ignored: the precision run never writes "
            "LogFile.xls\n",
            stderr);
    }
    if (const int refused = checkTimeStep(options, host, NumberText(options.locale));
        refused != 0) {
        return finish(refused);
    }
    return finishPlotting(finish(simulate(host, options)));
}
