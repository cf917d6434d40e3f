#include "results_charts.h"

#include "model/number_text.h"
#include "results/energy_series.h"
#include "results/envelope_table.h"
#include "results/model_text.h"
#include "results/result_series.h"
#include "results/stability_verdict.h"
#include "results/verification.h"

#include <QFontMetricsF>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace velarion::charts {

const QString kConstantWithinRounding = QStringLiteral("(constant within rounding)");

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
    // A point beyond the doubles (a run that blew up) cannot be drawn.
    QList<QPointF> finite;
    finite.reserve(static_cast<qsizetype>(points.size()));
    for (const QPointF& p : points) {
        if (std::isfinite(p.x()) && std::isfinite(p.y())) {
            finite.append(p);
        }
    }
    series->replace(finite);
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
    // Ticks on round numbers, where rounding them out cannot overflow.
    if (std::max(std::abs(low), std::abs(high)) < 1e300) {
        axis.applyNiceNumbers();
    }
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

// The decimals that write multiples of `step` exactly (a nice step of 0.25
// needs two), at most two beyond its first digit.
int decimalsOf(double step) {
    const int most = std::clamp(2 - static_cast<int>(std::floor(std::log10(step))), 0, 15);
    for (int d = 0; d < most; ++d) {
        const double scaled = step * std::pow(10.0, d);
        if (std::abs(scaled - std::round(scaled)) <= 1e-6 * scaled) {
            return d;
        }
    }
    return most;
}

// One notation for every label of an axis, with as many digits as the tick
// step needs: fixed between 0.001 and 1E6, otherwise scientific. The chart
// writes them in its locale.
QString labelFormat(double low, double high, int tickCount) {
    const double step = (high - low) / std::max(1, tickCount - 1);
    const double size = std::max(std::abs(low), std::abs(high));
    if (!(step > 0) || !(size > 0) || !std::isfinite(size) || !std::isfinite(step)) {
        return QStringLiteral("%.3g");
    }
    if (size >= 1e-3 && size < 1e6) {
        return QStringLiteral("%.%1f").arg(decimalsOf(step));
    }
    const double unit = std::pow(10.0, std::floor(std::log10(size)));
    return QStringLiteral("%.%1e").arg(decimalsOf(step / unit));
}

// The labels follow the range, also a zoomed one.
void keepLabelsReadable(QValueAxis& axis) {
    const auto format = [&axis] {
        axis.setLabelFormat(labelFormat(axis.min(), axis.max(), axis.tickCount()));
    };
    format();
    QObject::connect(&axis, &QValueAxis::rangeChanged, &axis, format);
}

// The titles a vertical axis may show, longest first, each with the unit:
// "Displacement (m)", "Displ. (m)", "(m)".
QStringList titlesWithUnit(const QString& title) {
    QStringList titles{title};
    const qsizetype unit = title.lastIndexOf(QStringLiteral(" ("));
    if (unit <= 0) {
        return titles;
    }
    constexpr int kShortName = 5;
    const QString name = title.left(unit);
    if (name.size() > kShortName + 1 && !name.contains(u' ')) {
        titles << name.left(kShortName) + QStringLiteral(".") + title.mid(unit);
    }
    titles << title.mid(unit + 1);
    return titles;
}

// The chart cuts an axis title longer than its axis, which would hide the
// unit in a short chart: the axis shows the longest title that fits.
void keepTitleFitting(QChart& chart, QValueAxis& axis, const QString& title) {
    const QStringList titles = titlesWithUnit(title);
    const auto fit = [&axis, titles](const QRectF& plotArea) {
        const QFontMetricsF metrics(axis.titleFont());
        for (const QString& candidate : titles) {
            if (metrics.horizontalAdvance(candidate) <= plotArea.height() ||
                candidate == titles.back()) {
                if (axis.titleText() != candidate) {
                    axis.setTitleText(candidate);
                }
                return;
            }
        }
    };
    QObject::connect(&chart, &QChart::plotAreaChanged, &axis, fit);
}

