// The double run against d'Alembert's solution, refined twice.
#include "verification.h"

#include "model/initial_rows.h"
#include "model/kernel.h"
#include "model/matrix.h"

#include <QLocale>

#include <cmath>
#include <utility>

namespace velarion {

namespace {

QString seconds(double t) {
    return QLocale::c().toString(t, 'g', 6);
}

VerificationCase compare(double psiJ0, double psi00, std::int64_t J, int M, double DeltaT,
                         const Parameters& p) {
    VerificationCase c;
    c.lastSegment = M;
    c.DeltaT = DeltaT;
    c.levels = J;
    const double t = static_cast<double>(J) * DeltaT;
    c.computed = psiJ0 - (psi00 - t * p.V0);
    c.analytic = p.P * t / (p.Rho * p.VFase);
    c.relativeError = std::abs(c.computed - c.analytic) / std::abs(c.analytic);
    return c;
}

// The column refined `halvings` times, stepped to level J on three rows as
// the Girotondo run steps it: L0 and DeltaT halved exactly, the factors c,
// k1 and k2 therefore unchanged. No levels when the rows cannot be had or
// a level is not finite.
VerificationCase refined(const FormState& form, int halvings) {
    const PsiRows& rows = *form.psiRows;
    Parameters p = rows.parameters;
    const int scale = 1 << halvings;
    p.L0 = std::ldexp(p.L0, -halvings);
    p.DeltaT = std::ldexp(p.DeltaT, -halvings);
    const int M = rows.lastSegment * scale;
    const std::int64_t J = static_cast<std::int64_t>(rows.lastRow) * scale;
    const auto columns = static_cast<std::size_t>(M) + 1;
    Matrix row[3];
    for (std::size_t i = 0; i < 3; ++i) {
        row[i] = Matrix::tryCreate(1, columns, Matrix::spreadPageOffset(i, 3));
    }
    if (row[0].empty() || row[1].empty() || row[2].empty()) {
        return {};
    }
    double* previous = row[0].row(0);
    double* current = row[1].row(0);
    double* target = row[2].row(0);
    layOutAtRest(previous, M, p.L0);
    const double rest0 = previous[0];
    moveByInitialVelocity(previous, current, M, p.DeltaT, p.V0);
    const KernelFactors f = KernelFactors::from(p.DeltaT, p.L0, p.Rho, p.B, p.P, rows.freeEnd);
    for (std::int64_t level = 2; level <= J; ++level) {
        if (!updateRow(current, previous, target, M, f)) {
            return {};
        }
        std::swap(previous, current);
        std::swap(current, target);
    }
    return compare(current[0], rest0, J, M, p.DeltaT, p);
}

}  // namespace

Verification verifyAgainstAnalytic(const FormState& form) {
    Verification v;
    if (!form.psiRows || form.psiRows->run != RunKind::Double ||
        form.psiRows->outcome != RunOutcome::Completed) {
        v.refusal = QStringLiteral("there is no completed double run to compare");
        return v;
    }
    const PsiRows& rows = *form.psiRows;
    const Parameters& p = rows.parameters;
    if (p.P == 0) {
        v.refusal = QStringLiteral(
            "P is 0: the column moves rigidly, and d'Alembert's solution is the rigid motion "
            "itself, so there is nothing to compare");
        return v;
    }
    if (rows.lastRow < 2) {
        v.refusal = QStringLiteral("the run computed no level past level 1 (nitertemp is %1)")
                        .arg(p.nitertemp);
        return v;
    }
    const double t = rows.lastRow * p.DeltaT;
    const double back = 2 * rows.lastSegment * p.L0 / p.VFase;
    if (!(t < back)) {
        v.refusal = QStringLiteral(
                        "the wave reflected at the free end is back at segment 0 at t = %1 s, "
                        "before the last level (t = %2 s), and d'Alembert's solution holds only "
                        "until then")
                        .arg(seconds(back), seconds(t));
        return v;
    }
    v.cases.push_back(compare(form.psi(static_cast<std::size_t>(rows.lastRow), 0), form.psi(0, 0),
                              rows.lastRow, rows.lastSegment, p.DeltaT, p));
    for (int halvings = 1; halvings <= 2; ++halvings) {
        const VerificationCase c = refined(form, halvings);
        if (c.levels == 0) {
            v.refusal =
                QStringLiteral(
                    "the column refined %1 times could not be computed (not enough memory, or a "
                    "position that is not a finite number)")
                    .arg(halvings);
            v.cases.clear();
            return v;
        }
        v.cases.push_back(c);
    }
    v.observedOrder = std::log2(v.cases[1].relativeError / v.cases[2].relativeError);
    return v;
}

}  // namespace velarion
