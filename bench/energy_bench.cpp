// What the energy and the envelope add to a run.
//
// Girotondo, about 3e8 cells (M = 9999, about 3e4 levels, three rows in
// cache): the bare kernel in its rotation, the same with the energy of
// every level (which the run always computes), and with the envelope as
// well (computed when asked for). The run's own overhead only adds to the
// times, so these ratios bound what the two add to a whole run.
//
// Double, psi of 5000 levels x 10000 segments: the run, and the energy and
// the envelope read from its psi afterwards.
#include "bench_host.h"
#include "model/energy.h"
#include "model/envelope.h"
#include "model/kernel.h"
#include "model/matrix.h"
#include "ratio_report.h"

#include <benchmark/benchmark.h>

namespace {

using namespace velarion;

constexpr int kM = 9999;
constexpr int kCycles = 9999;  // levels 3 to 30000
constexpr double kCells = (3.0 * kCycles + 1) * (kM + 1);

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

enum class Extra { None, Energy, EnergyAndEnvelope };

// Levels 2 to 30000 on three rows in the run's fixed-role rotation.
void girotondoLevels(benchmark::State& state, Extra extra) {
    const Parameters p = defaultParameters();
    const KernelFactors f = KernelFactors::from(p.DeltaT, p.L0, p.Rho, p.B, p.P);
    Matrix rows[3];
    for (std::size_t i = 0; i < 3; ++i) {
        rows[i] = Matrix::tryCreate(1, kM + 1, Matrix::spreadPageOffset(i, 3));
    }
    double* r0 = rows[0].row(0);
    double* r1 = rows[1].row(0);
    double* r2 = rows[2].row(0);
    EnergyRecord energy;
    Envelope envelope;
    // With the energy, as the run does: the sums of `current` paired with
    // `previous` come with the update.
    const auto update = [&](const double* current, const double* previous, double* target) {
        if (extra == Extra::None) {
            return updateRow(current, previous, target, kM, f);
        }
        EnergySums sums;
        const bool finite = updateRowWithEnergy(current, previous, target, kM, f, sums);
        energy.add(energyFromSums(sums, current[0], previous[0], p));
        return finite;
    };
    for (auto _ : state) {
        for (int s = 0; s <= kM; ++s) {
            r0[s] = s * p.L0;
            r1[s] = r0[s] - 0.0000055;
        }
        energy = EnergyRecord();
        if (extra == Extra::EnergyAndEnvelope) {
            envelope.start(r0, kM);
            envelope.add(r1);
        }
        bool finite = update(r1, r0, r2);
        for (int cycle = 0; cycle < kCycles; ++cycle) {
            finite &= update(r2, r1, r0);
            finite &= update(r0, r2, r1);
            finite &= update(r1, r0, r2);
            if (extra == Extra::EnergyAndEnvelope) {
                envelope.add3(r0, r1, r2);
            }
        }
        benchmark::DoNotOptimize(finite);
        benchmark::DoNotOptimize(r2);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kCells));
}

BENCHMARK_CAPTURE(girotondoLevels, kernel, Extra::None)
    ->Name("energy/girotondo/kernel")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);
BENCHMARK_CAPTURE(girotondoLevels, energy, Extra::Energy)
    ->Name("energy/girotondo/kernel+energy")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);
BENCHMARK_CAPTURE(girotondoLevels, envelope, Extra::EnergyAndEnvelope)
    ->Name("energy/girotondo/kernel+energy+envelope")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);

const bool kRatios = [] {
    bench::addRatio("Girotondo levels with the energy / without, 3e8 cells",
                    "energy/girotondo/kernel+energy", "energy/girotondo/kernel");
    bench::addRatio("Girotondo levels with the energy and the envelope / without, 3e8 cells",
                    "energy/girotondo/kernel+energy+envelope", "energy/girotondo/kernel");
    return true;
}();

}  // namespace
