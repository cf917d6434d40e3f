// The spreadsheet export at its largest: 32766 rows. The whole operation
// (question, checks, workbook built in memory, file replaced) against the
// workbook built in memory only; the ratio is the share of the checks, the
// copies out of psi and the file.
#include "bench_host.h"
#include "output/xls_workbook.h"
#include "ratio_report.h"
#include "results/excel_export.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

namespace {

using namespace velarion;

constexpr int kRows = 32766;

FormState filledForm() {
    FormState form;
    form.IndiceMatrice2 = 1;
    form.psi = Matrix::tryCreate(kRows + 1, 2);
    for (int i = 0; i <= kRows; ++i) {
        form.psi(i, 0) = -5.5e-06 * i;
        form.psi(i, 1) = 1.9998 - 5.5e-06 * i;
    }
    return form;
}

void exportToFile(benchmark::State& state) {
    const FormState form = filledForm();
    const NumberText numbers(QLocale::c());
    bench::BenchHost host;
    host.setText(ctl::Tnitertemp, QString::number(kRows));
    QTemporaryDir dir;
    for (auto _ : state) {
        if (save_file_excel(host, form, numbers, dir.filePath("LogFile.xls")) !=
            ExportOutcome::Saved) {
            state.SkipWithError("the export failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void workbookInMemory(benchmark::State& state) {
    XlsColumns columns{"psi(i,0)", "psi(i,1)", {}, {}};
    for (int i = 1; i <= kRows; ++i) {
        columns.a.push_back(-5.5e-06 * i);
        columns.b.push_back(1.9998 - 5.5e-06 * i);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(xlsWorkbook(columns));
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK(exportToFile)->Name("xls/export32766")->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(workbookInMemory)
    ->Name("xls/workbookInMemory32766")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);

const bool kRatios = [] {
    bench::addRatio("Export of 32766 rows to a file / the workbook built in memory",
                    "xls/export32766", "xls/workbookInMemory32766");
    return true;
}();

}  // namespace
