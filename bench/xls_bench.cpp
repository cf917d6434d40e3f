// The spreadsheet export at its largest: 32766 rows. The whole operation
// (question, checks, workbook built in memory, file replaced) against the
// workbook built in memory only; the ratio is the share of the checks, the
// copies out of psi and the file.
#include "engine/excel_export.h"
#include "output/xls_workbook.h"
#include "ratio_report.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

namespace {

using namespace velarion;

constexpr int kRows = 32766;

// Answers Yes and holds nothing but Tnitertemp.
class ExportHost : public WindowOps {
  public:
    QString text(std::string_view) const override { return QString::number(kRows); }
    void setText(std::string_view, const QString&) override {}
    bool isTicked(std::string_view) const override { return true; }
    void setEnabled(std::string_view, bool) override {}
    void setStatus(const QString&) override {}
    void setProgressWidth(float) override {}
    void repaint(std::string_view) override {}
    void processEvents() override {}
    MessageAnswer messageBox(const MessageRequest& request) override {
        failed_ = failed_ || request.icon == MessageIcon::Critical;
        return MessageAnswer::Yes;
    }
    std::optional<QString> inputBox(const QString&, const QString&) override { return {}; }
    void beep(int, int) override {}
    std::int64_t tickCountMs() const override { return 0; }
    bool stopFlag() const override { return false; }
    void setStopFlag(bool) override {}
    bool failed() const { return failed_; }

  private:
    bool failed_ = false;
};

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
    ExportHost host;
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
