#pragma once

#include <span>

namespace velarion {

// The factors of the column update, formed once per run.
struct KernelFactors {
    double k1 = 0;  // c * (1 / Rho)
    double k2 = 0;  // c * (B / Rho)
    double B = 0;
    double P = 0;
    double L0 = 0;

    // c = pow(DeltaT / L0, 2.0) by the power function, not a product.
    static KernelFactors from(double DeltaT, double L0, double Rho, double B, double P);
};

// Computes one time level: target[0..M] from the level before (current)
// and the one before that (previous). Needs M >= 1; the three rows must not
// overlap. Returns false when any value written is infinite or NaN.
// Runs the widest variant this processor supports, with the same bits as
// updateRowScalar.
bool updateRow(const double* current, const double* previous, double* target, int M,
               const KernelFactors& f);

// The same update as a plain scalar loop: the reference for tests and benchmarks.
bool updateRowScalar(const double* current, const double* previous, double* target, int M,
                     const KernelFactors& f);

using UpdateRowFunction = bool (*)(const double*, const double*, double*, int,
                                   const KernelFactors&);

// One vectorised build of updateRow for one instruction set.
struct KernelVariant {
    const char* name;
    UpdateRowFunction update;
    bool supported;  // whether this processor can run it
};

// Every vectorised variant in this binary, widest first; updateRow runs the
// first supported one. The last ("baseline") runs on any processor.
std::span<const KernelVariant> kernelVariants();

// Index of the first infinite or NaN value of row[0..M], or -1.
int firstNonFinite(const double* row, int M);

}  // namespace velarion
