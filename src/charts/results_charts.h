#pragma once

#include "runs/form_state.h"

#include <QChart>
#include <QLocale>
#include <QString>

#include <memory>

namespace velarion::charts {

// The three charts of a run's results, drawn from the rows it left in psi.
// Axes carry names and units; numbers follow `locale`.
std::unique_ptr<QChart> displacementChart(const FormState& form, const QLocale& locale);
std::unique_ptr<QChart> stressChart(const FormState& form, const QLocale& locale);
std::unique_ptr<QChart> profileChart(const FormState& form, const QLocale& locale, int row);
// Shows the profile of another row in a chart made by profileChart().
void showProfileRow(QChart& chart, const FormState& form, int row);

// Which run the rows come from, how it ended and which levels they hold.
QString runSummary(const FormState& form, const QLocale& locale);
// The Courant number of the run in psi, with a note when it exceeds 1.
QString courantText(const FormState& form, const QLocale& locale);
// Why the run in psi is unstable, one sentence; empty when its energy
// stayed within 1 % of level 1's.
QString instabilityNotice(const FormState& form, const QLocale& locale);
// The level and time of a row, for the profile's slider.
QString rowCaption(const FormState& form, const QLocale& locale, int row);

}  // namespace velarion::charts
