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
    if (options.csv) {
        rows.push_back({QStringLiteral("--csv"), *options.csv});
    }
    if (options.plot) {
        rows.push_back({QStringLiteral("--plot"), *options.plot});
    }
    if (options.energy) {
        rows.push_back({QStringLiteral("--energy"), *options.energy});
    }
    if (options.envelope) {
        rows.push_back({QStringLiteral("--envelope"), *options.envelope});
    }
    rows.push_back({QStringLiteral("the standard output"), QStringLiteral("/dev/stdout")});
    return rows;
}

QString collidingOutputs(const std::vector<PlannedOutput>& outputs) {
    std::vector<OutputTarget> targets;
    for (const PlannedOutput& output : outputs) {
        targets.push_back(resolveOutputTarget(output.path));
    }
    for (std::size_t i = 0; i < targets.size(); ++i) {
        for (std::size_t j = i + 1; j < targets.size(); ++j) {
            if (isSameOutput(targets[i], targets[j])) {
                const QString file = targets[i].file.isEmpty() ? targets[j].file : targets[i].file;
                return QStringLiteral("%1 and %2 lead to the same file, %3")
                    .arg(outputs[i].what, outputs[j].what, QDir::toNativeSeparators(file));
            }
        }
    }
    return {};
}

bool isCsvOnStdout(const BatchOptions& options) {
    if (!options.csv) {
        return false;
    }
    const OutputTarget target = resolveOutputTarget(*options.csv);
    return target.kind == OutputTarget::Kind::Descriptor && target.descriptor == STDOUT_FILENO;
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
