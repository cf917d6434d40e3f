// The files velarion-batch writes after a run.
#include "batch_outputs.h"

#include "charts/plot_file.h"
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

}  // namespace

bool writeResults(const FormState& form, const BatchOptions& options) {
    bool written = true;
    if (options.csv) {
        written = writeCsv(form, options) && written;
    }
    if (options.plot) {
        written = writePlot(form, options) && written;
    }
    return written;
}

}  // namespace velarion
