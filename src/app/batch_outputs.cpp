// The files velarion-batch writes after a run.
#include "batch_outputs.h"

#include "plot_loader.h"

#include "output/run_log.h"
#include "output/whole_file.h"
#include "results/energy_series.h"
#include "results/envelope_table.h"
#include "results/excel_export.h"
#include "results/psi_csv.h"
#include "runs/parameter_reader.h"

#include <QDir>

#include <unistd.h>

#include <cstdio>
#include <optional>
#include <utility>

namespace velarion {

namespace {

bool writeCsv(const FormState& form, const BatchOptions& options) {
    QString error;
    if (exportPsiCsv(form, options.csvSegments, *options.csv, error)) {
        return true;
    }
    std::fprintf(stderr, "velarion-batch: --csv: %s\n", qPrintable(error));
    return false;
}

bool writePlot(const FormState& form, const BatchOptions& options) {
    QString error;
    const PlotModule* plot = loadedPlotModule();
    if (!form.psiRows) {
        error = QStringLiteral("No run has left rows in psi.");
    } else if (plot == nullptr) {
        error = QStringLiteral("the chart module was not loaded");
    } else if (plot->write(form, options.locale, *options.plot, error, options.plotPage)) {
        return true;
    }
    std::fprintf(stderr, "velarion-batch: --plot: %s\n", qPrintable(error));
    return false;
}

bool writeEnergy(const FormState& form, const BatchOptions& options) {
    QString error;
    EnergyRecord computed;
    const EnergyRecord& energy = energyOfRun(form, computed);
    if (!writeEnergyCsv(form, energy, *options.energy, error)) {
        std::fprintf(stderr, "velarion-batch: --energy: %s\n", qPrintable(error));
        return false;
    }
    if (energy.levels() > static_cast<std::int64_t>(energy.kept().size())) {
        std::fprintf(stderr,
                     "velarion-batch: warning: --energy: the file holds levels 1 to %lld of "
                     "%lld; the energy of the later levels was checked but not kept\n",
                     static_cast<long long>(energy.kept().size()),
                     static_cast<long long>(energy.levels()));
    }
    return true;
}

bool writeEnvelope(const FormState& form, const BatchOptions& options) {
    QString error;
    if (writeEnvelopeCsv(form, *options.envelope, error)) {
        return true;
    }
    std::fprintf(stderr, "velarion-batch: --envelope: %s\n", qPrintable(error));
    return false;
}

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

}  // namespace

std::vector<PlannedOutput> plannedOutputs(const BatchOptions& options, bool logTicked,
                                          bool exportTicked) {
    std::vector<PlannedOutput> rows;
    if (logTicked) {
        rows.push_back(
            {QString::fromLatin1(RunLog::kFileName), QString::fromLatin1(RunLog::kFileName)});
    }
    // The decimal run never exports.
    if (exportTicked && options.run != BatchRun::Precision) {
        rows.push_back({QString::fromLatin1(kExcelFileName), QString::fromLatin1(kExcelFileName)});
    }
    const std::pair<const char*, const std::optional<QString>&> files[] = {
        {"--csv", options.csv},
        {"--plot", options.plot},
        {"--energy", options.energy},
        {"--envelope", options.envelope}};
    for (const auto& [what, file] : files) {
        if (file) {
            rows.push_back({QString::fromLatin1(what), *file});
        }
    }
    const QString standardOutput = QStringLiteral("/dev/stdout");
    if (options.verify) {
        rows.push_back({QStringLiteral("--verify"), standardOutput});
    } else if (!isStdoutTaken(options)) {
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
    for (const auto* file : {&options.csv, &options.energy, &options.envelope}) {
        if (*file && isDescriptor(resolveOutputTarget(**file), STDOUT_FILENO)) {
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

bool writeResults(const FormState& form, const BatchOptions& options) {
    bool written = true;
    if (options.csv) {
        written = writeCsv(form, options) && written;
    }
    if (options.energy) {
        written = writeEnergy(form, options) && written;
    }
    if (options.envelope) {
        written = writeEnvelope(form, options) && written;
    }
    if (options.plot) {
        written = writePlot(form, options) && written;
    }
    return written;
}

}  // namespace velarion
