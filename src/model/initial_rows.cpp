#include "initial_rows.h"

#include "kernel.h"
#include "run_failure.h"

namespace velarion {

void layOutAtRest(double* row0, int M, double L0) {
    row0[0] = 0;
    for (int s = 1; s <= M; ++s) {
        row0[s] = row0[s - 1] + L0;
    }
}

void moveByInitialVelocity(const double* row0, double* row1, int M, double DeltaT, double V0) {
    const double shift = DeltaT * V0;
    for (int s = 0; s <= M; ++s) {
        row1[s] = row0[s] - shift;
    }
}

void holdClosedEnds(const double* row0, double* row1, int M, FirstEnd firstEnd, FreeEnd lastEnd) {
    if (firstEnd == FirstEnd::Closed) {
        row1[0] = row0[0];
    }
    if (lastEnd == FreeEnd::Closed) {
        row1[M] = row0[M];
    }
}

void refuseNonFiniteFirstRows(const double* row0, const double* row1, int M) {
    for (const auto& [level, row] : {std::pair{0, row0}, std::pair{1, row1}}) {
        if (const int s = firstNonFinite(row, M); s >= 0) {
            throw RunFailure(nonFiniteReason(level, s));
        }
    }
}

}  // namespace velarion
