// The command line of velarion-batch.
#include "batch_options.h"

#include "batch_outputs.h"

#include "charts/plot_file.h"
#include "model/controls.h"
#include "model/number_text.h"
#include "model/parameter_boxes.h"
#include "runs/run_threads.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <cmath>
#include <cstdio>
#include <optional>

namespace velarion {

namespace {

const char* const kDescriptionHead =
    "Runs a simulation of the fluid column on the window's initial box texts,\n"
    "prints the output boxes TA, TF, Ttot, TB, TL0, TJ (and TK for Girotondo)\n"
    "and the final status line, and writes its files in the working directory:\n"
    "\n"
    "  LogFile.txt  every run, while CLogFile is ticked (as it is by default)\n"
    "  LogFile.xls  with --box CLogFileExc=1: a completed double or girotondo\n"
    "               run, and a girotondo run that failed midway, as in the\n"
    "               window; never the precision run\n";

const char* const kDescriptionBody =
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
    "not known is refused wherever it comes from, never read as C. Numbers in\n"
    "messages carry the locale's decimal separator, no grouping and the\n"
    "exponent as E+NN. On a terminal stderr shows the progress: a bar, the\n"
    "part done, J (and K), the levels a second and the time left, redrawn ten\n"
    "times a second at most; --progress prints the same figures as a plain\n"
    "line every five seconds when stderr is not a terminal (a batch system's\n"
    "log). In the double and girotondo runs Ctrl-C acts as STOP at the next\n"
    "pump point (every 100 levels, or every 10 Girotondo snapshots), and\n"
    "Ctrl-C again, or one before or after the run, ends the program at once\n"
    "with status 130; every record already in LogFile.txt is whole.\n"
    "\n"
    "--config loads a .cnf file into the eleven parameter boxes first, as the\n"
    "window's Load Config. does; --box settings are applied after it. With\n"
    "--save-config the box texts (after --config and --box) are written to a\n"
    ".cnf file and the program exits without running the simulation, so a\n"
    "sweep script writes its files first and runs each with --config; with\n"
    "--check-boxes they are written only when every box reads. An option that\n"
    "takes one value is given once; --box, -C and --plot may be repeated.\n"
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
    "--results writes the whole run as one NetCDF-4 file (the CF conventions):\n"
    "every stored row, the energy, the envelope, the boxes as typed and what\n"
    "made it (program, version, kernel, threads, date, command line); the\n"
    "precision run's positions also as its decimal texts. It is written whole\n"
    "or not at all, and never to the standard output (NetCDF needs a file it\n"
    "can seek in). --from FILE.nc reads such a file instead of running and\n"
    "writes its --csv, --energy, --envelope and --plot files: many pictures\n"
    "of one run without running it again. A file that is not a results file,\n"
    "or is damaged, truncated or empty, is refused with status 66.\n"
    "--plot renders the results window's three charts offscreen into a PNG or\n"
    "an SVG (by the extension), the profile at the last stored row; each line\n"
    "keeps at most four points a pixel column (the first, the lowest, the\n"
    "highest and the last), and a picture that cannot be drawn (no thread can\n"
    "start, too little memory) is a failure to write it. --plot PAGE:FILE\n"
    "draws another tab of the results window instead, and --plot may be given\n"
    "once for each picture: profile (the profile at the last stored row\n"
    "alone), envelope (the extremes of the displacement and stress along the\n"
    "pipe), energy (the energy against time) or time (the default); --plot-page\n"
    "PAGE is the page of every --plot that names none.\n"
    "--energy and --envelope write the energy of every level (of every K-th\n"
    "with --energy-every K) and the extremes of every segment. A run whose\n"
    "energy leaves that of level 1 by more than 1 % of the energy's scale is\n"
    "reported on stderr as unstable from that level, with its cause where the\n"
    "numbers show it; every level is checked, whatever --energy-every keeps. A\n"
    "Courant number VFase * DeltaT / L0 above 1 is named before the run, and\n"
    "the run is then unstable from level 1; TDeltaT 0 is refused.\n"
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
    "be loaded, the --from file cannot be read as a results file or the -C\n"
    "directory cannot be entered, 73 when the --save-config file cannot be\n"
    "written (the message goes to stderr; no run starts), 74 when the run\n"
    "completed but LogFile.xls or a file written after it (--csv, --energy,\n"
    "--envelope, --results, --plot) could not be written or the picture drawn\n"
    "(the message and the system's reason go to stderr; an existing file is\n"
    "left as it was) or when the output cannot be written to stdout (this one\n"
    "wins over the others), 130 when Ctrl-C ended the program.\n"
    "\n"
    "No one hears a batch run, so it plays no tones and skips the waits between\n"
    "them (the Girotondo run's start and end tones); --beep keeps them, as\n"
    "silent waits of the tones' length.";

// Words wrapped to the description's width, each line indented by two
// blanks; a word is never split.
QString wrapped(const QStringList& words) {
    constexpr int kWidth = 76;
    QString text;
    QString line;
    for (const QString& word : words) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > kWidth) {
            text += QStringLiteral("  ") + line + QLatin1Char('\n');
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    return text + QStringLiteral("  ") + line + QLatin1Char('\n');
}

// "  --csv FILE, --energy FILE ...": the outputs written after the run,
// from the table.
QString outputList() {
    QStringList words;
    QStringList streaming;
    QStringList fromSaved;
    for (const BatchOption& option : batchOptions()) {
        if (option.isOutput()) {
            words << optionName(option) + QChar(0xA0) + QLatin1String(option.valueName) +
                         QLatin1Char(',');
            if (option.streams) {
                streaming << optionName(option);
            }
            if (option.withFrom) {
                fromSaved << optionName(option);
            }
        }
    }
    words.back().chop(1);
    words.back() += QLatin1Char(':');
    words += QStringLiteral(
                 "after the run, also a stopped or failed one that left rows in psi; %1 also "
                 "from a saved run with --from; - is the standard output for %2")
                 .arg(listed(fromSaved), listed(streaming))
                 .split(QLatin1Char(' '));
    return wrapped(words).replace(QChar(0xA0), QLatin1Char(' '));
}

QString description() {
    return QString::fromLatin1(kDescriptionHead) + outputList() +
           QString::fromLatin1(kDescriptionBody);
}

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

// A file name as an option takes it: "-" is the standard output for an
// option that streams; an empty or blank name is refused.
bool readFileName(const BatchOption& option, const QString& value, QString& file, QString& error) {
    if (value.trimmed().isEmpty()) {
        error = QStringLiteral("%1 needs a file name, not '%2'").arg(optionName(option), value);
        return false;
    }
    file = option.streams && value == QStringLiteral("-") ? QStringLiteral("/dev/stdout") : value;
    return true;
}

bool readOneFile(const BatchOption& option, const QStringList& values, std::optional<QString>& file,
                 QString& error) {
    QString name;
    if (!readFileName(option, values.back(), name, error)) {
        return false;
    }
    file = name;
    return true;
}

// The outputs that take one file each.
bool readOutputFiles(const BatchOption& option, const QStringList& values, BatchOptions& options,
                     QString& error) {
    auto& files = options.*option.files;
    for (const QString& value : values) {
        OutputFile file;
        if (!readFileName(option, value, file.path, error)) {
            return false;
        }
        files.push_back(file);
    }
    return true;
}

bool readResults(const BatchOption& option, const QStringList& values, BatchOptions& options,
                 QString& error) {
    if (values.back() == QStringLiteral("-")) {
        error = QStringLiteral(
            "--results needs a file, not -: a results file is written by seeking in it, "
            "which the standard output cannot do");
        return false;
    }
    return readOutputFiles(option, values, options, error);
}

std::optional<PlotPage> readPage(const QString& name, QString& error) {
    const auto page = plotPageNamed(name);
    if (!page) {
        error =
            QStringLiteral("unknown plot page '%1' (time, profile, envelope or energy)").arg(name);
    }
    return page;
}

// --plot [PAGE:]FILE, once for each picture.
bool readPlots(const BatchOption& option, const QStringList& values, BatchOptions& options,
               QString& error) {
    for (const QString& value : values) {
        OutputFile file;
        QString name = value;
        // A word before a colon names a page; one that names none is refused
        // rather than taken for part of a file name (./word:FILE is one).
        static const QRegularExpression pagePrefix(QStringLiteral("^([A-Za-z]+):"));
        if (const auto prefix = pagePrefix.match(value); prefix.hasMatch()) {
            file.page = readPage(prefix.captured(1), error);
            if (!file.page) {
                error += QStringLiteral("; ./%1 names a file of that name").arg(value);
                return false;
            }
            name = value.mid(prefix.capturedLength());
        }
        if (!readFileName(option, name, file.path, error)) {
            return false;
        }
        if (!isPlotFileName(file.path)) {
            error =
                QStringLiteral("--plot needs a file ending in .png or .svg, not '%1'").arg(name);
            return false;
        }
        options.plot.push_back(file);
    }
    return true;
}

bool readPlotPage(const BatchOption&, const QStringList& values, BatchOptions& options,
                  QString& error) {
    const auto page = readPage(values.back(), error);
    if (page) {
        options.plotPage = *page;
    }
    return page.has_value();
}

bool readEnergyEvery(const BatchOption&, const QStringList& values, BatchOptions& options,
                     QString& error) {
    bool ok = false;
    const qlonglong every = values.back().trimmed().toLongLong(&ok);
    if (!ok || every < 1) {
        error = QStringLiteral("--energy-every needs a whole number of levels from 1 up, not '%1'")
                    .arg(values.back());
        return false;
    }
    options.energyEvery = every;
    return true;
}

bool readRun(const BatchOption&, const QStringList& values, BatchOptions& options, QString& error) {
    const QString& run = values.back();
    if (run == "girotondo") {
        options.run = RunKind::Girotondo;
    } else if (run == "precision") {
        options.run = RunKind::Precision;
    } else if (run == "double") {
        options.run = RunKind::Double;
    } else {
        error = QStringLiteral("unknown run '%1' (double, girotondo or precision)").arg(run);
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
bool readFirstEnd(const BatchOption&, const QStringList& values, BatchOptions& options,
                  QString& error) {
    const QString& text = values.back();
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

// --last-end seed, restoring or closed.
bool readLastEnd(const BatchOption&, const QStringList& values, BatchOptions& options,
                 QString& error) {
    const auto lastEnd = freeEndNamed(values.back());
    if (!lastEnd) {
        error =
            QStringLiteral("unknown last end '%1' (seed, restoring or closed)").arg(values.back());
        return false;
    }
    options.freeEnd = *lastEnd;
    return true;
}

// --free-end, the last end as it was first named: seed or restoring.
bool readFreeEnd(const BatchOption&, const QStringList& values, BatchOptions& options,
                 QString& error) {
    const QString& freeEnd = values.back();
    if (freeEnd == "restoring") {
        options.freeEnd = FreeEnd::Restoring;
    } else if (freeEnd == "seed") {
        options.freeEnd = FreeEnd::Seed;
    } else {
        error = QStringLiteral("unknown free end '%1' (seed or restoring)").arg(freeEnd);
        return false;
    }
    return true;
}

// --friction F, the Darcy-Weisbach factor: 0 or more.
bool readFriction(const BatchOption&, const QStringList& values, BatchOptions& options,
                  QString& error) {
    const auto friction = numberAtLeast(values.back(), 0, options.locale);
    if (!friction) {
        error =
            QStringLiteral("--friction needs a number of 0 or more, not '%1'").arg(values.back());
        return false;
    }
    options.hammer.friction = *friction;
    return true;
}

bool readThreads(const BatchOption&, const QStringList& values, BatchOptions& options,
                 QString& error) {
    options.threads = threadCountFrom(values.back().toStdString());
    if (options.threads == 0) {
        error = QStringLiteral("--threads needs a whole number from 1 to %1, not '%2'")
                    .arg(kMaxThreads)
                    .arg(values.back());
        return false;
    }
    return true;
}

// --locale: a name that Qt does not know is refused rather than read as C.
bool readLocale(const BatchOption&, const QStringList& values, BatchOptions& options,
                QString& error) {
    const QString& name = values.back();
    options.locale = QLocale(name);
    if (options.locale == QLocale::c() && name != QStringLiteral("C")) {
        error = QStringLiteral("unknown locale '%1'").arg(name);
        return false;
    }
    return true;
}

// Without --locale: the locale of the environment as the C library reads
// it for numbers (LC_ALL, LC_NUMERIC, LANG, without the codeset); a name
// that Qt does not know is refused.
bool readEnvironmentLocale(BatchOptions& options, QString& error) {
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

bool readConfig(const BatchOption& option, const QStringList& values, BatchOptions& options,
                QString& error) {
    return readOneFile(option, values, options.config, error);
}

bool readSaveConfig(const BatchOption& option, const QStringList& values, BatchOptions& options,
                    QString& error) {
    return readOneFile(option, values, options.saveConfig, error);
}

bool readFrom(const BatchOption& option, const QStringList& values, BatchOptions& options,
              QString& error) {
    if (values.back() == QStringLiteral("-")) {
        error = QStringLiteral(
            "--from needs a file, not -: a results file is read by seeking in it, which the "
            "standard input cannot do");
        return false;
    }
    return readOneFile(option, values, options.from, error);
}

bool readBoxes(const BatchOption&, const QStringList& values, BatchOptions& options, QString&) {
    options.boxes = values;
    return true;
}

bool readDirectories(const BatchOption&, const QStringList& values, BatchOptions& options,
                     QString&) {
    options.directories = values;
    return true;
}

bool readCsvSegments(const BatchOption&, const QStringList& values, BatchOptions& options,
                     QString&) {
    // Checked against the last segment once the boxes are set.
    options.csvSegments = values.back();
    return true;
}

// A flag: sets its member.
template <bool BatchOptions::*flag>
bool readFlag(const BatchOption&, const QStringList&, BatchOptions& options, QString&) {
    options.*flag = true;
    return true;
}

const BatchOption kOptions[] = {
    {.name = "box",
     .valueName = "NAME=TEXT",
     .help = "Sets a box or check box by its control name before the run, e.g. --box TP=1 or "
             "--box CLogFile=0 (the names are listed below). May be repeated.",
     .read = readBoxes,
     .repeats = true},
    {.name = "run",
     .valueName = "RUN",
     .help = "Which run: double (the default), girotondo or precision.",
     .read = readRun},
    {.name = "compare-double",
     .valueName = nullptr,
     .help = "With --run precision: also runs the double-precision model on the same boxes and "
             "prints, per level, the largest absolute and relative difference between the "
             "decimal and the double positions, then the worst.",
     .read = readFlag<&BatchOptions::compareDouble>},
    {.name = "locale",
     .valueName = "NAME",
     .help = "Uses the number rules of this locale, e.g. it_IT.",
     .read = readLocale,
     .withFrom = true},
    {.name = "config",
     .valueName = "FILE",
     .help = "Loads the parameter boxes from this .cnf file before --box.",
     .read = readConfig},
    {.name = "save-config",
     .valueName = "FILE",
     .help = "Writes the parameter boxes to this .cnf file and exits without a run.",
     .read = readSaveConfig,
     .streams = true},
    {.name = "check-boxes",
     .valueName = nullptr,
     .help = "Reads every box the run reads (after --config and --box) as the run reads it, "
             "checks the outputs, and exits without running: status 0 when all is sound, 64 "
             "naming the first box that does not read (or a valve with TP other than 0). With "
             "--save-config the file is written only then.",
     .read = readFlag<&BatchOptions::checkBoxes>},
    {.name = "from",
     .valueName = "FILE",
     .help = "Reads a run saved by --results instead of running, and writes its --csv, "
             "--energy, --envelope and --plot files.",
     .read = readFrom,
     .withFrom = true},
    {.name = "beep",
     .valueName = nullptr,
     .help = "Keeps the tones and the waits between them, as the window has.",
     .read = readFlag<&BatchOptions::tones>},
    {.name = "C",
     .valueName = "DIR",
     .help = "Changes into DIR before anything else.",
     .read = readDirectories,
     .repeats = true,
     .withFrom = true},
    {.name = "csv",
     .valueName = "FILE",
     .help = "Writes psi's stored rows to this CSV file after the run (- for the standard "
             "output).",
     .read = readOutputFiles,
     .withFrom = true,
     .files = &BatchOptions::csv,
     .write = writeCsvFile,
     .streams = true},
    {.name = "csv-segments",
     .valueName = "LIST",
     .help = "The segments --csv writes, separated by commas (default: the first and the "
             "last).",
     .read = readCsvSegments,
     .withFrom = true},
    {.name = "energy",
     .valueName = "FILE",
     .help = "Writes the energy of every level (level,time,kinetic,strain,work,energy, J/m2) "
             "to this CSV file after the run (- for the standard output).",
     .read = readOutputFiles,
     .withFrom = true,
     .files = &BatchOptions::energy,
     .write = writeEnergyFile,
     .streams = true},
    {.name = "energy-every",
     .valueName = "K",
     .help = "Writes the energy of levels K, 2K, 3K ... alone (default 1: every level); the "
             "instability check still takes every level.",
     .read = readEnergyEvery,
     .withFrom = true},
    {.name = "envelope",
     .valueName = "FILE",
     .help = "Writes, per segment, the extremes of the displacement and of the stress over "
             "every level to this CSV file after the run (- for the standard output).",
     .read = readOutputFiles,
     .withFrom = true,
     .files = &BatchOptions::envelope,
     .write = writeEnvelopeFile,
     .streams = true},
    {.name = "results",
     .valueName = "FILE",
     .help = "Writes the whole run, with its boxes and what made it, to this NetCDF-4 results "
             "file after the run (never to the standard output).",
     .read = readResults,
     .files = &BatchOptions::results,
     .write = writeResultsFileOf,
     .withPrecision = true},
    {.name = "plot",
     .valueName = "[PAGE:]FILE",
     .help = "Renders the result charts to this .png or .svg file after the run; PAGE: "
             "draws another tab (profile:, envelope:, energy:, time:). May be repeated, once "
             "for each picture.",
     .read = readPlots,
     .repeats = true,
     .withFrom = true,
     .files = &BatchOptions::plot,
     .write = writePlotFileOf},
    {.name = "plot-page",
     .valueName = "PAGE",
     .help = "The charts of each --plot that names no page, as the results window's tabs: "
             "time (the default), profile, envelope or energy.",
     .read = readPlotPage,
     .withFrom = true},
    {.name = "first-end",
     .valueName = "END",
     .help = "What holds segment 0: counter-pressure (the default, pushed by P), closed (a "
             "valve shut at t = 0) or valve:TC (a valve whose velocity falls linearly from V0 "
             "to 0 in TC seconds). A valve needs TP 0.",
     .read = readFirstEnd},
    {.name = "last-end",
     .valueName = "END",
     .help = "How segment M ends: seed (the default, as the model was first written, "
             "unstable), restoring (a reservoir: the last segment pulled back by its piece) or "
             "closed (a dead end).",
     .read = readLastEnd},
    {.name = "free-end",
     .valueName = "END",
     .help = "The same as --last-end, for seed or restoring.",
     .read = readFreeEnd},
    {.name = "friction",
     .valueName = "F",
     .help = "The pipe's Darcy-Weisbach friction factor f (default 0: none), acting on each "
             "moving segment with the diameter of TD.",
     .read = readFriction},
    {.name = "threads",
     .valueName = "N",
     .help = "Shares the levels of the run between N threads (1: one thread; default: "
             "VELARION_THREADS, else the free cores when the row is long enough to gain from "
             "them). The results are the same bits.",
     .read = readThreads},
    {.name = "strict",
     .valueName = nullptr,
     .help = "Exits with status 3 when the run is unstable (its energy left that of level 1 by "
             "more than 1 % of its scale, or the Courant number exceeds 1: then before the "
             "run), instead of a warning alone.",
     .read = readFlag<&BatchOptions::strict>},
    {.name = "verify",
     .valueName = nullptr,
     .help = "After the double run, steps it and two refinements of it and prints the grid "
             "convergence index of two peaks and the errors of every segment against the exact "
             "solution, with the observed order of accuracy; status 64 when nothing can be "
             "verified.",
     .read = readFlag<&BatchOptions::verify>},
    {.name = "progress",
     .valueName = nullptr,
     .help = "Prints the progress (part done, levels a second, time left) as a plain line "
             "every five seconds when stderr is not a terminal, as in a batch system's log.",
     .read = readFlag<&BatchOptions::progress>},
};

QCommandLineOption commandLineOption(const BatchOption& option) {
    const QString name = QLatin1String(option.name);
    const QString help = QString::fromUtf8(option.help);
    return option.valueName == nullptr
               ? QCommandLineOption(name, help)
               : QCommandLineOption(name, help, QLatin1String(option.valueName));
}

bool isGiven(const QCommandLineParser& parser, const BatchOption& option) {
    return parser.isSet(QLatin1String(option.name));
}

// An option that takes one value is given once: a second would silently
// replace the first.
bool refuseRepeated(const QCommandLineParser& parser, QString& error) {
    for (const BatchOption& option : batchOptions()) {
        if (!option.repeats && option.valueName != nullptr &&
            parser.values(QLatin1String(option.name)).size() > 1) {
            error = QStringLiteral("%1 is given more than once; it takes one value")
                        .arg(optionName(option));
            return false;
        }
    }
    return true;
}

// With --from nothing runs: only the options that act on a saved run, and
// at least one file to write.
bool checkFromFile(const QCommandLineParser& parser, QString& error) {
    QStringList outputs;
    bool writes = false;
    for (const BatchOption& option : batchOptions()) {
        if (isGiven(parser, option) && !option.withFrom) {
            error = QStringLiteral("%1 goes with a run, not with --from, which reads one")
                        .arg(optionName(option));
            return false;
        }
        if (option.withFrom && option.isOutput()) {
            outputs << optionName(option);
            writes = writes || isGiven(parser, option);
        }
    }
    if (!writes) {
        error = QStringLiteral("--from needs a file to write: %1").arg(listed(outputs));
        error.replace(QStringLiteral(" and "), QStringLiteral(" or "));
    }
    return writes;
}

// What one option asks of another.
bool checkCompanions(const QCommandLineParser& parser, const BatchOptions& options,
                     QString& error) {
    const struct {
        bool given;
        bool companion;
        const char* text;
    } companions[] = {
        {parser.isSet("csv-segments"), !options.csv.empty(), "--csv-segments goes with --csv"},
        {parser.isSet("energy-every"), !options.energy.empty(),
         "--energy-every goes with --energy"},
        {parser.isSet("plot-page"), !options.plot.empty(), "--plot-page goes with --plot"},
        {options.compareDouble, options.run == RunKind::Precision,
         "--compare-double goes with --run precision"},
        {options.verify, options.run == RunKind::Double, "--verify goes with the double run"},
    };
    for (const auto& c : companions) {
        if (c.given && !c.companion) {
            error = QString::fromLatin1(c.text);
            return false;
        }
    }
    return true;
}

// The outputs of the rows of psi, which the precision run does not leave.
bool checkPrecisionRun(const BatchOptions& options, QString& error) {
    if (options.run != RunKind::Precision) {
        return true;
    }
    QStringList refused = outputsOfRows(options);
    if (options.strict) {
        refused << QStringLiteral("--strict");
    }
    if (refused.isEmpty()) {
        return true;
    }
    error = QStringLiteral(
                "%1 %2 with the double and girotondo runs: the precision run leaves no "
                "rows in psi")
                .arg(listed(refused),
                     refused.size() == 1 ? QStringLiteral("goes") : QStringLiteral("go"));
    return false;
}

// --free-end and --last-end name the same end.
bool checkLastEnd(const QCommandLineParser& parser, QString& error) {
    if (parser.isSet("free-end") && parser.isSet("last-end") &&
        freeEndNamed(parser.value("free-end")) != freeEndNamed(parser.value("last-end"))) {
        error = QStringLiteral("--free-end and --last-end name the same end: give one");
        return false;
    }
    return true;
}

bool checkCombination(const QCommandLineParser& parser, const BatchOptions& options,
                      QString& error) {
    if (!checkLastEnd(parser, error)) {
        return false;
    }
    if (options.from) {
        return checkFromFile(parser, error) && checkCompanions(parser, options, error);
    }
    return checkCompanions(parser, options, error) && checkPrecisionRun(options, error);
}

}  // namespace

std::span<const BatchOption> batchOptions() {
    return kOptions;
}

QString optionName(const BatchOption& option) {
    return QLatin1String(option.name[1] == '\0' ? "-" : "--") + QLatin1String(option.name);
}

QString listed(const QStringList& names) {
    if (names.size() < 2) {
        return names.join(QString());
    }
    return names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") +
           names.back();
}

QStringList outputsOfRows(const BatchOptions& options) {
    QStringList names;
    for (const BatchOption& option : batchOptions()) {
        if (option.isOutput() && !option.withPrecision && !(options.*option.files).empty()) {
            names << optionName(option);
        }
    }
    return names;
}

bool parseBatchOptions(const QStringList& arguments, BatchOptions& options, QString& error) {
    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    parser.addHelpOption();
    parser.addVersionOption();
    for (const BatchOption& option : batchOptions()) {
        parser.addOption(commandLineOption(option));
    }
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
    options.arguments = arguments.mid(1);
    // Numbers of other options are read by the locale, so it comes first.
    if (!parser.isSet("locale") && !readEnvironmentLocale(options, error)) {
        return false;
    }
    for (const BatchOption& option : batchOptions()) {
        if (isGiven(parser, option) &&
            !option.read(option, parser.values(QLatin1String(option.name)), options, error)) {
            return false;
        }
    }
    warnOfUnreadThreadCount(parser.isSet("threads"));
    return checkCombination(parser, options, error);
}

}  // namespace velarion
