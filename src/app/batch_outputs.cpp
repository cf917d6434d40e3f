// The files velarion-batch writes after a run.
#include "batch_outputs.h"

#include "charts/plot_file.h"
#include "results/energy_series.h"
#include "results/envelope_table.h"
#include "results/psi_csv.h"

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
    if (!form.psiRows) {
        error = QStringLiteral("No run has left rows in psi.");
    } else if (writePlotFile(form, options.locale, *options.plot, error)) {
        return true;
    }
    std::fprintf(stderr, "velarion-batch: --plot: %s\n", qPrintable(error));
    return false;
}

bool writeEnergy(const FormState& form, const BatchOptions& options) {
    QString error;
    const EnergyRecord energy = energyOfRun(form);
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

bool writeResults(const FormState& form, const BatchOptions& options) {
    bool written = true;
    if (options.csv) {
        written = writeCsv(form, options) && written;
    }
    if (options.plot) {
        written = writePlot(form, options) && written;
    }
    if (options.energy) {
        written = writeEnergy(form, options) && written;
    }
    if (options.envelope) {
        written = writeEnvelope(form, options) && written;
    }
    return written;
}

}  // namespace velarion
