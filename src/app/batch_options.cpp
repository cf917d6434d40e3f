// The command line of velarion-batch.
#include "batch_options.h"

#include "charts/plot_file.h"
#include "model/controls.h"
#include "model/number_text.h"
#include "model/parameter_boxes.h"
#include "runs/run_threads.h"

#include <QCommandLineParser>

#include <cmath>
#include <cstdio>
#include <optional>

namespace velarion {

namespace {

const char* const kDescription =
    "Runs a simulation of the fluid column on the window's initial box texts,\n"
    "prints the output boxes TA, TF, Ttot, TB, TL0, TJ (and TK for Girotondo)\n"
    "and the final status line, and writes its files in the working directory:\n"
    "\n"
    "  LogFile.txt  every run, while CLogFile is ticked (as it is by default)\n"
    "  LogFile.xls  with --box CLogFileExc=1: a completed double or girotondo\n"
    "               run, and a girotondo run that failed midway, as in the\n"
    "               window; never the precision run\n"
    "  --csv FILE   the double and girotondo runs, also a stopped or failed\n"
    "               one that left rows in psi; FILE - is the standard output\n"
    "  --energy FILE, --envelope FILE   the same; - is the standard output\n"
    "  --plot FILE  the same runs, written after the other files\n"
    "\n"
    "Refused before the run: two of them naming the same file (links\n"
    "followed), two on the standard output, and one that can never be written\n"
    "(an empty or blank name, a directory, a symbolic link to nothing, the\n"
    "log's too). A regular file is replaced only by a whole new one, written\n"
    "beside it under a short name of its own and renamed over it; a signal\n"
    "that ends the program (Ctrl-C, SIGTERM, SIGHUP) removes that file first,\n"
    "and a file size limit (ulimit -f) is a write failure, \"File too large\".\n"
    "A symbolic link keeps pointing at its file, and a device, a FIFO or\n"
    "/dev/stdout is written in place. Runs started in separate directories\n"
    "(-C) never share their files.\n"
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
    "Numbers follow --locale, else the user's locale as the C library takes\n"
    "it for numbers (LC_ALL, else LC_NUMERIC, else LANG); a locale name that is\n"
    "not known is refused wherever it comes from, never read as C. A progress\n"
    "bar with J (and K) is drawn on stderr when it is a terminal; in the\n"
    "double and girotondo runs Ctrl-C acts as STOP at the next pump point\n"
    "(every 100 levels, or every 10 Girotondo snapshots), and Ctrl-C again, or\n"
    "one before or after the run, ends the program at once with status 130;\n"
    "every record already in LogFile.txt is whole.\n"
    "\n"
    "--config loads a .cnf file into the eleven parameter boxes first, as the\n"
    "window's Load Config. does; --box settings are applied after it. With\n"
    "--save-config the box texts (after --config and --box) are written to a\n"
    ".cnf file and the program exits without running the simulation, so a\n"
    "sweep script writes its files first and runs each with --config; with\n"
    "--check-boxes they are written only when every box reads. An option that\n"
    "takes one value is given once; --box and -C may be repeated.\n"
    "\n"
    "-C DIR changes into DIR before anything else, as make, git and tar do:\n"
    "every relative path on the command line, and every file the run writes,\n"
    "is then taken in DIR; a further -C is taken in the one before.\n"
    "\n"
    "After the run (also a stopped or failed one that left rows in psi):\n"
    "--csv writes each stored row of psi as CSV (RFC 4180): its index, its time\n"
    "in seconds and the segments of --csv-segments (default: the first and the\n"
    "last), every number with the decimal point and 17 significant digits.\n"
    "--csv-segments goes with --csv. With - for --csv, --energy, --envelope or\n"
    "--save-config the output boxes go to stderr, so the file comes alone;\n"
    "--verify prints its table there too and takes none of them.\n"
    "--plot renders the results window's three charts offscreen into a PNG or\n"
    "an SVG (by the extension), the profile at the last stored row; each line\n"
    "keeps at most four points a pixel column (the first, the lowest, the\n"
    "highest and the last), and a picture that cannot be drawn (no thread can\n"
    "start, too little memory) is a failure to write it.\n"
    "--plot-page profile, envelope or energy draws another tab of the results\n"
    "window instead: the profile at the last stored row alone, the extremes\n"
    "of the displacement and stress along the pipe, or the energy against time.\n"
    "--energy and --envelope write the energy of every level and the extremes\n"
    "of every segment. A run whose energy leaves that of level 1 by more than\n"
    "1 % of the energy's scale is reported on stderr as unstable from that\n"
    "level, with its cause where the numbers show it. A Courant number\n"
    "VFase * DeltaT / L0 above 1 is named before the run, and the run is then\n"
    "unstable from level 1; TDeltaT 0 is refused.\n"
    "\n"
    "Water hammer: --first-end closed (a valve shut at t = 0) or valve:TC (a\n"
    "valve closing linearly in TC seconds) stops the column at segment 0, with\n"
    "TP 0; --last-end restoring is a reservoir at segment M and closed a dead\n"
    "end; --friction F adds Darcy-Weisbach friction. The energy then counts\n"
    "what friction dissipated and the valve worked (two more --energy\n"
    "columns), and --verify compares a valve without friction with its exact\n"
    "solution. The defaults are the seed's model.\n"
    "\n"
    "Exit status: 0 after a completed run, 1 after a stop (also a run that a\n"
    "Ctrl-C came too late to stop: it is never reported as completed), 2 after\n"
    "a failure (the message goes to stderr), 3 with --strict after a completed\n"
    "run that is unstable or, before any run, for a Courant number above 1, 64\n"
    "for a bad command line (also a check box's value other than 1 or 0 and\n"
    "their words, an output box, an unknown locale, a box that does not read\n"
    "with --check-boxes), outputs refused before the run, TDeltaT 0, or a\n"
    "--verify case with nothing to verify, 66 when the --config file cannot\n"
    "be loaded or the -C directory cannot be entered, 73 when the\n"
    "--save-config file cannot be written (the message goes to stderr; no run\n"
    "starts), 74 when the run completed but LogFile.xls, the --csv, --plot,\n"
    "--energy or --envelope file could not be written or the picture drawn\n"
    "(the message and the system's reason go to stderr; an existing file is\n"
    "left as it was) or when the output cannot be written to stdout (this one\n"
    "wins over the others), 130 when Ctrl-C ended the program.\n"
    "\n"
    "No one hears a batch run, so it plays no tones and skips the waits between\n"
    "them (the Girotondo run's start and end tones); --beep keeps them, as\n"
    "silent waits of the tones' length.";

// A VELARION_THREADS that is not a thread count leaves the choice to the
// run; the user hears that it was not read, unless --threads overrides it.
void warnOfUnreadThreadCount(bool threadsGiven) {
    const QByteArray text = qgetenv("VELARION_THREADS");
    if (!threadsGiven && !text.isEmpty() && threadsFromEnvironment() == 0) {
        std::fprintf(stderr,
                     "velarion-batch: warning: VELARION_THREADS holds '%s', not a whole number "
                     "from 1 to %d; the run chooses its threads itself\n",
                     text.constData(), kMaxThreads);
    }
}

// The names --box takes, listed after the options.
QString boxNames() {
    QString text = QStringLiteral("\nBoxes that --box NAME=TEXT sets (the window's captions):\n");
    for (const ParameterBox& box : parameterBoxes()) {
        text += QStringLiteral("  %1%2\n")
                    .arg(controlName(box.name), -18)
                    .arg(QString::fromUtf8(box.caption));
    }
    text += QStringLiteral(
        "Check boxes that --box NAME=1 or NAME=0 sets (or true/false, on/off, yes/no):\n"
        "  CLogFile          \"LogFile txt\": writes LogFile.txt (ticked by default)\n"
        "  CLogFileExc       \"LogFile Excel\": writes LogFile.xls after the run (not ticked)\n");
    return text;
}

// The options that take one value, which a second one would silently
// replace. -C and --box may be repeated.
constexpr const char* kSingleValued[] = {"run",      "locale",       "config",    "save-config",
                                         "csv",      "csv-segments", "plot",      "plot-page",
                                         "free-end", "last-end",     "first-end", "friction",
                                         "energy",   "envelope",     "threads"};

bool refuseRepeated(const QCommandLineParser& parser, QString& error) {
    for (const char* name : kSingleValued) {
        if (parser.values(name).size() > 1) {
            error = QStringLiteral("--%1 is given more than once; it takes one value").arg(name);
            return false;
        }
    }
    return true;
}

// The file an option names: "-" is the standard output for the outputs
// that can stream. A name that is empty or blank is refused.
bool readFileName(const QCommandLineParser& parser, const char* name, bool streams,
                  std::optional<QString>& file, QString& error) {
    if (!parser.isSet(name)) {
        return true;
    }
    const QString value = parser.value(name);
    if (value.trimmed().isEmpty()) {
        error = QStringLiteral("--%1 needs a file name, not '%2'").arg(name, value);
        return false;
    }
    file = streams && value == QStringLiteral("-") ? QStringLiteral("/dev/stdout") : value;
    return true;
}

bool parseOutputs(const QCommandLineParser& parser, BatchOptions& options, QString& error) {
    options.directories = parser.values("C");
    if (!readFileName(parser, "csv", true, options.csv, error)) {
        return false;
    }
    // Checked against the last segment once the boxes are set.
    options.csvSegments = parser.value("csv-segments");
    if (parser.isSet("csv-segments") && !options.csv) {
        error = QStringLiteral("--csv-segments goes with --csv");
        return false;
    }
    if (!readFileName(parser, "plot", false, options.plot, error)) {
        return false;
    }
    if (options.plot) {
        if (!isPlotFileName(*options.plot)) {
            error = QStringLiteral("--plot needs a file ending in .png or .svg, not '%1'")
                        .arg(*options.plot);
            return false;
        }
    }
    if (parser.isSet("plot-page")) {
        const auto page = plotPageNamed(parser.value("plot-page"));
        if (!page) {
            error = QStringLiteral("unknown plot page '%1' (time, profile, envelope or energy)")
                        .arg(parser.value("plot-page"));
            return false;
        }
        if (!options.plot) {
            error = QStringLiteral("--plot-page goes with --plot");
            return false;
        }
        options.plotPage = *page;
    }
    if (options.run == BatchRun::Precision && (options.csv || options.plot)) {
        error = QStringLiteral(
            "--csv and --plot go with the double and girotondo runs: the "
            "precision run leaves no rows in psi");
        return false;
    }
    return true;
}

// A number of the options' locale, at least `least`; nothing otherwise.
std::optional<double> numberAtLeast(const QString& text, double least, const QLocale& locale) {
    const auto value = NumberText(locale).toDouble(text);
    if (!value || !(*value >= least) || !std::isfinite(*value)) {
        return std::nullopt;
    }
    return value;
}

// --first-end counter-pressure, closed or valve:TC.
bool parseFirstEnd(const QString& text, BatchOptions& options, QString& error) {
    const QString name = text.section(QLatin1Char(':'), 0, 0);
    const auto end = firstEndNamed(name);
    if (!end) {
        error = QStringLiteral("unknown first end '%1' (counter-pressure, closed or valve:TC)")
                    .arg(text);
        return false;
    }
    options.hammer.firstEnd = *end;
    const bool timed = text.contains(QLatin1Char(':'));
    if (*end != FirstEnd::Valve) {
        if (timed) {
            error = QStringLiteral("--first-end %1 takes no closing time").arg(name);
            return false;
        }
        return true;
    }
    const auto closing = numberAtLeast(text.section(QLatin1Char(':'), 1), 0, options.locale);
    if (!timed || !closing || *closing == 0) {
        error = QStringLiteral(
                    "--first-end valve needs the valve's closing time in seconds, above 0, as "
                    "valve:TC, not '%1'")
                    .arg(text);
        return false;
    }
    options.hammer.closingTime = *closing;
    return true;
}

// The ends and the friction: --first-end, --last-end (or --free-end, which
// names the last end as it always did) and --friction.
bool parseModel(const QCommandLineParser& parser, BatchOptions& options, QString& error) {
    if (parser.isSet("first-end") && !parseFirstEnd(parser.value("first-end"), options, error)) {
        return false;
    }
    const QString freeEnd = parser.value("free-end");
    if (freeEnd == "restoring") {
        options.freeEnd = FreeEnd::Restoring;
    } else if (freeEnd != "seed") {
        error = QStringLiteral("unknown free end '%1' (seed or restoring)").arg(freeEnd);
        return false;
    }
    if (parser.isSet("last-end")) {
        const auto lastEnd = freeEndNamed(parser.value("last-end"));
        if (!lastEnd) {
            error = QStringLiteral("unknown last end '%1' (seed, restoring or closed)")
                        .arg(parser.value("last-end"));
            return false;
        }
        if (parser.isSet("free-end") && *lastEnd != options.freeEnd) {
            error = QStringLiteral("--free-end and --last-end name the same end: give one");
            return false;
        }
        options.freeEnd = *lastEnd;
    }
    if (parser.isSet("friction")) {
        const auto friction = numberAtLeast(parser.value("friction"), 0, options.locale);
        if (!friction) {
            error = QStringLiteral("--friction needs a number of 0 or more, not '%1'")
                        .arg(parser.value("friction"));
            return false;
        }
        options.hammer.friction = *friction;
    }
    return true;
}

// The options that check a run's numbers: the energy, the envelope,
// --strict and --verify.
bool parseChecks(const QCommandLineParser& parser, BatchOptions& options, QString& error) {
    if (!readFileName(parser, "energy", true, options.energy, error) ||
        !readFileName(parser, "envelope", true, options.envelope, error)) {
        return false;
    }
    if (parser.isSet("threads")) {
        options.threads = threadCountFrom(parser.value("threads").toStdString());
        if (options.threads == 0) {
            error = QStringLiteral("--threads needs a whole number from 1 to %1, not '%2'")
                        .arg(kMaxThreads)
                        .arg(parser.value("threads"));
            return false;
        }
    }
    warnOfUnreadThreadCount(parser.isSet("threads"));
    options.strict = parser.isSet("strict");
    options.verify = parser.isSet("verify");
    options.checkBoxes = parser.isSet("check-boxes");
    if (options.run == BatchRun::Precision &&
        (options.energy || options.envelope || options.strict)) {
        error = QStringLiteral(
            "--energy, --envelope and --strict go with the double and girotondo runs: the "
            "precision run leaves no rows in psi");
        return false;
    }
    if (options.verify && options.run != BatchRun::Double) {
        error = QStringLiteral("--verify goes with the double run");
        return false;
    }
    return true;
}

// The locale named by --locale, else by the environment as the C library
// reads it for numbers (LC_ALL, LC_NUMERIC, LANG, without the codeset): a
// name that Qt does not know is refused wherever it comes from, rather
// than read as C.
bool readLocale(const QCommandLineParser& parser, BatchOptions& options, QString& error) {
    if (parser.isSet("locale")) {
        const QString name = parser.value("locale");
        options.locale = QLocale(name);
        if (options.locale == QLocale::c() && name != QStringLiteral("C")) {
            error = QStringLiteral("unknown locale '%1'").arg(name);
            return false;
        }
        return true;
    }
    for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        const QString value = qEnvironmentVariable(variable);
        if (value.isEmpty()) {
            continue;
        }
        const QString name = value.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
        if (name != QStringLiteral("C") && name != QStringLiteral("POSIX") &&
            QLocale(name) == QLocale::c()) {
            error = QStringLiteral(
                        "unknown locale '%1' in %2; --locale names one, C for plain "
                        "numbers")
                        .arg(value, QLatin1String(variable));
            return false;
        }
        break;
    }
    options.locale = QLocale();
    return true;
}

}  // namespace

