// The files velarion-batch writes after a run.
#include "batch_outputs.h"

#include "charts/plot_file.h"
#include "results/psi_csv.h"
#include "runs/parameter_reader.h"

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
    if (options.plot) {
        written = writePlot(form, options) && written;
    }
    return written;
}

}  // namespace velarion
