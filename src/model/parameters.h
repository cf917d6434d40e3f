#pragma once

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
    double D = 0;  // the diameter, as the box TD gives it
    double F = 0;
    double tot = 0;
    double B = 0;
    double L0 = 0;
    std::int16_t nitertemp = 0;
    std::int16_t N = 0;
};

}  // namespace velarion
