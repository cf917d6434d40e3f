// The update kernel: vectorised against the scalar reference, at the default
// column (M = 9999, three rows in cache) and the largest one (M = 32766).
#include "engine/kernel.h"
#include "ratio_report.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using velarion::KernelFactors;
using Update = bool (*)(const double*, const double*, double*, int, const KernelFactors&);

KernelFactors defaultFactors() {
    // The window's defaults: DeltaT 1e-6, L0 = 2/10000, Rho 1000, B = 2500000.
    return KernelFactors::from(0.000001, 0.0002, 1000, 2500000, 0);
}

// Three rows rotating as in a long run: the target of one level is the
// current row of the next.
template <Update update>
void threeRows(benchmark::State& state) {
    const int M = static_cast<int>(state.range(0));
    std::vector<std::vector<double>> rows(3, std::vector<double>(M + 1));
    for (int s = 0; s <= M; ++s) {
        rows[0][s] = 2.0 * s / M;
        rows[1][s] = rows[0][s] - 0.0000055;
    }
    const KernelFactors f = defaultFactors();
    int a = 1, b = 0, c = 2;
    for (auto _ : state) {
        benchmark::DoNotOptimize(update(rows[a].data(), rows[b].data(), rows[c].data(), M, f));
        const int old = b;
        b = a;
        a = c;
        c = old;
    }
    state.SetItemsProcessed(state.iterations() * (M + 1));
}

// Every level in a fresh row of a large matrix, as the double-precision run
// stores them: the same arithmetic, with the memory traffic of new rows.
template <Update update>
void matrixRows(benchmark::State& state) {
    const int M = static_cast<int>(state.range(0));
    constexpr int kRows = 200;
    std::vector<double> psi(static_cast<std::size_t>(kRows) * (M + 1));
    for (int s = 0; s <= M; ++s) {
        psi[s] = 2.0 * s / M;
        psi[M + 1 + s] = psi[s] - 0.0000055;
    }
    const KernelFactors f = defaultFactors();
    int J = 2;
    for (auto _ : state) {
        double* target = psi.data() + static_cast<std::size_t>(J) * (M + 1);
        benchmark::DoNotOptimize(update(target - (M + 1), target - 2 * (M + 1), target, M, f));
        J = J + 1 < kRows ? J + 1 : 2;
    }
    state.SetItemsProcessed(state.iterations() * (M + 1));
}

BENCHMARK(threeRows<velarion::updateRow>)->Name("kernel/threeRows/vector")->Arg(9999)->Arg(32766);
BENCHMARK(threeRows<velarion::updateRowScalar>)
    ->Name("kernel/threeRows/scalar")
    ->Arg(9999)
    ->Arg(32766);
BENCHMARK(matrixRows<velarion::updateRow>)->Name("kernel/matrixRows/vector")->Arg(9999)->Arg(32766);
BENCHMARK(matrixRows<velarion::updateRowScalar>)
    ->Name("kernel/matrixRows/scalar")
    ->Arg(9999)
    ->Arg(32766);

const bool kRatios = [] {
    using velarion::bench::addRatio;
    for (const char* M : {"9999", "32766"}) {
        const std::string m = M;
        addRatio("scalar / vector, three rows, M = " + m, "kernel/threeRows/scalar/" + m,
                 "kernel/threeRows/vector/" + m);
        addRatio("scalar / vector, matrix rows, M = " + m, "kernel/matrixRows/scalar/" + m,
                 "kernel/matrixRows/vector/" + m);
        addRatio("matrix rows / three rows (vector), M = " + m, "kernel/matrixRows/vector/" + m,
                 "kernel/threeRows/vector/" + m);
    }
    return true;
}();

}  // namespace
