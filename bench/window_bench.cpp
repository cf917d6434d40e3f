// The window's cost in a long run: the counter text TK is set once per
// snapshot cycle. Measured on the real widgets (offscreen) against the
// kernel work of one cycle at the default column (N = 100: 3 * 100 levels
// of M = 9999).
#include "engine/kernel.h"
#include "ratio_report.h"
#include "window/form1.h"

#include <QApplication>

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

void kernelCycle(benchmark::State& state) {
    constexpr int M = 9999, kLevels = 300;
    std::vector<std::vector<double>> rows(3, std::vector<double>(M + 1));
    for (int s = 0; s <= M; ++s) {
        rows[0][s] = 2.0 * s / M;
        rows[1][s] = rows[0][s] - 0.0000055;
    }
    const auto f = velarion::KernelFactors::from(0.000001, 0.0002, 1000, 2500000, 0);
    for (auto _ : state) {
        int a = 1, b = 0, c = 2;
        for (int level = 0; level < kLevels; ++level) {
            benchmark::DoNotOptimize(
                velarion::updateRow(rows[a].data(), rows[b].data(), rows[c].data(), M, f));
            const int old = b;
            b = a;
            a = c;
            c = old;
        }
    }
}

BENCHMARK(setTK)->Name("window/setTK");
BENCHMARK(kernelCycle)->Name("window/kernelCycle/N=100/M=9999");

const bool kRatios = [] {
    velarion::bench::addRatio("kernel cycle (N = 100, M = 9999) / one TK update",
                              "window/kernelCycle/N=100/M=9999", "window/setTK");
    return true;
}();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    velarion::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
