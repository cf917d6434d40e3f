// The update kernel: every vectorised variant this processor supports
// against the scalar reference, at the default column (M = 9999, three rows
// in cache) and the largest one (M = 32766). Printed at the end as
// nanoseconds per cell with the ratio scalar / variant.
#include "model/kernel.h"
#include "model/matrix.h"
#include "ratio_report.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using velarion::KernelFactors;
using velarion::Matrix;
using velarion::UpdateRowFunction;

KernelFactors defaultFactors() {
    // The window's defaults: DeltaT 1e-6, L0 = 2/10000, Rho 1000, B = 2500000.
    return KernelFactors::from(0.000001, 0.0002, 1000, 2500000, 0);
}

void fillFirstLevels(double* level0, double* level1, int M) {
    for (int s = 0; s <= M; ++s) {
        level0[s] = 2.0 * s / M;
        level1[s] = level0[s] - 0.0000055;
    }
}

// Three rows laid out and rotating as in a Girotondo run: the target of one
// level is the current row of the next.
void threeRows(benchmark::State& state, UpdateRowFunction update) {
    const int M = static_cast<int>(state.range(0));
    std::vector<Matrix> rows;
    for (std::size_t i = 0; i < 3; ++i) {
        rows.push_back(Matrix::tryCreate(1, M + 1, Matrix::spreadPageOffset(i, 3)));
    }
    fillFirstLevels(rows[0].row(0), rows[1].row(0), M);
    const KernelFactors f = defaultFactors();
    int a = 1, b = 0, c = 2;
    for (auto _ : state) {
        benchmark::DoNotOptimize(update(rows[a].row(0), rows[b].row(0), rows[c].row(0), M, f));
        const int old = b;
        b = a;
        a = c;
        c = old;
    }
    state.SetItemsProcessed(state.iterations() * (M + 1));
}

// Every level in the next row of a large matrix, as the double-precision
// run stores them: the same arithmetic, with the memory traffic of new rows.
void matrixRows(benchmark::State& state, UpdateRowFunction update) {
    const int M = static_cast<int>(state.range(0));
    constexpr int kRows = 200;
    Matrix psi = Matrix::tryCreate(kRows, M + 1);
    fillFirstLevels(psi.row(0), psi.row(1), M);
    const KernelFactors f = defaultFactors();
    int J = 2;
    for (auto _ : state) {
        benchmark::DoNotOptimize(update(psi.row(J - 1), psi.row(J - 2), psi.row(J), M, f));
        J = J + 1 < kRows ? J + 1 : 2;
    }
    state.SetItemsProcessed(state.iterations() * (M + 1));
}

const bool kRegistered = [] {
    using velarion::bench::Shown;
    struct Layout {
        const char* name;
        void (*bench)(benchmark::State&, UpdateRowFunction);
    };
    for (const Layout layout : {Layout{"threeRows", threeRows}, Layout{"matrixRows", matrixRows}}) {
        const std::string prefix = std::string("kernel/") + layout.name + "/";
        std::vector<Shown> shown;
        for (const velarion::KernelVariant& variant : velarion::kernelVariants()) {
            if (variant.supported) {
                benchmark::RegisterBenchmark((prefix + variant.name).c_str(), layout.bench,
                                             variant.update)
                    ->Arg(9999)
                    ->Arg(32766);
                shown.push_back({variant.name, prefix + variant.name});
            }
        }
        benchmark::RegisterBenchmark((prefix + "scalar").c_str(), layout.bench,
                                     velarion::updateRowScalar)
            ->Arg(9999)
            ->Arg(32766);
        for (const std::string M : {"9999", "32766"}) {
            std::vector<Shown> variants;
            for (const Shown& s : shown) {
                variants.push_back({s.label, s.name + "/" + M});
            }
            velarion::bench::addPerCell(layout.name + std::string(", M = ") + M,
                                        {"scalar", prefix + "scalar/" + M}, variants,
                                        1.0 + std::stoi(M));
        }
    }
    return true;
}();

}  // namespace
