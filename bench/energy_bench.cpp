// What the energy and the envelope add to a run.
//
// Girotondo, about 3e8 cells (M = 9999, N = 100, nitertemp = 100: 29998
// levels, three rows in cache). The run always computes the energy, so its
// share is measured on the levels alone: the bare kernel in the run's
// rotation, and the same with the energy of every level as the run gets it.
// The run's own overhead only adds to both times, so this ratio bounds the
// energy's share of a run from above; the energy summed in a second pass
// over the two rows is measured beside it. The envelope, kept only when
// asked for, is measured on the whole run, with it and without.
//
// Double, psi of 5000 levels x 10000 segments: the run, and the run
// followed by the energy and the envelope read from its psi.
#include "bench_host.h"
#include "model/energy.h"
#include "model/kernel.h"
#include "model/matrix.h"
#include "ratio_report.h"
#include "results/energy_series.h"
#include "results/envelope_table.h"
#include "runs/double_run.h"
#include "runs/girotondo_run.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace velarion;
using bench::BenchHost;

constexpr int kM = 9999;
constexpr int kN = 100;
constexpr int kSnapshots = 100;
// Level 2, then N - 1 cycles for the first snapshot and N for each other.
constexpr int kCycles = (kN - 1) + (kSnapshots - 1) * kN;
constexpr double kGirotondoCells = (3.0 * kCycles + 1) * (kM + 1);

Parameters defaultParameters() {
    Parameters p;
    p.Rho = 1000;
    p.VFase = 50;
    p.V0 = 5.5;
    p.DeltaT = 0.000001;
    p.P = 10000;
    p.B = 2500000;
    p.L0 = 0.0002;
    return p;
}

enum class Energy { None, Fused, SecondPass };

// Levels 2 to 29998 on three rows in the run's fixed-role rotation.
void girotondoLevels(benchmark::State& state, Energy energy) {
    const Parameters p = defaultParameters();
    const KernelFactors f = KernelFactors::from(p.DeltaT, p.L0, p.Rho, p.B, p.P);
    Matrix rows[3];
    for (std::size_t i = 0; i < 3; ++i) {
        rows[i] = Matrix::tryCreate(1, kM + 1, Matrix::spreadPageOffset(i, 3));
    }
    double* r0 = rows[0].row(0);
    double* r1 = rows[1].row(0);
    double* r2 = rows[2].row(0);
    EnergyRecord record;
    std::vector<EnergySums> sums(static_cast<std::size_t>(energyBlockCount(kM)));
    // Fused, as the run gets it: the sums of `current` paired with
    // `previous` come with the update. The other way: a second pass over the
    // two rows after the update.
    const auto update = [&](const double* current, const double* previous, double* target) {
        if (energy == Energy::Fused) {
            const bool finite = updateRowWithEnergy(current, previous, target, kM, f, sums);
            record.add(energyFromSums(sums, current[0], previous[0], p));
            return finite;
        }
        const bool finite = updateRow(current, previous, target, kM, f);
        if (energy == Energy::SecondPass) {
            record.add(energyBetween(current, target, kM, p));
        }
        return finite;
    };
    for (auto _ : state) {
        for (int s = 0; s <= kM; ++s) {
            r0[s] = s * p.L0;
            r1[s] = r0[s] - 0.0000055;
        }
        record = EnergyRecord();
        bool finite = update(r1, r0, r2);
        for (int cycle = 0; cycle < kCycles; ++cycle) {
            finite &= update(r2, r1, r0);
            finite &= update(r0, r2, r1);
            finite &= update(r1, r0, r2);
        }
        benchmark::DoNotOptimize(finite);
        benchmark::DoNotOptimize(r2);
        benchmark::DoNotOptimize(record);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kGirotondoCells));
}

void girotondoRun(benchmark::State& state, bool envelope) {
    const QLocale locale = QLocale::c();
    const NumberText numbers(locale);
    BenchHost host(locale);
    host.setText(ctl::TN, QString::number(kN));
    host.setText(ctl::Tnitertemp, QString::number(kSnapshots));
    host.setText(ctl::TINDICE_MATRICE1, QString::number(kSnapshots));
    FormState form;
    form.threads = 1;  // processor time: one thread
    for (auto _ : state) {
        GirotondoRun run(host, form, numbers);
        run.setEnvelope(envelope);
        if (run.run() != RunOutcome::Completed) {
            state.SkipWithError("the run did not complete");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kGirotondoCells));
}

void doubleRun(benchmark::State& state, bool readAfter) {
    const QLocale locale = QLocale::c();
    const NumberText numbers(locale);
    BenchHost host(locale);
    host.setText(ctl::TINDICE_MATRICE1, "5000");
    host.setText(ctl::Tnitertemp, "5000");
    host.setText(ctl::TP, "1");
    FormState form;
    form.threads = 1;  // processor time: one thread
    for (auto _ : state) {
        if (DoubleRun(host, form, numbers).run() != RunOutcome::Completed) {
            state.SkipWithError("the run did not complete");
            break;
        }
        if (readAfter) {
            const EnergyRecord& energy = energyOfRun(form);
            const Envelope& envelope = envelopeOfRun(form);
            benchmark::DoNotOptimize(energy.instability());
            benchmark::DoNotOptimize(envelope.maxDisplacement(0));
        }
    }
    state.SetItemsProcessed(state.iterations() * 4999 * 10000);
}

// Repeated, so that the ratios compare medians on a busy machine.
BENCHMARK_CAPTURE(girotondoLevels, kernel, Energy::None)
    ->Name("energy/girotondo/levels")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);
BENCHMARK_CAPTURE(girotondoLevels, fused, Energy::Fused)
    ->Name("energy/girotondo/levels+energy")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);
BENCHMARK_CAPTURE(girotondoLevels, secondPass, Energy::SecondPass)
    ->Name("energy/girotondo/levels+energy in a second pass")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);
BENCHMARK_CAPTURE(girotondoRun, plain, false)
    ->Name("energy/girotondo/run")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);
BENCHMARK_CAPTURE(girotondoRun, envelope, true)
    ->Name("energy/girotondo/run+envelope")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);
BENCHMARK_CAPTURE(doubleRun, plain, false)
    ->Name("energy/double/run")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);
BENCHMARK_CAPTURE(doubleRun, read, true)
    ->Name("energy/double/run+energy+envelope")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);

const bool kRatios = [] {
    bench::addRatio("Girotondo levels with the energy / without, 3e8 cells",
                    "energy/girotondo/levels+energy", "energy/girotondo/levels");
    bench::addRatio("Girotondo levels with the energy in a second pass / fused (the run fuses)",
                    "energy/girotondo/levels+energy in a second pass",
                    "energy/girotondo/levels+energy");
    bench::addRatio("Girotondo run with the envelope / without, 3e8 cells",
                    "energy/girotondo/run+envelope", "energy/girotondo/run");
    bench::addRatio("Double run with energy and envelope from psi / run, 5000 x 10000",
                    "energy/double/run+energy+envelope", "energy/double/run");
    return true;
}();

}  // namespace
