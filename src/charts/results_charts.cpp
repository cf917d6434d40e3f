#include "results_charts.h"

#include "results/energy_series.h"
#include "results/result_series.h"

#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace velarion::charts {

namespace {

QList<QPointF> toList(const std::vector<QPointF>& points) {
    return QList<QPointF>(points.begin(), points.end());
}

std::unique_ptr<QChart> newChart(const QString& title, const QLocale& locale) {
    auto chart = std::make_unique<QChart>();
    chart->setTitle(title);
    chart->setLocalizeNumbers(true);
    chart->setLocale(locale);
    chart->setAnimationOptions(QChart::NoAnimation);
    return chart;
}

QLineSeries* addSeries(QChart& chart, const std::vector<QPointF>& points, const QString& name) {
    auto* series = new QLineSeries(&chart);
    series->setName(name);
    series->replace(toList(points));
    chart.addSeries(series);
    return series;
}

// A range that shows every point. A line flat but for rounding gets a span
// of at least 2 % of its size, so the labels stay distinct and the noise of
// the last bits is not blown up to the full height.
void fitRange(QValueAxis& axis, double low, double high) {
    const double size = std::max(std::abs(low), std::abs(high));
    const double least = size == 0 ? 1.0 : 0.02 * size;
    if (high - low < least) {
        const double middle = low + (high - low) / 2;
        low = middle - least / 2;
        high = middle + least / 2;
    }
    axis.setRange(low, high);
}

void fitAxes(QChart& chart, QValueAxis& x, QValueAxis& y) {
    double xLow = 0, xHigh = 0, yLow = 0, yHigh = 0;
    bool any = false;
    for (QAbstractSeries* abstract : chart.series()) {
        for (const QPointF& p : static_cast<QLineSeries*>(abstract)->points()) {
            xLow = any ? std::min(xLow, p.x()) : p.x();
            xHigh = any ? std::max(xHigh, p.x()) : p.x();
            yLow = any ? std::min(yLow, p.y()) : p.y();
            yHigh = any ? std::max(yHigh, p.y()) : p.y();
            any = true;
        }
    }
    fitRange(x, xLow, xHigh);
    fitRange(y, yLow, yHigh);
}

void addAxes(QChart& chart, const QString& xTitle, const QString& yTitle) {
    auto* x = new QValueAxis(&chart);
    auto* y = new QValueAxis(&chart);
    x->setTitleText(xTitle);
    y->setTitleText(yTitle);
    for (QValueAxis* axis : {x, y}) {
        axis->setLabelFormat(QStringLiteral("%.3g"));
    }
    chart.addAxis(x, Qt::AlignBottom);
    chart.addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* series : chart.series()) {
        series->attachAxis(x);
        series->attachAxis(y);
    }
    fitAxes(chart, *x, *y);
}

const QString kTimeAxis = QStringLiteral("Time (s)");

QString runName(RunKind run) {
    return run == RunKind::Girotondo ? QStringLiteral("Girotondo run")
                                     : QStringLiteral("Double-precision run");
}

QString outcomeName(const std::optional<RunOutcome>& outcome) {
    if (!outcome) {
        return QStringLiteral("under way");
    }
    switch (*outcome) {
        case RunOutcome::Completed:
            return QStringLiteral("completed");
        case RunOutcome::Stopped:
            return QStringLiteral("stopped");
        case RunOutcome::Failed:
            break;
    }
    return QStringLiteral("failed");
}

}  // namespace

std::unique_ptr<QChart> displacementChart(const FormState& form, const QLocale& locale) {
    auto chart = newChart(QStringLiteral("Displacement from rest"), locale);
    const int last = form.psiRows ? form.psiRows->lastSegment : 0;
    addSeries(*chart, displacementOverTime(form, 0), QStringLiteral("First segment (0)"));
    addSeries(*chart, displacementOverTime(form, last),
              QStringLiteral("Last segment (%1)").arg(last));
    addAxes(*chart, kTimeAxis, QStringLiteral("Displacement (m)"));
    return chart;
}

std::unique_ptr<QChart> stressChart(const FormState& form, const QLocale& locale) {
    auto chart =
        newChart(QStringLiteral("Stress in the first piece (positive in compression)"), locale);
    addSeries(*chart, firstPieceStress(form), QStringLiteral("Stress"));
    chart->legend()->hide();
    addAxes(*chart, kTimeAxis, QStringLiteral("Stress (Pa)"));
    return chart;
}

std::unique_ptr<QChart> profileChart(const FormState& form, const QLocale& locale, int row) {
    auto chart = newChart(QStringLiteral("Displacement profile along the pipe"), locale);
    addSeries(*chart, displacementProfile(form, row), rowCaption(form, locale, row));
    addAxes(*chart, QStringLiteral("Rest position (m)"), QStringLiteral("Displacement (m)"));
    return chart;
}

void showProfileRow(QChart& chart, const FormState& form, int row) {
    auto* series = static_cast<QLineSeries*>(chart.series().front());
    series->replace(toList(displacementProfile(form, row)));
    series->setName(rowCaption(form, chart.locale(), row));
    fitAxes(chart, *static_cast<QValueAxis*>(chart.axes(Qt::Horizontal).front()),
            *static_cast<QValueAxis*>(chart.axes(Qt::Vertical).front()));
}

QString runSummary(const FormState& form, const QLocale& locale) {
    if (!form.psiRows) {
        return QStringLiteral("No run has left rows in psi yet.");
    }
    const PsiRows& rows = *form.psiRows;
    return QStringLiteral("%1, %2: rows 0 to %3 of psi, segments 0 to %4.")
        .arg(runName(rows.run), outcomeName(rows.outcome), locale.toString(rows.lastRow),
             locale.toString(rows.lastSegment));
}

QString courantText(const FormState& form, const QLocale& locale) {
    if (!form.psiRows) {
        return QString();
    }
    const double courant = courantNumber(form.psiRows->parameters);
    QString text = QStringLiteral("Courant number VFase \u00d7 DeltaT / L0 = %1")
                       .arg(locale.toString(courant, 'g', 6));
    if (courant > 1) {
        text += QStringLiteral("\nAbove 1 the explicit scheme is unstable.");
    }
    return text;
}

QString instabilityNotice(const FormState& form, const QLocale& locale) {
    if (!form.psiRows) {
        return QString();
    }
    const auto instability = energyOfRun(form).instability();
    if (!instability) {
        return QString();
    }
    QString reason = instabilityReason(*instability, form.psiRows->freeEnd, locale);
    if (form.psiRows->freeEnd == FreeEnd::Seed) {
        reason += QStringLiteral(" (Model \u2192 Restoring free end)");
    }
    return QStringLiteral("Unstable from level %1: %2.")
        .arg(locale.toString(static_cast<qlonglong>(instability->level)), reason);
}

QString rowCaption(const FormState& form, const QLocale& locale, int row) {
    if (!form.psiRows) {
        return QString();
    }
    return QStringLiteral("Row %1: level %2, %3 s")
        .arg(locale.toString(row),
             locale.toString(static_cast<qlonglong>(levelOfRow(*form.psiRows, row))),
             locale.toString(secondsOfRow(*form.psiRows, row), 'g', 6));
}

}  // namespace velarion::charts
