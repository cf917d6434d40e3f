#pragma once

// The command line of velarion-batch: its options, its help text and its
// exit statuses.

#include "charts/plot_file.h"
#include "model/kernel.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

namespace velarion {

// Exit statuses.
inline constexpr int kExitStopped = 1;
inline constexpr int kExitFailed = 2;
inline constexpr int kExitUnstable = 3;
inline constexpr int kExitUsage = 64;
inline constexpr int kExitConfigNotLoaded = 66;
inline constexpr int kExitNoDirectory = 66;
inline constexpr int kExitConfigNotSaved = 73;
inline constexpr int kExitOutputFailed = 74;

enum class BatchRun { Double, Girotondo, Precision };

// What the command line asks for.
struct BatchOptions {
    std::optional<QString> help;
    bool version = false;
    QLocale locale;
    QStringList boxes;
    std::optional<QString> config;
    std::optional<QString> saveConfig;
    BatchRun run = BatchRun::Double;
    bool compareDouble = false;
    bool tones = false;
    QStringList directories;  // -C, each taken in the one before
    std::optional<QString> csv;
    QString csvSegments;
    std::optional<QString> plot;
    PlotPage plotPage = PlotPage::Time;
    FreeEnd freeEnd = FreeEnd::Seed;  // the last end
    WaterHammer hammer;               // the first end and the friction
    std::optional<QString> energy;
    std::optional<QString> envelope;
    bool strict = false;
    bool verify = false;
    bool checkBoxes = false;  // --check-boxes: read the boxes, do not run
    int threads = 0;          // --threads; 0: not given
};

// Reads the command line (arguments[0] is the program). False, with the
// reason in `error`, for a command line that cannot run; options.help or
// options.version is set, and nothing else checked, when --help or
// --version was asked for.
bool parseBatchOptions(const QStringList& arguments, BatchOptions& options, QString& error);

}  // namespace velarion
