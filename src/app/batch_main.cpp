// velarion-batch: runs a simulation without a window.
#include "batch_host.h"
#include "config/config_commands.h"
#include "engine/double_run.h"
#include "engine/form_state.h"
#include "engine/girotondo_run.h"
#include "engine/number_text.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLocale>

#include <cstdio>
#include <optional>
#include <vector>

using namespace velarion;

namespace {

constexpr int kExitStopped = 1;
constexpr int kExitFailed = 2;
constexpr int kExitUsage = 64;
constexpr int kExitConfigNotLoaded = 66;
constexpr int kExitConfigNotSaved = 73;

const char* const kDescription =
    "Runs a simulation of the fluid column on the window's initial box texts,\n"
    "prints the output boxes TA, TF, Ttot, TB, TL0, TJ (and TK for Girotondo)\n"
    "and the final status line, and writes LogFile.txt in the working directory\n"
    "when CLogFile is ticked (as it is by default).\n"
    "\n"
    "--run double (the default) is the run of \"GO (double)!\": every level in\n"
    "its own row of psi. --run girotondo is the run of \"GO Girotondo!\": three\n"
    "rotating rows, with a snapshot in psi every 3*N levels.\n"
    "\n"
    "Numbers follow the user's locale (or --locale). A progress bar with J (and\n"
    "K) is drawn on stderr when it is a terminal; Ctrl-C acts as STOP at the\n"
    "next pump point (every 100 levels, or every 10 Girotondo snapshots).\n"
    "\n"
    "--config loads a .cnf file into the eleven parameter boxes first, as the\n"
    "window's Load Config. does; --box settings are applied after it. With\n"
    "--save-config the box texts (after --config and --box) are written to a\n"
    ".cnf file and the program exits without running the simulation, so a\n"
    "sweep script writes its files first and runs each with --config.\n"
    "\n"
    "Exit status: 0 after a completed run, 1 after a stop, 2 after a failure\n"
    "(the message goes to stderr), 64 for a bad command line, 66 when the\n"
    "--config file cannot be loaded, 73 when the --save-config file cannot be\n"
    "written (the message goes to stderr; no run starts).\n"
    "\n"
    "No one hears a batch run, so it plays no tones and skips the waits between\n"
    "them (the Girotondo run's start and end tones); --beep keeps them, as\n"
    "silent waits of the tones' length.";

struct Options {
    QLocale locale;
    QStringList boxes;
    std::optional<QString> config;
    std::optional<QString> saveConfig;
    bool girotondo = false;
    bool tones = false;
};

int usageError(const QString& message) {
    std::fprintf(stderr, "velarion-batch: %s\nTry 'velarion-batch --help'.\n", qPrintable(message));
    return kExitUsage;
}

bool parse(QCoreApplication& app, Options& options, QString& error) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addOption({"box",
                      "Sets a box or check box by its control name before the run, e.g. "
                      "--box TP=1 or --box CLogFile=0. May be repeated.",
                      "NAME=TEXT"});
    parser.addOption({"run", "Which run: double (the default) or girotondo.", "RUN", "double"});
    parser.addOption({"locale", "Uses the number rules of this locale, e.g. it_IT.", "NAME"});
    parser.addOption(
        {"config", "Loads the parameter boxes from this .cnf file before --box.", "FILE"});
    parser.addOption({"save-config",
                      "Writes the parameter boxes to this .cnf file and exits without a run.",
                      "FILE"});
    parser.addOption({"beep", "Keeps the tones and the waits between them, as the window has."});
    if (!parser.parse(app.arguments())) {
        error = parser.errorText();
        return false;
    }
    if (parser.isSet("help")) {
        parser.showHelp(0);
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
    if (run != "double" && run != "girotondo") {
        error = QStringLiteral("unknown run '%1' (double or girotondo)").arg(run);
        return false;
    }
    options.girotondo = run == "girotondo";
    options.tones = parser.isSet("beep");
    options.boxes = parser.values("box");
    if (parser.isSet("config")) {
        options.config = parser.value("config");
    }
    if (parser.isSet("save-config")) {
        options.saveConfig = parser.value("save-config");
    }
    return true;
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

void printOutputs(const BatchHost& host, bool girotondo) {
    std::vector<std::string_view> boxes{ctl::TA, ctl::TF, ctl::Ttot, ctl::TB, ctl::TL0, ctl::TJ};
    if (girotondo) {
        boxes.push_back(ctl::TK);
    }
    for (const auto box : boxes) {
        std::printf("%.*s = %s\n", static_cast<int>(box.size()), box.data(),
                    qPrintable(host.text(box)));
    }
    std::printf("%s\n", qPrintable(host.status()));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("velarion-batch");
    Options options;
    QString error;
    if (!parse(app, options, error)) {
        return usageError(error);
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
        return SaveConfig(host, *options.saveConfig) ? 0 : kExitConfigNotSaved;
    }
    BatchHost::handleInterrupts();

    const NumberText numbers(options.locale);
    FormState form;
    const RunOutcome outcome = options.girotondo ? GirotondoRun(host, form, numbers).run()
                                                 : DoubleRun(host, form, numbers).run();
    host.endProgress();
    printOutputs(host, options.girotondo);
    switch (outcome) {
        case RunOutcome::Completed:
            return 0;
        case RunOutcome::Stopped:
            std::fprintf(stderr, "velarion-batch: the run was stopped\n");
            return kExitStopped;
        case RunOutcome::Failed:
            break;
    }
    return kExitFailed;
}
