#pragma once

#include "matrix.h"
#include "psi_text.h"

#include <cstdint>

namespace velarion {

// The parameter variables and derived values of the window.
struct Parameters {
    double Rho = 0;
    double VFase = 0;
    double V0 = 0;
    double DeltaT = 0;
    double P = 0;
    double A = 0;
    double F = 0;
    double tot = 0;
    double B = 0;
    double L0 = 0;
    std::int16_t nitertemp = 0;
    std::int16_t N = 0;
};

// Everything a run leaves in the window: it lasts as long as the window.
struct FormState {
    std::int32_t IndiceMatrice1 = 1000;
    std::int32_t IndiceMatrice2 = 10000;
    Parameters parameters;
    Matrix psi;
    // The three rotating rows of the Girotondo run (one row each).
    Matrix psiGiro0;
    Matrix psiGiro1;
    Matrix psiGiro2;
    // The texts of the arbitrary-precision run.
    PsiText psiText;
};

}  // namespace velarion
