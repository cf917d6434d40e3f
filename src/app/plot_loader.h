#pragma once

// Loads velarion-plot.so, the chart code of --plot, when a run asks for a
// plot; the program itself links no widgets.

#include "charts/plot_module.h"

#include <string>

namespace velarion {

struct PlotModule {
    PlotMakeApplication makeApplication = nullptr;
    PlotWrite write = nullptr;
    PlotThreadsStuck threadsStuck = nullptr;
};

// Loads the module once: beside the program first (the build tree), then in
// the installed folder VELARION_PLOT_DIR, relative to the program's folder.
// Null, with a one-line reason in `error`, when neither holds a module that
// loads.
const PlotModule* loadPlotModule(std::string& error);

// The module loadPlotModule loaded; null before.
const PlotModule* loadedPlotModule();

}  // namespace velarion