void addAxes(QChart& chart, const QString& xTitle, const QString& yTitle) {
    auto* x = new QValueAxis(&chart);
    auto* y = new QValueAxis(&chart);
    x->setTitleText(xTitle);
    y->setTitleText(yTitle);
    keepTitleFitting(chart, *y, yTitle);
    chart.addAxis(x, Qt::AlignBottom);
    chart.addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* series : chart.series()) {
        series->attachAxis(x);
        series->attachAxis(y);
    }
    fitAxes(chart, *x, *y);
    keepLabelsReadable(*x);
    keepLabelsReadable(*y);
}

// A series whose values differ by no more than 1E-12 of `scale` (the size
// of the numbers it is computed from) holds rounding alone: it is drawn
// flat at its mean, or at zero when the mean is itself within rounding of
// zero, and named so.
void flattenRounding(QLineSeries& series, double scale) {
    QList<QPointF> points = series.points();
    if (points.size() < 2) {
        return;
    }
    double low = points.front().y(), high = low, sum = 0;
    for (const QPointF& p : points) {
        low = std::min(low, p.y());
        high = std::max(high, p.y());
        sum += p.y();
    }
    const double size = std::max({std::abs(low), std::abs(high), std::abs(scale)});
    if (!(high - low <= 1e-12 * size) || high == low) {
        return;
    }
    double mean = sum / points.size();
    if (std::abs(mean) <= 1e-12 * size) {
        mean = 0;
    }
    for (QPointF& p : points) {
        p.setY(mean);
    }
    series.replace(points);
    series.setName(QStringLiteral("%1 %2").arg(series.name(), kConstantWithinRounding));
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

namespace {

// The size of the positions that segments 0 to `last` start from: the
// displacements are differences of numbers this large.
double positionScale(const FormState& form) {
    if (!form.psiRows) {
        return 0;
    }
    const double* rest = form.psi.row(0);
    return std::max(std::abs(rest[0]), std::abs(rest[form.psiRows->lastSegment]));
}

// The stress is B / L0 times a difference of positions: its rounding goes
// with the size of those positions.
double stressScale(const FormState& form) {
    return form.psiRows
               ? form.psiRows->parameters.B * positionScale(form) / form.psiRows->parameters.L0
               : 0;
}

// Whether two series draw one line: the same times, and values apart by
// less than a thousandth of the span they cover together, below a pixel.
bool drawTheSameLine(const QLineSeries& a, const QLineSeries& b) {
    const QList<QPointF> p = a.points();
    const QList<QPointF> q = b.points();
    if (p.isEmpty() || p.size() != q.size()) {
        return false;
    }
    double low = p.front().y(), high = low;
    for (const QList<QPointF>* points : {&p, &q}) {
        for (const QPointF& point : *points) {
            low = std::min(low, point.y());
            high = std::max(high, point.y());
        }
    }
    const double tolerance = 1e-3 * (high - low);
    for (qsizetype i = 0; i < p.size(); ++i) {
        if (p[i].x() != q[i].x() || !(std::abs(p[i].y() - q[i].y()) <= tolerance)) {
            return false;
        }
    }
    return true;
}

// `later` is drawn over `earlier`: dashed, so that where the two run
// together both show, and named so when they are one line throughout.
void showBeneath(QLineSeries& later, const QLineSeries& earlier) {
    QPen pen = later.pen();
    pen.setStyle(Qt::DashLine);
    later.setPen(pen);
    if (drawTheSameLine(later, earlier)) {
        // "Total, same as Kinetic (constant within rounding)"
        const QString flat = QLatin1Char(' ') + kConstantWithinRounding;
        QString name = later.name();
        const bool isFlat = name.endsWith(flat);
        name.chop(isFlat ? flat.size() : 0);
        QString other = earlier.name();
        other.chop(other.endsWith(flat) ? flat.size() : 0);
        later.setName(name + QStringLiteral(", same as ") + other + (isFlat ? flat : QString()));
    }
}

// The lines of a chart whose axis holds only part of their values leave it
// at the top or the bottom: drawn to a few heights of the axis beyond it,
// not to 1E+300, so that a dashed line still has a length the painter can
// lay its dashes along.
void keepNear(QChart& chart, double low, double high) {
    const double reach = 4 * (high - low);
    for (QAbstractSeries* abstract : chart.series()) {
        auto* series = static_cast<QLineSeries*>(abstract);
        QList<QPointF> points = series->points();
        for (QPointF& p : points) {
            p.setY(std::clamp(p.y(), low - reach, high + reach));
        }
        series->replace(points);
    }
}

// A chart without a legend names its flat series in the title.
void noteFlatInTitle(QChart& chart) {
    if (!chart.legend()->isVisible()) {
        for (QAbstractSeries* series : chart.series()) {
            if (series->name().endsWith(kConstantWithinRounding)) {
                chart.setTitle(QStringLiteral("%1 %2").arg(chart.title(), kConstantWithinRounding));
                return;
            }
        }
    }
}

}  // namespace

std::unique_ptr<QChart> displacementChart(const FormState& form, const QLocale& locale) {
    auto chart = newChart(QStringLiteral("Displacement from rest"), locale);
    const int last = form.psiRows ? form.psiRows->lastSegment : 0;
    const double scale = positionScale(form);
    QLineSeries* first =
        addSeries(*chart, displacementOverTime(form, 0), QStringLiteral("First segment (0)"));
    flattenRounding(*first, scale);
    QLineSeries* lastOne = addSeries(*chart, displacementOverTime(form, last),
                                     QStringLiteral("Last segment (%1)").arg(last));
    flattenRounding(*lastOne, scale);
    // Until the wave arrives the two segments move alike.
    showBeneath(*lastOne, *first);
    addAxes(*chart, kTimeAxis, QStringLiteral("Displacement (m)"));
    return chart;
}

bool stressLeads(const FormState& form) {
    return form.psiRows && form.psiRows->hammer.hasValve();
}

namespace {

void setStyle(QLineSeries& series, Qt::PenStyle style) {
    QPen pen = series.pen();
    pen.setStyle(style);
    series.setPen(pen);
}

// Joukowsky's rise Rho VFase V0 dashed across the run's time, and the time
// 2L/c, when the first reflection comes back to the valve, as a dotted
// line across the stress's range.
void addValveMarks(QChart& chart, const std::vector<QPointF>& stress, const FormState& form,
                   const QLocale& locale) {
    if (stress.empty()) {
        return;
    }
    const PsiRows& rows = *form.psiRows;
    const Parameters& p = rows.parameters;
    const double joukowsky = p.Rho * std::abs(p.VFase) * p.V0;
    const double end = stress.back().x();
    setStyle(
        *addSeries(
            chart, {{0, joukowsky}, {end, joukowsky}},
            QStringLiteral("Joukowsky ρ c V0 = %1 Pa").arg(NumberText(locale).brief(joukowsky))),
        Qt::DashLine);
    const double roundTrip =
        2 * columnLength(rows.lastSegment, p.L0, rows.freeEnd, rows.hammer) / std::abs(p.VFase);
    double low = joukowsky, high = joukowsky;
    for (const QPointF& point : stress) {
        if (std::isfinite(point.y())) {
            low = std::min(low, point.y());
            high = std::max(high, point.y());
        }
    }
    if (roundTrip <= end) {
        setStyle(*addSeries(chart, {{roundTrip, low}, {roundTrip, high}},
                            QStringLiteral("2L/c = %1 s").arg(NumberText(locale).brief(roundTrip))),
                 Qt::DotLine);
    }
}

}  // namespace

std::unique_ptr<QChart> stressChart(const FormState& form, const QLocale& locale) {
    const bool valve = stressLeads(form);
    auto chart = newChart(valve ? QStringLiteral("Stress at the valve: the first piece (positive "
                                                 "in compression)")
                                : QStringLiteral("Stress in the first piece (positive in "
                                                 "compression)"),
                          locale);
    const std::vector<QPointF> stress = firstPieceStress(form);
    flattenRounding(*addSeries(*chart, stress, QStringLiteral("Stress")), stressScale(form));
    if (valve) {
        addValveMarks(*chart, stress, form, locale);
    } else {
        chart->legend()->hide();
        noteFlatInTitle(*chart);
    }
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
    // A zoomed chart keeps the user's view while the rows go by.
    if (!chart.isZoomed()) {
        fitAxes(chart, *static_cast<QValueAxis*>(chart.axes(Qt::Horizontal).front()),
                *static_cast<QValueAxis*>(chart.axes(Qt::Vertical).front()));
    }
}

namespace {

// The extremes of the run in psi, when it has an envelope: the Girotondo
// run's only when it kept one.
std::optional<EnvelopeExtremes> extremesOfRun(const FormState& form) {
    if (!form.psiRows) {
        return std::nullopt;
    }
    const Envelope& envelope = envelopeOfRun(form);
    if (envelope.isEmpty()) {
        return std::nullopt;
    }
    return extremesOf(envelope, form.psiRows->parameters);
}

}  // namespace

EnvelopeCharts envelopeCharts(const FormState& form, const QLocale& locale) {
    return envelopeCharts(form, extremesOfRun(form), locale);
}

EnvelopeCharts envelopeCharts(const FormState& form,
                              const std::optional<EnvelopeExtremes>& extremes,
                              const QLocale& locale) {
    std::vector<QPointF> lowDisplacement, highDisplacement, lowStress, highStress;
    if (form.psiRows && extremes) {
        const double* rest = form.psi.row(0);
        // A saved run's envelope is as long as its own rows.
        const int last = std::min(form.psiRows->lastSegment,
                                  static_cast<int>(extremes->minDisplacement.size()) - 1);
        for (int s = 0; s <= last; ++s) {
            const auto i = static_cast<std::size_t>(s);
            lowDisplacement.emplace_back(rest[s], extremes->minDisplacement[i]);
            highDisplacement.emplace_back(rest[s], extremes->maxDisplacement[i]);
            if (s < last) {
                lowStress.emplace_back(rest[s], extremes->minStress[i]);
                highStress.emplace_back(rest[s], extremes->maxStress[i]);
            }
        }
    }
    EnvelopeCharts charts{
        newChart(QStringLiteral("Envelope of the displacement from rest"), locale),
        newChart(QStringLiteral("Envelope of the stress (positive in compression)"), locale)};
    const double positions = positionScale(form);
    flattenRounding(*addSeries(*charts.displacement, highDisplacement, QStringLiteral("Maximum")),
                    positions);
    flattenRounding(*addSeries(*charts.displacement, lowDisplacement, QStringLiteral("Minimum")),
                    positions);
    addAxes(*charts.displacement, QStringLiteral("Rest position (m)"),
            QStringLiteral("Displacement (m)"));
    flattenRounding(*addSeries(*charts.stress, highStress, QStringLiteral("Maximum")),
                    stressScale(form));
    flattenRounding(*addSeries(*charts.stress, lowStress, QStringLiteral("Minimum")),
                    stressScale(form));
    addAxes(*charts.stress, QStringLiteral("Rest position of the piece's start (m)"),
            QStringLiteral("Stress (Pa)"));
    return charts;
}

QString envelopeNote(const FormState& form) {
    if (form.psiRows && form.psiRows->run == RunKind::Girotondo &&
        form.girotondoEnvelope.isEmpty()) {
        return QStringLiteral(
            "The Girotondo run keeps its envelope only when View \u2192 Girotondo envelope is "
            "ticked: tick it and run again to see the envelope.");
    }
    return QString();
}

std::unique_ptr<QChart> energyChart(const FormState& form, const QLocale& locale) {
    auto chart = newChart(QStringLiteral("Energy per unit area of the section"), locale);
    const EnergyRecord& energy = energyOfRun(form);
    std::vector<QPointF> kinetic, strain, work, total, dissipated, valveWork, balance;
    if (form.psiRows) {
        const double deltaT = form.psiRows->parameters.DeltaT;
        const auto kept = energy.kept();
        // At most about 4000 points: a line cannot show more on a screen.
        const std::size_t stride = std::max<std::size_t>(1, kept.size() / 4000);
        for (std::size_t k = 0; k < kept.size(); k += stride) {
            const double t = static_cast<double>(k + 1) * deltaT;
            kinetic.emplace_back(t, kept[k].kinetic);
            strain.emplace_back(t, kept[k].strain);
            work.emplace_back(t, kept[k].work);
            total.emplace_back(t, kept[k].total());
            dissipated.emplace_back(t, kept[k].dissipated);
            valveWork.emplace_back(t, kept[k].valveWork);
            balance.emplace_back(t, kept[k].balance());
        }
    }
    // Each judged against its own size: a run that blew up dwarfs the rest.
    QLineSeries* kineticLine = addSeries(*chart, kinetic, QStringLiteral("Kinetic"));
    flattenRounding(*kineticLine, 0);
    flattenRounding(*addSeries(*chart, strain, QStringLiteral("Strain")), 0);
    flattenRounding(*addSeries(*chart, work, QStringLiteral("Work")), 0);
    QLineSeries* totalLine = addSeries(*chart, total, QStringLiteral("Total"));
    flattenRounding(*totalLine, 0);
    // With neither strain nor work the total is the kinetic energy.
    showBeneath(*totalLine, *kineticLine);
    // With a valve or friction, what they took and gave, and the balance
    // that stays put.
    if (form.psiRows && !form.psiRows->hammer.isSeeds()) {
        flattenRounding(*addSeries(*chart, dissipated, QStringLiteral("Dissipated")), 0);
        flattenRounding(*addSeries(*chart, valveWork, QStringLiteral("Valve work")), 0);
        flattenRounding(
            *addSeries(*chart, balance, QStringLiteral("Total + dissipated \u2212 valve work")), 0);
    }
    addAxes(*chart, kTimeAxis, QStringLiteral("Energy (J/m\u00b2)"));
    // A run that blew up would flatten the levels before it to a line at
    // zero: the axis holds those levels, and the lines leave it at the top
    // or the bottom.
    if (const auto& instability = energy.instability()) {
        const auto kept = energy.kept();
        // Level k is kept[k - 1]: the levels before the unstable one.
        const std::size_t before =
            std::min<std::size_t>(kept.size(), static_cast<std::size_t>(instability->level - 1));
        double low = 0, high = 0;
        for (std::size_t k = 0; k < before; ++k) {
            for (double value : {kept[k].kinetic, kept[k].strain, kept[k].work, kept[k].total()}) {
                if (std::isfinite(value)) {
                    low = std::min(low, value);
                    high = std::max(high, value);
                }
            }
        }
        const double margin = (high - low) / 4;
        if (high > low && std::isfinite(margin)) {
            fitRange(*static_cast<QValueAxis*>(chart->axes(Qt::Vertical).front()), low - margin,
                     high + margin);
            keepNear(*chart, low - margin, high + margin);
        }
        chart->setTitle(
            QStringLiteral("%1 (the axis holds the levels before %2)")
                .arg(chart->title(), locale.toString(static_cast<qlonglong>(instability->level))));
    }
    return chart;
}

QString runSummary(const FormState& form, const QLocale& locale) {
    if (!form.psiRows) {
        return QStringLiteral("No run has left rows in psi yet.");
    }
    const PsiRows& rows = *form.psiRows;
    const NumberText numbers(locale);
    return QStringLiteral("%1, %2: rows 0 to %3 of psi, segments 0 to %4. ")
               .arg(runName(rows.run), outcomeName(rows.outcome), locale.toString(rows.lastRow),
                    locale.toString(rows.lastSegment)) +
           QStringLiteral(
               "Simulated time %1 s (level %2); the column %3 m long (%4 pieces of %5 m).\n")
               .arg(numbers.brief(simulatedSeconds(rows)),
                    QString::number(levelOfRow(rows, rows.lastRow)),
                    numbers.brief(columnLength(rows)), QString::number(rows.lastSegment),
                    numbers.brief(rows.parameters.L0)) +
           modelSentence(rows.freeEnd, rows.hammer, numbers);
}

QString comparisonSummary(const FormState& form, const QString& fileName, const QLocale& locale) {
    if (!form.psiRows) {
        return fileName;
    }
    const PsiRows& rows = *form.psiRows;
    return QStringLiteral("Dashed: %1, %2, %3. %4")
        .arg(fileName, runName(rows.run).toLower(), outcomeName(rows.outcome),
             modelSentence(rows.freeEnd, rows.hammer, NumberText(locale)));
}

QString courantText(const FormState& form, const QLocale& locale) {
    if (!form.psiRows) {
        return QString();
    }
    const Parameters& p = form.psiRows->parameters;
    const NumberText numbers(locale);
    const QString warning = courantWarning(p, numbers);
    if (!warning.isEmpty()) {
        return warning + QLatin1Char('.');
    }
    return QStringLiteral("Courant number VFase \u00d7 DeltaT / L0 = %1")
        .arg(numbers.brief(courantNumber(p)));
}

QString instabilityNotice(const FormState& form, const QLocale& locale) {
    const auto verdict = instabilityOfRun(form);
    if (!verdict) {
        return QString();
    }
    QString reason = instabilityReason(*verdict, NumberText(locale));
    if (verdict->cause == InstabilityCause::SeedFreeEnd) {
        reason += QStringLiteral(" (Model \u2192 Restoring free end)");
    }
    return QStringLiteral("Unstable from level %1: %2.")
        .arg(locale.toString(static_cast<qlonglong>(verdict->level)), reason);
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

namespace {

// The axis's range widened to hold `other`'s, on round numbers.
void widenRange(QValueAxis& axis, const QValueAxis& other) {
    fitRange(axis, std::min(axis.min(), other.min()), std::max(axis.max(), other.max()));
}

}  // namespace

void overlayRun(QChart& chart, const QChart& other, const QString& label) {
    const auto xAxes = chart.axes(Qt::Horizontal);
    const auto yAxes = chart.axes(Qt::Vertical);
    const auto otherX = other.axes(Qt::Horizontal);
    const auto otherY = other.axes(Qt::Vertical);
    if (xAxes.isEmpty() || yAxes.isEmpty()) {
        return;
    }
    auto* x = static_cast<QValueAxis*>(xAxes.front());
    auto* y = static_cast<QValueAxis*>(yAxes.front());
    // Colours apart from the theme's first ones, which the shown run has.
    static const QColor kColours[] = {QColor(0xd9, 0x5f, 0x02), QColor(0x75, 0x70, 0xb3),
                                      QColor(0xe7, 0x29, 0x8a), QColor(0x66, 0x66, 0x66),
                                      QColor(0xa6, 0x76, 0x1d), QColor(0x1b, 0x9e, 0x77),
                                      QColor(0x00, 0x00, 0x00)};
    std::size_t next = 0;
    for (QAbstractSeries* abstract : other.series()) {
        const auto* from = qobject_cast<const QLineSeries*>(abstract);
        if (!from) {
            continue;
        }
        auto* series = new QLineSeries(&chart);
        series->setName(QStringLiteral("%1: %2").arg(label, from->name()));
        series->replace(from->points());
        QPen pen(kColours[next++ % std::size(kColours)]);
        pen.setWidthF(2);
        pen.setStyle(Qt::DashLine);
        series->setPen(pen);
        chart.addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
    }
    if (!otherX.isEmpty() && !otherY.isEmpty() && !other.series().isEmpty()) {
        widenRange(*x, *static_cast<const QValueAxis*>(otherX.front()));
        widenRange(*y, *static_cast<const QValueAxis*>(otherY.front()));
    }
    chart.legend()->setVisible(true);
}

}  // namespace velarion::charts
