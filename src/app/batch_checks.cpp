// The time step's check, the instability warning and the verification
// tables of velarion-batch.
#include "batch_checks.h"

#include "model/controls.h"
#include "model/parameter_boxes.h"
#include "model/stability.h"
#include "results/stability_verdict.h"
#include "results/verification.h"
#include "runs/parameter_reader.h"

#include <cmath>
#include <cstdio>

namespace velarion {

namespace {

// A number rounded to two significant digits, as an uncertainty is quoted.
double twoDigits(double value) {
    if (value == 0 || !std::isfinite(value)) {
        return value;
    }
    const double unit = std::pow(10.0, std::floor(std::log10(std::abs(value))) - 1);
    return std::round(value / unit) * unit;
}

// log to the base of the refinement ratio: an observed order.
double orderOf(double coarser, double finer, int ratio) {
    return ratio == 2 ? std::log2(coarser / finer) : std::log(coarser / finer) / std::log(ratio);
}

// An order with two decimals, in the locale's notation as every other
// number of the table.
QString orderText(double order, const NumberText& numbers) {
    QLocale locale = numbers.locale();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(order, 'f', 2);
}

void printGrids(const Verification& v, const NumberText& numbers) {
    std::printf(
        "segments\tDeltaT (s)\tlevels\tlargest error\tRMS error\torder (largest)\t"
        "order (RMS)\n");
    for (std::size_t k = 0; k < v.grids.size(); ++k) {
        const VerificationGrid& g = v.grids[k];
        QString orders = QStringLiteral("\t\t");
        if (k > 0) {
            const VerificationGrid& coarser = v.grids[k - 1];
            orders =
                QStringLiteral("\t%1\t%2")
                    .arg(orderText(orderOf(coarser.largestError, g.largestError, v.ratio), numbers),
                         orderText(orderOf(coarser.rmsError, g.rmsError, v.ratio), numbers));
        }
        std::printf("%d\t%s\t%lld\t%s\t%s%s\n", g.segments, qPrintable(numbers.brief(g.DeltaT)),
                    static_cast<long long>(g.levels), qPrintable(numbers.brief(g.largestError)),
                    qPrintable(numbers.brief(g.rmsError)), qPrintable(orders));
    }
}

void printExactComparison(const Verification& v, const NumberText& numbers) {
    if (!v.exactRefusal.isEmpty()) {
        std::printf("exact solution: not compared: %s\n", qPrintable(v.exactRefusal));
        return;
    }
    std::printf(
        "Against the exact solution of the finite column, every segment at every level, "
        "errors relative to the largest displacement from the rigid motion:\n");
    if (!v.exactNote.isEmpty()) {
        std::printf("(%s)\n", qPrintable(v.exactNote));
    }
    printGrids(v, numbers);
    std::printf("observed order of accuracy: %s\n", qPrintable(orderText(v.rmsOrder, numbers)));
}

void printIndexRow(const char* quantity, const ConvergenceIndex& index, const NumberText& numbers) {
    std::printf("%s\t%s\t%s\t%s", quantity, qPrintable(numbers.general(index.values[0])),
                qPrintable(numbers.general(index.values[1])),
                qPrintable(numbers.general(index.values[2])));
    if (index.why.isEmpty()) {
        std::printf("\t%s\t%s\t%s %%", qPrintable(orderText(index.order, numbers)),
                    qPrintable(numbers.general(index.extrapolated)),
                    qPrintable(numbers.brief(twoDigits(100 * index.gci))));
    } else {
        std::printf("\t\t\t");
    }
    std::printf("\t%s\n", index.exact ? qPrintable(numbers.general(*index.exact)) : "");
}

// "peak stress of the first piece: 11762.1 Pa ± 32 % (exact 10000 Pa)".
void printQuote(const char* quantity, const char* unit, const ConvergenceIndex& index,
                const NumberText& numbers) {
    QString line =
        QStringLiteral("%1: %2 %3")
            .arg(QLatin1String(quantity), numbers.brief(index.values[2]), QLatin1String(unit));
    line += index.why.isEmpty()
                ? QStringLiteral(" \u00b1 %1 %").arg(numbers.brief(twoDigits(100 * index.gci)))
                : QStringLiteral(", %1").arg(index.why);
    if (index.exact) {
        line +=
            QStringLiteral(" (exact %1 %2)").arg(numbers.brief(*index.exact), QLatin1String(unit));
    }
    std::printf("%s\n", qPrintable(line));
}

void printConvergenceIndex(const Verification& v, const NumberText& numbers) {
    std::printf(
        "Grid convergence index (Roache; refinement ratio %d, safety factor %s) of the "
        "peaks over every level:\n",
        v.ratio, qPrintable(numbers.brief(1.25)));
    std::printf(
        "quantity\tcase\trefinement 1\trefinement 2\torder\textrapolated\tGCI (fine)\t"
        "exact\n");
    printIndexRow("peak stress of the first piece (Pa)", v.stress, numbers);
    printIndexRow("peak displacement of the last segment (m)", v.displacement, numbers);
    printQuote("peak stress of the first piece", "Pa", v.stress, numbers);
    printQuote("peak displacement of the last segment", "m", v.displacement, numbers);
}

}  // namespace

int checkTimeStep(const BatchOptions& options, WindowOps& host, const NumberText& numbers) {
    const auto p = ParameterReader(host, numbers).peekTimeStep();
    if (!p) {
        return 0;
    }
    if (p->DeltaT == 0) {
        std::fprintf(stderr,
                     "velarion-batch: the box %s holds 0: the time step must not be 0 (the "
                     "energy and the velocities divide by it)\nTry 'velarion-batch --help'.\n",
                     qPrintable(describeBox(ctl::TDeltaT)));
        return kExitUsage;
    }
    const QString warning = courantWarning(*p, numbers);
    if (warning.isEmpty()) {
        return 0;
    }
    if (options.verify) {
        std::fprintf(stderr, "velarion-batch: --verify: %s\n", qPrintable(warning));
        return kExitUsage;
    }
    std::fprintf(stderr, "velarion-batch: warning: %s\n", qPrintable(warning));
    return options.strict ? kExitUnstable : 0;
}

bool warnIfUnstable(const FormState& form, const NumberText& numbers, bool failed) {
    const auto verdict = instabilityOfRun(form);
    if (!verdict) {
        return false;
    }
    QString reason = instabilityReason(*verdict, numbers);
    if (failed && verdict->cause == InstabilityCause::Courant) {
        std::fprintf(stderr, "velarion-batch: the likely cause: %s\n", qPrintable(reason));
        return true;
    }
    if (verdict->cause == InstabilityCause::SeedFreeEnd) {
        reason += QStringLiteral(" (try --free-end restoring)");
    }
    std::fprintf(stderr, "velarion-batch: warning: unstable from level %lld: %s\n",
                 static_cast<long long>(verdict->level), qPrintable(reason));
    return true;
}

int printVerification(const FormState& form, const NumberText& numbers) {
    const Verification v = verifyRun(form);
    if (!v.refusal.isEmpty()) {
        std::fprintf(stderr, "velarion-batch: --verify: nothing verified: %s\n",
                     qPrintable(v.refusal));
        return kExitUsage;
    }
    printConvergenceIndex(v, numbers);
    printExactComparison(v, numbers);
    return 0;
}

}  // namespace velarion
