#pragma once

#include "runs/form_state.h"

#include <QChart>
#include <QLocale>
#include <QString>

#include <memory>
#include <optional>

namespace velarion::charts {

// The three charts of a run's results, drawn from the rows it left in psi.
// Axes carry names and units; numbers follow `locale`.
std::unique_ptr<QChart> displacementChart(const FormState& form, const QLocale& locale);
// With a valve at the first end, the stress at the valve, with Joukowsky's
// rise Rho VFase V0 dashed and the time 2L/c marked.
std::unique_ptr<QChart> stressChart(const FormState& form, const QLocale& locale);
// Whether the stress leads the time series: a water-hammer engineer reads
// the stress at a valve first.
bool stressLeads(const FormState& form);
std::unique_ptr<QChart> profileChart(const FormState& form, const QLocale& locale, int row);
// Shows the profile of another row in a chart made by profileChart(); a
// zoomed chart keeps its ranges.
void showProfileRow(QChart& chart, const FormState& form, int row);
// The lowest and highest displacement of each segment, and stress of each
// piece, over the levels of the run: the double run's from psi, the
// Girotondo run's when it kept its envelope.
struct EnvelopeCharts {
    std::unique_ptr<QChart> displacement;
    std::unique_ptr<QChart> stress;
};
EnvelopeCharts envelopeCharts(const FormState& form, const QLocale& locale);
// The same charts of given extremes (none: empty charts), along the rest
// positions of the run in psi: for a run read back from a file, whose
// envelope comes with it.
EnvelopeCharts envelopeCharts(const FormState& form,
                              const std::optional<EnvelopeExtremes>& extremes,
                              const QLocale& locale);
// Why the envelope charts are empty after a Girotondo run; empty otherwise.
QString envelopeNote(const FormState& form);
// Kinetic, strain, work and total energy per unit area against time.
std::unique_ptr<QChart> energyChart(const FormState& form, const QLocale& locale);
// A series whose values stay within 1E-12 of the size of the numbers it is
// computed from is drawn flat and its name (or, without a legend, the
// chart's title) ends with this.
extern const QString kConstantWithinRounding;

// Draws the lines of `other`, a chart of the same kind made from a second
// run, into `chart`: dashed, in colours of their own, each named
// "label: its name", with the axes widened to hold both runs.
void overlayRun(QChart& chart, const QChart& other, const QString& label);

// Which run the rows come from, how it ended, which levels they hold, and
// its ends and friction.
QString runSummary(const FormState& form, const QLocale& locale);
// The run drawn dashed over another, in one line where it fits: its file,
// its kind and outcome, and its ends and friction.
QString comparisonSummary(const FormState& form, const QString& fileName, const QLocale& locale);
// The Courant number of the run in psi, with a note when it exceeds 1.
QString courantText(const FormState& form, const QLocale& locale);
// Why the run in psi is unstable, one sentence; empty when its energy
// stayed within 1 % of level 1's.
QString instabilityNotice(const FormState& form, const QLocale& locale);
// The level and time of a row, for the profile's slider.
QString rowCaption(const FormState& form, const QLocale& locale, int row);

}  // namespace velarion::charts
