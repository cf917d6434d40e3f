#pragma once

// The entry points of velarion-plot.so, the module that holds the chart
// code for velarion-batch --plot. A run without --plot never loads it, so
// the program starts without QtWidgets, QtCharts and their libraries.

#include "plot_file.h"
#include "runs/form_state.h"

#include <QCoreApplication>
#include <QLocale>
#include <QString>

namespace velarion {

inline constexpr char kPlotModuleFile[] = "velarion-plot.so";

// A QApplication, which charts need, for the program's argc and argv.
inline constexpr char kPlotMakeApplication[] = "velarion_plot_make_application";
using PlotMakeApplication = QCoreApplication* (*)(int& argc, char** argv);

// writePlotFile of charts/plot_file.h.
inline constexpr char kPlotWrite[] = "velarion_plot_write";
using PlotWrite = bool (*)(const FormState& form, const std::optional<EnvelopeExtremes>& envelope,
                           const QLocale& locale, const QString& path, QString& error,
                           PlotPage page);

// plotThreadsStuck of charts/plot_file.h.
inline constexpr char kPlotThreadsStuck[] = "velarion_plot_threads_stuck";
using PlotThreadsStuck = bool (*)();

}  // namespace velarion
