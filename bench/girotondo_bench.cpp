// A long Girotondo run (N = 100, nitertemp = 100, M = 9999: about 3e4
// levels) against the bare kernel doing the same levels on three rows. The
// ratio is the run's own overhead: TK and TJ updates, snapshot copies,
// checks, progress and event pumps.
#include "bench_host.h"
#include "model/kernel.h"
#include "ratio_report.h"
#include "runs/girotondo_run.h"

#include <benchmark/benchmark.h>

namespace {

using namespace velarion;

constexpr int kN = 100;
constexpr int kSnapshots = 100;
constexpr int kM = 9999;
// Level 2, then N - 1 cycles for the first snapshot and N for each other.
constexpr int kLevels = 1 + 3 * ((kN - 1) + (kSnapshots - 1) * kN);

using bench::BenchHost;

// state.range(0): the threads the run may use (--threads).
void girotondoRun(benchmark::State& state) {
    const QLocale locale = QLocale::c();
    const NumberText numbers(locale);
    BenchHost host(locale);
    host.setText(ctl::TN, QString::number(kN));
    host.setText(ctl::Tnitertemp, QString::number(kSnapshots));
    host.setText(ctl::TINDICE_MATRICE1, QString::number(kSnapshots));
    FormState form;
    form.threads = static_cast<int>(state.range(0));
    for (auto _ : state) {
        if (GirotondoRun(host, form, numbers).run() != RunOutcome::Completed) {
            state.SkipWithError("the run did not complete");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kLevels * (kM + 1));
}

// The same levels with nothing but the kernel and the fixed-role rotation.
void rawKernel(benchmark::State& state) {
    const KernelFactors f = KernelFactors::from(0.000001, 0.0002, 1000, 2500000, 0);
    // Rows allocated as the run allocates them, so both start alike.
    Matrix row0 = Matrix::tryCreate(1, kM + 1, Matrix::spreadPageOffset(0, 3));
    Matrix row1 = Matrix::tryCreate(1, kM + 1, Matrix::spreadPageOffset(1, 3));
    Matrix row2 = Matrix::tryCreate(1, kM + 1, Matrix::spreadPageOffset(2, 3));
    double* r0 = row0.row(0);
    double* r1 = row1.row(0);
    double* r2 = row2.row(0);
    for (auto _ : state) {
        for (int s = 0; s <= kM; ++s) {
            r0[s] = s * 0.0002;
            r1[s] = r0[s] - 0.0000055;
        }
        bool finite = updateRow(r1, r0, r2, kM, f);
        for (int level = 3; level <= kLevels + 1; level += 3) {
            finite &= updateRow(r2, r1, r0, kM, f);
            finite &= updateRow(r0, r2, r1, kM, f);
            finite &= updateRow(r1, r0, r2, kM, f);
        }
        benchmark::DoNotOptimize(finite);
        benchmark::DoNotOptimize(r2);
    }
    state.SetItemsProcessed(state.iterations() * kLevels * (kM + 1));
}

// Repeated, so that the ratio compares the fastest of each on a busy machine.
BENCHMARK(girotondoRun)
    ->Name("girotondo/run")
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);
BENCHMARK(rawKernel)->Name("girotondo/rawKernel")->Unit(benchmark::kMillisecond)->Repetitions(5);

const bool kRatios = [] {
    bench::addRatio("Girotondo run / raw kernel, N = 100, nitertemp = 100, M = 9999",
                    "girotondo/run/1", "girotondo/rawKernel");
    return true;
}();

}  // namespace
