// The results file of the double run of 5000 x 10000 (a psi of 400 MB)
// against the CSV of the same rows and segments: the time to write each,
// and their sizes. The positions deflated at levels 0, 1 and 4 show the
// level that pays.
#include "bench_host.h"
#include "ratio_report.h"
#include "results/form_record.h"
#include "results/psi_csv.h"
#include "results/results_file.h"
#include "runs/double_run.h"

#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QTemporaryDir>

namespace {

using namespace velarion;

constexpr int kLevels = 5000;
constexpr int kLastSegment = 9999;

// The run, once: a pressure wave on the restoring end's column.
const RunRecord& bigRun() {
    static const RunRecord record = [] {
        bench::BenchHost host;
        host.setText(ctl::TINDICE_MATRICE1, QString::number(kLevels));
        host.setText(ctl::Tnitertemp, QString::number(kLevels));
        host.setText(ctl::TINDICE_MATRICE2, QString::number(kLastSegment));
        host.setText(ctl::TP, QStringLiteral("1"));
        FormState form;
        form.freeEnd = FreeEnd::Restoring;
        const NumberText numbers(QLocale::c());
        DoubleRun(host, form, numbers, QString()).run();
        return *recordOfForm(form);
    }();
    return record;
}

const FormState& bigForm() {
    static const FormState form = [] {
        FormState f;
        const RunRecord& r = bigRun();
        f.psi = Matrix::tryCreate(static_cast<std::size_t>(r.lastRow) + 1,
                                  static_cast<std::size_t>(r.lastSegment) + 1);
        for (int j = 0; j <= r.lastRow; ++j) {
            std::copy_n(r.positions->row(static_cast<std::size_t>(j)), r.lastSegment + 1,
                        f.psi.row(static_cast<std::size_t>(j)));
        }
        f.psiRows = PsiRows{RunKind::Double,       r.parameters, r.lastSegment, r.lastRow,
                            RunOutcome::Completed, r.freeEnd,    r.hammer};
        return f;
    }();
    return form;
}

void writeResults(benchmark::State& state) {
    const RunRecord& record = bigRun();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.nc"));
    for (auto _ : state) {
        QString error;
        if (!writeResultsFile(record, path, error, static_cast<int>(state.range(0)))) {
            state.SkipWithError(qPrintable(error));
            break;
        }
    }
    state.counters["MB"] = static_cast<double>(QFileInfo(path).size()) / 1e6;
}

void writeCsv(benchmark::State& state) {
    const FormState& form = bigForm();
    QStringList segments;
    for (int s = 0; s <= kLastSegment; ++s) {
        segments << QString::number(s);
    }
    const QString list = segments.join(QLatin1Char(','));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("psi.csv"));
    for (auto _ : state) {
        QString error;
        if (!exportPsiCsv(form, list, path, error)) {
            state.SkipWithError(qPrintable(error));
            break;
        }
    }
    state.counters["MB"] = static_cast<double>(QFileInfo(path).size()) / 1e6;
}

BENCHMARK(writeResults)
    ->Name("results/netcdf")
    ->Arg(0)
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3);
BENCHMARK(writeCsv)
    ->Name("results/csv")
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3);

const bool kRatios = [] {
    bench::addRatio("results file (deflate 1) / CSV of the same 5000 x 10000 (at most 0.5)",
                    "results/netcdf/1/iterations:1", "results/csv/iterations:1");
    bench::addRatio("results file deflated at 1 / stored as it is", "results/netcdf/1/iterations:1",
                    "results/netcdf/0/iterations:1");
    return true;
}();

}  // namespace
