// The instability warning and the verification table of velarion-batch.
#include "batch_checks.h"

#include "results/energy_series.h"
#include "results/verification.h"

#include <cstdio>

namespace velarion {

bool warnIfUnstable(const FormState& form, const QLocale& locale) {
    if (!form.psiRows) {
        return false;
    }
    const auto instability = instabilityOfRun(form);
    if (!instability) {
        return false;
    }
    QString reason = instabilityReason(*instability, form.psiRows->freeEnd, locale);
    if (form.psiRows->freeEnd == FreeEnd::Seed) {
        reason += QStringLiteral(" (try --free-end restoring)");
    }
    std::fprintf(stderr, "velarion-batch: warning: unstable from level %lld: %s\n",
                 static_cast<long long>(instability->level), qPrintable(reason));
    return true;
}

int printVerification(const FormState& form, const NumberText& numbers) {
    const Verification v = verifyAgainstAnalytic(form);
    if (!v.refusal.isEmpty()) {
        std::fprintf(stderr, "velarion-batch: --verify: no comparison: %s\n",
                     qPrintable(v.refusal));
        return kExitUsage;
    }
    std::printf("last segment\tDeltaT (s)\tlevels\tcomputed (m)\tanalytic (m)\trelative error\n");
    for (const VerificationCase& c : v.cases) {
        std::printf(
            "%d\t%s\t%lld\t%s\t%s\t%s\n", c.lastSegment, qPrintable(numbers.general(c.DeltaT)),
            static_cast<long long>(c.levels), qPrintable(numbers.general(c.computed)),
            qPrintable(numbers.general(c.analytic)), qPrintable(numbers.general(c.relativeError)));
    }
    std::printf("observed order of accuracy: %s\n",
                qPrintable(QString::number(v.observedOrder, 'f', 2)));
    return 0;
}

}  // namespace velarion
