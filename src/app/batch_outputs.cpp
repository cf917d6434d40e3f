// The files velarion-batch writes after a run.
#include "batch_outputs.h"

#include "plot_loader.h"

#include "output/run_log.h"
#include "output/whole_file.h"
#include "results/energy_series.h"
#include "results/envelope_table.h"
#include "results/excel_export.h"
#include "results/psi_csv.h"
#include "results/results_file.h"
#include "runs/parameter_reader.h"

#include <QDir>

#include <unistd.h>

#include <cstdio>

namespace velarion {

namespace {

QString descriptorName(int descriptor) {
    switch (descriptor) {
        case STDOUT_FILENO:
            return QStringLiteral("the standard output");
        case STDERR_FILENO:
            return QStringLiteral("the standard error");
        default:
            return QStringLiteral("descriptor %1").arg(descriptor);
    }
}

bool isDescriptor(const OutputTarget& target, int descriptor) {
    return target.kind == OutputTarget::Kind::Descriptor && target.descriptor == descriptor;
}

// The energy of levels beyond the kept ones was checked but is in no file.
void warnOfUnkeptEnergy(const RunRecord& record, const BatchOptions& options) {
    const auto kept = static_cast<long long>(record.energy.kept().size());
    const auto levels = static_cast<long long>(record.energy.levels());
    if (levels <= kept) {
        return;
    }
    const long long every = options.energyEvery;
    std::fprintf(stderr,
                 "velarion-batch: warning: --energy: the file holds levels %lld to %lld of %lld; "
                 "the energy of the later levels was checked but not kept\n",
                 every, kept / every * every, levels);
}

}  // namespace

bool writeCsvFile(const FinishedRun& run, const OutputFile& file, const BatchOptions& options,
                  QString& error) {
    return exportPsiCsv(run.record, options.csvSegments, file.path, error);
}

bool writeEnergyFile(const FinishedRun& run, const OutputFile& file, const BatchOptions& options,
                     QString& error) {
    if (!writeEnergyCsv(run.record, file.path, error, options.energyEvery)) {
        return false;
    }
    warnOfUnkeptEnergy(run.record, options);
    return true;
}

bool writeEnvelopeFile(const FinishedRun& run, const OutputFile& file, const BatchOptions&,
                       QString& error) {
    return writeEnvelopeCsv(run.record, file.path, error);
}

bool writeResultsFileOf(const FinishedRun& run, const OutputFile& file, const BatchOptions&,
                        QString& error) {
    return writeResultsFile(run.record, file.path, error);
}

bool writePlotFileOf(const FinishedRun& run, const OutputFile& file, const BatchOptions& options,
                     QString& error) {
    const PlotModule* plot = loadedPlotModule();
    if (plot == nullptr) {
        error = QStringLiteral("the chart module was not loaded");
        return false;
    }
    if (run.form == nullptr) {
        error = QStringLiteral("there is not enough memory for the rows to draw");
        return false;
    }
    return plot->write(*run.form, run.record.envelope, options.locale, file.path, error,
                       options.pageOf(file));
}

std::vector<PlannedOutput> plannedOutputs(const BatchOptions& options, bool logTicked,
                                          bool exportTicked) {
    std::vector<PlannedOutput> rows;
    if (options.from) {
        rows.push_back({QStringLiteral("--from"), *options.from});
    }
    if (logTicked) {
        rows.push_back(
            {QString::fromLatin1(RunLog::kFileName), QString::fromLatin1(RunLog::kFileName)});
    }
    // The decimal run never exports.
    if (exportTicked && options.run != RunKind::Precision) {
        rows.push_back({QString::fromLatin1(kExcelFileName), QString::fromLatin1(kExcelFileName)});
    }
    for (const BatchOption& option : batchOptions()) {
        if (option.isOutput()) {
            for (const OutputFile& file : options.*option.files) {
                rows.push_back({optionName(option), file.path});
            }
        }
    }
    const QString standardOutput = QStringLiteral("/dev/stdout");
    if (options.verify) {
        rows.push_back({QStringLiteral("--verify"), standardOutput});
    } else if (!options.from && !isStdoutTaken(options)) {
        rows.push_back({QStringLiteral("the standard output"), standardOutput});
    }
    return rows;
}

QString refusedOutput(const std::vector<PlannedOutput>& outputs) {
    for (const PlannedOutput& output : outputs) {
        const OutputTarget target = resolveOutputTarget(output.path);
        if (target.kind == OutputTarget::Kind::Refused) {
            return QStringLiteral("%1: %2").arg(output.what, target.refusal);
        }
    }
    return {};
}

QString collidingOutputs(const std::vector<PlannedOutput>& outputs) {
    std::vector<OutputTarget> targets;
    for (const PlannedOutput& output : outputs) {
        targets.push_back(resolveOutputTarget(output.path));
    }
    for (std::size_t i = 0; i < targets.size(); ++i) {
        for (std::size_t j = i + 1; j < targets.size(); ++j) {
            // Two outputs taking turns on one descriptor would mix their lines.
            if (targets[i].kind == OutputTarget::Kind::Descriptor &&
                isDescriptor(targets[j], targets[i].descriptor)) {
                return QStringLiteral("%1 and %2 both write to %3")
                    .arg(outputs[i].what, outputs[j].what, descriptorName(targets[i].descriptor));
            }
            if (isSameOutput(targets[i], targets[j])) {
                const QString file = targets[i].file.isEmpty() ? targets[j].file : targets[i].file;
                return QStringLiteral("%1 and %2 lead to the same file, %3")
                    .arg(outputs[i].what, outputs[j].what, QDir::toNativeSeparators(file));
            }
        }
    }
    return {};
}

bool isStdoutTaken(const BatchOptions& options) {
    for (const BatchOption& option : batchOptions()) {
        if (!option.isOutput() || !option.streams) {
            continue;
        }
        for (const OutputFile& file : options.*option.files) {
            if (isDescriptor(resolveOutputTarget(file.path), STDOUT_FILENO)) {
                return true;
            }
        }
    }
    return false;
}

bool hasResults(const BatchOptions& options) {
    for (const BatchOption& option : batchOptions()) {
        if (option.isOutput() && !(options.*option.files).empty()) {
            return true;
        }
    }
    return false;
}

bool checkCsvSegments(const BatchOptions& options, WindowOps& host, const NumberText& numbers,
                      QString& error) {
    if (options.csvSegments.isEmpty()) {
        return true;
    }
    const auto lastSegment = ParameterReader(host, numbers).peekInt32(ctl::TINDICE_MATRICE2);
    if (!lastSegment || *lastSegment < 0) {
        return true;
    }
    QString why;
    if (parseSegmentList(options.csvSegments, *lastSegment, why)) {
        return true;
    }
    if (why.endsWith(QLatin1Char('.'))) {
        why.chop(1);
    }
    error = QStringLiteral("--csv-segments: %1").arg(why);
    return false;
}

bool writeResults(const RunRecord* record, const FormState* form, const BatchOptions& options) {
    bool written = true;
    for (const BatchOption& option : batchOptions()) {
        if (!option.isOutput()) {
            continue;
        }
        for (const OutputFile& file : options.*option.files) {
            QString error = QStringLiteral("No run has left rows in psi yet.");
            if (record == nullptr || !option.write({*record, form}, file, options, error)) {
                std::fprintf(stderr, "velarion-batch: %s: %s\n", qPrintable(optionName(option)),
                             qPrintable(error));
                written = false;
            }
        }
    }
    return written;
}

}  // namespace velarion
