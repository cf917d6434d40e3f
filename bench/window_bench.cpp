// The window's cost in a long run: the counter text TK is set once per
// cycle of three levels. Measured on the real widgets (offscreen) against
// the kernel work of one cycle at the default column (M = 9999), both as
// the run pays it (the text waits for the next repaint) and when the
// widget is updated every time. A double run of 2000 levels at the default
// column with the results window open, which follows the run at its pump
// points, against the same run with the window closed. And a long
// Girotondo run (N = 30000, 30 snapshots, 2.7E+10 cells) from the window
// with the results window open, against the same run through the batch
// front end's host, as velarion-batch runs it: elapsed times, since the
// window's run computes on a thread of its own.
#include "app/batch_host.h"
#include "model/kernel.h"
#include "ratio_report.h"
#include "runs/girotondo_run.h"
#include "window/form1.h"
#include "window/qt_window_ops.h"
#include "window/results_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

velarion::window::Form1& form() {
    static velarion::window::Form1 window(QLocale(QLocale::Italian, QLocale::Italy));
    return window;
}

void setTK(benchmark::State& state) {
    velarion::WindowOps& ops = form().ops();
    int K = 0;
    for (auto _ : state) {
        ops.setText(velarion::ctl::TK, QString::number(++K));
    }
}

void setAndShowTK(benchmark::State& state) {
    auto& ops = static_cast<velarion::window::QtWindowOps&>(form().ops());
    int K = 0;
    for (auto _ : state) {
        ops.setText(velarion::ctl::TK, QString::number(++K));
        ops.flushCounters();
    }
}

void kernelCycle(benchmark::State& state) {
    constexpr int M = 9999;
    std::vector<double> r0(M + 1), r1(M + 1), r2(M + 1);
    for (int s = 0; s <= M; ++s) {
        r0[s] = 2.0 * s / M;
        r1[s] = r0[s] - 0.0000055;
    }
    const auto f = velarion::KernelFactors::from(0.000001, 0.0002, 1000, 2500000, 0);
    velarion::updateRow(r1.data(), r0.data(), r2.data(), M, f);
    for (auto _ : state) {
        benchmark::DoNotOptimize(velarion::updateRow(r2.data(), r1.data(), r0.data(), M, f));
        benchmark::DoNotOptimize(velarion::updateRow(r0.data(), r2.data(), r1.data(), M, f));
        benchmark::DoNotOptimize(velarion::updateRow(r1.data(), r0.data(), r2.data(), M, f));
    }
}

// A Form1 of its own, set for a run of 2000 levels without LogFile.txt,
// in a folder of its own.
velarion::window::Form1& runForm() {
    static QTemporaryDir dir;
    static const bool inDir = QDir::setCurrent(dir.path());
    static velarion::window::Form1 window(QLocale(QLocale::Italian, QLocale::Italy));
    static const bool set = [] {
        window.ops().setText(velarion::ctl::TINDICE_MATRICE1, QStringLiteral("2001"));
        window.ops().setText(velarion::ctl::Tnitertemp, QStringLiteral("2000"));
        window.controlAs<QCheckBox>(velarion::ctl::CLogFile)->setChecked(false);
        return true;
    }();
    (void)inDir;
    (void)set;
    return window;
}

void doubleRun(benchmark::State& state, bool open) {
    velarion::window::Form1& window = runForm();
    window.mnuResults_Click();
    window.resultsWindow()->setVisible(open);
    for (auto _ : state) {
        window.controlAs<QPushButton>(velarion::ctl::Command2)->click();
    }
    window.resultsWindow()->hide();
}

// The long Girotondo run's boxes; the restoring free end keeps the column
// finite over its 2.7 million levels.
const std::pair<const char*, const char*> kLongGirotondo[] = {
    {"TN", "30000"}, {"Tnitertemp", "30"}, {"TINDICE_MATRICE1", "30"}, {"CLogFile", "0"}};

void girotondoInWindow(benchmark::State& state) {
    static QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    velarion::window::Form1 window(QLocale(QLocale::Italian, QLocale::Italy));
    for (const auto& [box, text] : kLongGirotondo) {
        if (QString(box) == "CLogFile") {
            window.controlAs<QCheckBox>(velarion::ctl::CLogFile)->setChecked(false);
        } else {
            window.ops().setText(box, QString::fromLatin1(text));
        }
    }
    window.state().freeEnd = velarion::FreeEnd::Restoring;
    window.mnuResults_Click();
    for (auto _ : state) {
        window.controlAs<QPushButton>(velarion::ctl::Command4)->click();
    }
    if (!window.ops().text(velarion::ctl::LStatus).startsWith("Elaboration")) {
        state.SkipWithError("the run did not complete");
    }
}

void girotondoInBatchHost(benchmark::State& state) {
    static QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const QLocale locale(QLocale::Italian, QLocale::Italy);
    const velarion::NumberText numbers(locale);
    for (auto _ : state) {
        velarion::BatchHost host(locale);
        QString error;
        for (const auto& [box, text] : kLongGirotondo) {
            if (!host.assign(QString::fromLatin1(box), QString::fromLatin1(text), error)) {
                state.SkipWithError(qPrintable(error));
                return;
            }
        }
        velarion::FormState form;
        form.freeEnd = velarion::FreeEnd::Restoring;
        velarion::GirotondoRun run(host, form, numbers);
        if (run.run() != velarion::RunOutcome::Completed) {
            state.SkipWithError("the run did not complete");
        }
    }
}

BENCHMARK(girotondoInWindow)
    ->Name("window/girotondo/N=30000/results=open")
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(girotondoInBatchHost)
    ->Name("window/girotondo/N=30000/batch")
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(doubleRun, closed, false)
    ->Name("window/doubleRun/results=closed")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(doubleRun, open, true)
    ->Name("window/doubleRun/results=open")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(setTK)->Name("window/setTK");
BENCHMARK(setAndShowTK)->Name("window/setTK+widget");
BENCHMARK(kernelCycle)->Name("window/kernelCycle/M=9999");

const bool kRatios = [] {
    using velarion::bench::addRatio;
    addRatio("kernel cycle (M = 9999) / TK as the run sets it", "window/kernelCycle/M=9999",
             "window/setTK");
    addRatio("kernel cycle (M = 9999) / TK set on the widget", "window/kernelCycle/M=9999",
             "window/setTK+widget");
    addRatio("double run, 2000 levels: results window open / closed",
             "window/doubleRun/results=open", "window/doubleRun/results=closed");
    addRatio("Girotondo N = 30000: window, results open / velarion-batch's host",
             "window/girotondo/N=30000/results=open/iterations:1/real_time",
             "window/girotondo/N=30000/batch/iterations:1/real_time");
    return true;
}();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    velarion::bench::printMachine();
    velarion::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