bool parseBatchOptions(const QStringList& arguments, BatchOptions& options, QString& error) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({"box",
                      "Sets a box or check box by its control name before the run, e.g. "
                      "--box TP=1 or --box CLogFile=0 (the names are listed below). May be "
                      "repeated.",
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
    parser.addOption(
        {"csv",
         "Writes psi's stored rows to this CSV file after the run (- for the standard output).",
         "FILE"});
    parser.addOption({"csv-segments",
                      "The segments --csv writes, separated by commas (default: the first "
                      "and the last).",
                      "LIST"});
    parser.addOption(
        {"plot", "Renders the result charts to this .png or .svg file after the run.", "FILE"});
    parser.addOption({"plot-page",
                      "The charts --plot draws, as the results window's tabs: time (the "
                      "default), profile, envelope or energy.",
                      "PAGE", "time"});
    parser.addOption({"first-end",
                      "What holds segment 0: counter-pressure (the default, pushed by P), "
                      "closed (a valve shut at t = 0) or valve:TC (a valve whose velocity "
                      "falls linearly from V0 to 0 in TC seconds). A valve needs TP 0.",
                      "END", "counter-pressure"});
    parser.addOption({"last-end",
                      "How segment M ends: seed (the default, as the model was first "
                      "written, unstable), restoring (a reservoir: the last segment pulled "
                      "back by its piece) or closed (a dead end).",
                      "END", "seed"});
    parser.addOption({"free-end", "The same as --last-end, for seed or restoring.", "END", "seed"});
    parser.addOption({"friction",
                      "The pipe's Darcy-Weisbach friction factor f (default 0: none), acting "
                      "on each moving segment with the diameter of TD.",
                      "F"});
    parser.addOption({"energy",
                      "Writes the energy of every level (level,time,kinetic,strain,work,energy, "
                      "J/m2) to this CSV file after the run.",
                      "FILE"});
    parser.addOption({"envelope",
                      "Writes, per segment, the extremes of the displacement and of the stress "
                      "over every level to this CSV file after the run.",
                      "FILE"});
    parser.addOption({"threads",
                      "Shares the levels of the run between N threads (1: one thread; "
                      "default: VELARION_THREADS, else the free cores when the row is long "
                      "enough to gain from them). The results are the same bits.",
                      "N"});
    parser.addOption({"strict",
                      "Exits with status 3 when the run is unstable (its energy left that of "
                      "level 1 by more than 1 % of its scale, or the Courant number exceeds "
                      "1: then before the run), instead of a warning alone."});
    parser.addOption({"verify",
                      "After the double run, steps it and two refinements of it and prints "
                      "the grid convergence index of two peaks and the errors of every "
                      "segment against the exact solution, with the observed order of "
                      "accuracy; status 64 when nothing can be verified."});
    parser.addOption({"check-boxes",
                      "Reads every box the run reads (after --config and --box) as the run "
                      "reads it, checks the outputs, and exits without running: status 0 when "
                      "all is sound, 64 naming the first box that does not read (or a valve "
                      "with TP other than 0). With --save-config the file is written only "
                      "then."});
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return false;
    }
    // parse() leaves --help-all to the caller, like --help: neither may run.
    if (parser.isSet("help") || parser.isSet("help-all")) {
        options.help = parser.helpText() + boxNames();
        return true;
    }
    if (parser.isSet("version")) {
        options.version = true;
        return true;
    }
    if (!refuseRepeated(parser, error)) {
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        error =
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().front());
        return false;
    }
    if (!readLocale(parser, options, error)) {
        return false;
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
    return readFileName(parser, "config", false, options.config, error) &&
           readFileName(parser, "save-config", true, options.saveConfig, error) &&
           parseOutputs(parser, options, error) && parseModel(parser, options, error) &&
           parseChecks(parser, options, error);
}

}  // namespace velarion
