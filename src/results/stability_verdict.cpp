// The stability verdict on a run and its wording.
#include "stability_verdict.h"

#include "energy_series.h"
#include "model/stability.h"

#include <algorithm>
#include <cmath>

namespace velarion {

namespace {

bool sitsAtFreeEnd(int segment, int M) {
    return segment >= 0 && segment >= M - std::max(2, (M + 1) / 10);
}

QString energyChange(const Instability& instability, const NumberText& numbers) {
    if (!std::isfinite(instability.energy)) {
        return QStringLiteral("the energy, %1 J/m2 at level 1, is no longer a finite number")
            .arg(numbers.brief(instability.reference));
    }
    return QStringLiteral("the energy %1 from %2 to %3 J/m2")
        .arg(instability.energy > instability.reference ? QStringLiteral("grew")
                                                        : QStringLiteral("fell"),
             numbers.brief(instability.reference), numbers.brief(instability.energy));
}

}  // namespace

std::optional<InstabilityVerdict> judgeStability(const Parameters& p, FreeEnd freeEnd, int M,
                                                 const EnergyRecord& energy) {
    InstabilityVerdict verdict{0, InstabilityCause::Unknown, p, energy.instability()};
    if (isBeyondCourantLimit(courantNumber(p))) {
        verdict.level = 1;
        verdict.cause = InstabilityCause::Courant;
        return verdict;
    }
    if (!verdict.energy) {
        return std::nullopt;
    }
    verdict.level = verdict.energy->level;
    if (freeEnd == FreeEnd::Seed && sitsAtFreeEnd(verdict.energy->growthSegment, M)) {
        verdict.cause = InstabilityCause::SeedFreeEnd;
    }
    return verdict;
}

std::optional<InstabilityVerdict> instabilityOfRun(const FormState& form) {
    if (!form.psiRows) {
        return std::nullopt;
    }
    const PsiRows& rows = *form.psiRows;
    return judgeStability(rows.parameters, rows.freeEnd, rows.lastSegment, energyOfRun(form));
}

QString courantWarning(const Parameters& p, const NumberText& numbers) {
    const double courant = courantNumber(p);
    if (!isBeyondCourantLimit(courant)) {
        return {};
    }
    return QStringLiteral(
               "Courant number %1 > 1: the scheme is unstable; TDeltaT \u2264 %2 s keeps "
               "it stable")
        .arg(numbers.brief(courant), numbers.brief(largestStableDeltaT(p)));
}

QString instabilityReason(const InstabilityVerdict& verdict, const NumberText& numbers) {
    switch (verdict.cause) {
        case InstabilityCause::Courant:
            return courantWarning(verdict.parameters, numbers);
        case InstabilityCause::SeedFreeEnd:
            return energyChange(*verdict.energy, numbers) +
                   QStringLiteral(
                       "; the cause is the seed's free end, which pushes the last "
                       "segment away from its neighbour: the growth starts at "
                       "segment %1")
                       .arg(verdict.energy->growthSegment);
        case InstabilityCause::Unknown:
            break;
    }
    return energyChange(*verdict.energy, numbers) + QStringLiteral("; cause unknown");
}

}  // namespace velarion
