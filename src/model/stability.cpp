// The Courant number and the time step's limit.
#include "stability.h"

#include <cmath>

namespace velarion {

double courantNumber(const Parameters& p) {
    return p.VFase * p.DeltaT / p.L0;
}

bool isBeyondCourantLimit(double courant) {
    constexpr double kRoundingOfOne = 1e-12;
    return std::abs(courant) > 1 + kRoundingOfOne;
}

double largestStableDeltaT(const Parameters& p) {
    return std::abs(p.L0 / p.VFase);
}

}  // namespace velarion
