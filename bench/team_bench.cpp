// Threads in overlapped tiles against one thread, as elapsed time of whole
// runs, each repeated and compared by medians:
//   - Girotondo with the restoring free end, about 3e8 cells (N = 100,
//     nitertemp = 100, M = 9999): one
//     thread, two with the run's block of levels, and two with blocks of
//     8, 32, 128 and 512 levels (a snapshot, every 300 levels, ends a block
//     too);
//   - the double run, 5000 levels x 10000 segments: one thread and two;
//   - both on rows of 1024 to 8192 segments (about 3e8 cells each), one
//     thread and two: where the second thread starts to gain, which
//     gainingRowLength() records.
#include "bench_host.h"
#include "ratio_report.h"
#include "runs/double_run.h"
#include "runs/girotondo_run.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

namespace {

using namespace velarion;
using bench::BenchHost;

constexpr int kN = 100;
constexpr int kSnapshots = 100;

// range(0): threads; range(1): M; range(2): the block of levels.
void girotondoRun(benchmark::State& state) {
    const QLocale locale = QLocale::c();
    const NumberText numbers(locale);
    BenchHost host(locale);
    const int M = static_cast<int>(state.range(1));
    // About 3e8 cells whatever the row.
    const int N = kN * 10000 / (M + 1);
    host.setText(ctl::TN, QString::number(N));
    host.setText(ctl::Tnitertemp, QString::number(kSnapshots));
    host.setText(ctl::TINDICE_MATRICE1, QString::number(kSnapshots));
    host.setText(ctl::TINDICE_MATRICE2, QString::number(M));
    FormState form;
    form.threads = static_cast<int>(state.range(0));
    // The seed's free end grows unstable within the levels of a short row.
    form.freeEnd = FreeEnd::Restoring;
    for (auto _ : state) {
        GirotondoRun run(host, form, numbers);
        run.setTileDepth(static_cast<int>(state.range(2)));
        if (run.run() != RunOutcome::Completed) {
            state.SkipWithError("the run did not complete");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * 3 * N * kSnapshots * (M + 1));
}

// range(0): threads; range(1): M; levels for about 3e8 cells, at most 5000.
void doubleRun(benchmark::State& state) {
    const QLocale locale = QLocale::c();
    const NumberText numbers(locale);
    BenchHost host(locale);
    const int M = static_cast<int>(state.range(1));
    const int levels = std::min(5000, static_cast<int>(3e8 / (M + 1)));
    host.setText(ctl::TINDICE_MATRICE1, QString::number(levels));
    host.setText(ctl::Tnitertemp, QString::number(levels));
    host.setText(ctl::TINDICE_MATRICE2, QString::number(M));
    host.setText(ctl::TP, "1");
    FormState form;
    form.threads = static_cast<int>(state.range(0));
    for (auto _ : state) {
        if (DoubleRun(host, form, numbers).run() != RunOutcome::Completed) {
            state.SkipWithError("the run did not complete");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * (levels - 1) * (M + 1));
}

constexpr int kGirotondoDepth = GirotondoRun::kDefaultTileDepth;

BENCHMARK(girotondoRun)
    ->Name("team/girotondo")
    ->ArgNames({"threads", "M", "depth"})
    ->Args({1, 9999, kGirotondoDepth})
    ->Args({2, 9999, kGirotondoDepth})
    ->Args({2, 9999, 8})
    ->Args({2, 9999, 32})
    ->Args({2, 9999, 128})
    ->Args({2, 9999, 512})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly()
    ->UseRealTime();
BENCHMARK(doubleRun)
    ->Name("team/double")
    ->ArgNames({"threads", "M"})
    ->Args({1, 10000})
    ->Args({2, 10000})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly()
    ->UseRealTime();

constexpr int kShortRows[] = {1023, 2047, 4095, 8191};

void shortRows(benchmark::internal::Benchmark* b) {
    for (int M : kShortRows) {
        for (int threads : {1, 2}) {
            b->Args({threads, M, kGirotondoDepth});
        }
    }
}

void shortDoubleRows(benchmark::internal::Benchmark* b) {
    for (int M : kShortRows) {
        for (int threads : {1, 2}) {
            b->Args({threads, M});
        }
    }
}

BENCHMARK(girotondoRun)
    ->Name("team/girotondo/short")
    ->ArgNames({"threads", "M", "depth"})
    ->Apply(shortRows)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly()
    ->UseRealTime();
BENCHMARK(doubleRun)
    ->Name("team/double/short")
    ->ArgNames({"threads", "M"})
    ->Apply(shortDoubleRows)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly()
    ->UseRealTime();

std::string girotondoName(const char* group, int threads, int M, int depth) {
    return std::string("team/girotondo") + group + "/threads:" + std::to_string(threads) +
           "/M:" + std::to_string(M) + "/depth:" + std::to_string(depth);
}

std::string doubleName(const char* group, int threads, int M) {
    return std::string("team/double") + group + "/threads:" + std::to_string(threads) +
           "/M:" + std::to_string(M);
}

const bool kRatios = [] {
    const std::string one = girotondoName("", 1, 9999, kGirotondoDepth);
    bench::addRatio("Girotondo 3e8 cells, two threads / one (at most 0.6 asked)",
                    girotondoName("", 2, 9999, kGirotondoDepth), one);
    for (int depth : {8, 32, 128, 512}) {
        bench::addRatio("  two threads in blocks of " + std::to_string(depth) + " levels / one",
                        girotondoName("", 2, 9999, depth), one);
    }
    bench::addRatio("Double run 5000 x 10000, two threads / one (at most 1 asked)",
                    doubleName("", 2, 10000), doubleName("", 1, 10000));
    for (int M : kShortRows) {
        bench::addRatio("Girotondo M = " + std::to_string(M) + ", two threads / one",
                        girotondoName("/short", 2, M, kGirotondoDepth),
                        girotondoName("/short", 1, M, kGirotondoDepth));
        bench::addRatio("Double run M = " + std::to_string(M) + ", two threads / one",
                        doubleName("/short", 2, M), doubleName("/short", 1, M));
    }
    return true;
}();

}  // namespace
