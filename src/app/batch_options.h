#pragma once

// The command line of velarion-batch: its options, one row each, from
// which the help, the parser, the checks and the writing of the files
// follow; and its exit statuses.

#include "charts/plot_file.h"
#include "model/kernel.h"
#include "runs/run_control.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velarion {

// Exit statuses.
inline constexpr int kExitStopped = 1;
inline constexpr int kExitFailed = 2;
inline constexpr int kExitUnstable = 3;
inline constexpr int kExitUsage = 64;
inline constexpr int kExitConfigNotLoaded = 66;
inline constexpr int kExitNoDirectory = 66;
inline constexpr int kExitResultsNotRead = 66;
inline constexpr int kExitConfigNotSaved = 73;
inline constexpr int kExitOutputFailed = 74;

// A file written after the run: where, and for --plot which charts.
struct OutputFile {
    QString path;                  // "-" already taken as /dev/stdout
    std::optional<PlotPage> page;  // --plot's PAGE:, when given
};

// What the command line asks for.
struct BatchOptions {
    std::optional<QString> help;
    bool version = false;
    QLocale locale;
    QStringList boxes;
    std::optional<QString> config;
    std::optional<QString> saveConfig;
    std::optional<QString> from;  // --from: a saved run instead of a run
    RunKind run = RunKind::Double;
    bool compareDouble = false;
    bool tones = false;
    QStringList directories;  // -C, each taken in the one before
    std::vector<OutputFile> csv;
    QString csvSegments;
    std::vector<OutputFile> energy;
    std::int64_t energyEvery = 1;
    std::vector<OutputFile> envelope;
    std::vector<OutputFile> results;
    std::vector<OutputFile> plot;
    PlotPage plotPage = PlotPage::Time;  // of a --plot that names none
    FreeEnd freeEnd = FreeEnd::Seed;     // the last end
    WaterHammer hammer;                  // the first end and the friction
    bool strict = false;
    bool verify = false;
    bool checkBoxes = false;  // --check-boxes: read the boxes, do not run
    bool progress = false;    // --progress: plain progress lines off a terminal
    int threads = 0;          // --threads; 0: not given
    QStringList arguments;    // the command line, without the program

    // The page --plot FILE draws.
    PlotPage pageOf(const OutputFile& file) const { return file.page.value_or(plotPage); }
};

struct BatchOption;
struct FinishedRun;

// Sets `options` from the values of `option` (empty for a flag), called
// only when it is given. False, with the reason in `error`, for values
// that cannot be meant.
using OptionReader = bool (*)(const BatchOption& option, const QStringList& values,
                              BatchOptions& options, QString& error);

// Writes one file of a finished run. False, with the reason in `error`.
using OutputWriter = bool (*)(const FinishedRun& run, const OutputFile& file,
                              const BatchOptions& options, QString& error);

// One option of velarion-batch. Its row gives the help line and how the
// option is read; a file written after the run also names where its files
// are kept and what writes them, which makes it an output: planned and
// checked before the run, written after it in the table's order (the
// picture last, so that one that cannot be drawn costs no other file).
// The man page and the completion are checked against the help.
struct BatchOption {
    const char* name;       // "csv" for --csv, "C" for -C
    const char* valueName;  // "FILE"; nullptr for a flag
    const char* help;
    OptionReader read;
    bool repeats = false;   // may be given more than once
    bool withFrom = false;  // also goes with --from
    // An output's:
    std::vector<OutputFile> BatchOptions::*files = nullptr;
    OutputWriter write = nullptr;
    bool streams = false;        // "-" is the standard output
    bool withPrecision = false;  // the precision run writes it too

    bool isOutput() const { return files != nullptr; }
};

// Every option, in the order of --help and of reading.
std::span<const BatchOption> batchOptions();

// The option as it is typed: "--csv", or "-C" for a one-letter name.
QString optionName(const BatchOption& option);

// "--a, --b and --c".
QString listed(const QStringList& names);

// The outputs asked for that only the rows of psi give, which the
// precision run does not leave: "--csv", "--plot", ...
QStringList outputsOfRows(const BatchOptions& options);

// Reads the command line (arguments[0] is the program). False, with the
// reason in `error`, for a command line that cannot run; options.help or
// options.version is set, and nothing else checked, when --help or
// --version was asked for.
bool parseBatchOptions(const QStringList& arguments, BatchOptions& options, QString& error);

}  // namespace velarion
