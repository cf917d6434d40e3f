// The arbitrary-precision run with the window's defaults (29 levels x 10000
// segments), on one thread and on two, reported per cell and per component
// call. The plain Python decimal loop of the same operations
// (bench/decimal_loop.py, run by `make bench` right after) gives the figure
// to compare with.
#include "bench_host.h"
#include "ratio_report.h"
#include "runs/precision_run.h"

#include <benchmark/benchmark.h>

namespace {

using namespace velarion;

constexpr int kCells = 29 * 10000;

using bench::BenchHost;

// range(0): threads; range(1): the text of TP (0 or 1).
void precisionRun(benchmark::State& state) {
    const QLocale locale(QLocale::Italian, QLocale::Italy);
    const NumberText numbers(locale);
    BenchHost host(locale);
    host.setText(ctl::TP, QString::number(state.range(1)));
    FormState form;
    form.threads = static_cast<int>(state.range(0));
    std::int64_t calls = 0;
    for (auto _ : state) {
        host.setText(ctl::TLog, QString());
        PrecisionRun run(host, form, numbers);
        if (run.run() != RunOutcome::Completed) {
            state.SkipWithError("the run did not complete");
            break;
        }
        calls += run.componentCalls();
    }
    using benchmark::Counter;
    state.counters["per_cell"] = Counter(static_cast<double>(state.iterations()) * kCells,
                                         Counter::kIsRate | Counter::kInvert);
    state.counters["per_call"] =
        Counter(static_cast<double>(calls), Counter::kIsRate | Counter::kInvert);
}

BENCHMARK(precisionRun)
    ->Name("precision/run")
    ->ArgNames({"threads", "TP"})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5);

const bool kRatios = [] {
    bench::addRatio("precision run on 1 thread / on 2, defaults", "precision/run/threads:1/TP:0",
                    "precision/run/threads:2/TP:0");
    return true;
}();

}  // namespace
