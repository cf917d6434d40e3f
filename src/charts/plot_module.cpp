// velarion-plot.so: the chart code behind velarion-batch --plot, loaded
// with dlopen. Each entry point is a plain C name, checked against the
// types in plot_module.h.
#include "plot_module.h"

#include "plot_file.h"

#include <QApplication>

using namespace velarion;

extern "C" {

__attribute__((visibility("default"))) QCoreApplication* velarion_plot_make_application(
    int& argc, char** argv) {
    return new QApplication(argc, argv);
}

__attribute__((visibility("default"))) bool velarion_plot_write(
    const FormState& form, const std::optional<EnvelopeExtremes>& envelope, const QLocale& locale,
    const QString& path, QString& error, PlotPage page) {
    return writePlotFile(form, envelope, locale, path, error, page);
}

__attribute__((visibility("default"))) bool velarion_plot_threads_stuck() {
    return plotThreadsStuck();
}

}  // extern "C"

static_assert(std::is_same_v<decltype(&velarion_plot_make_application), PlotMakeApplication>);
static_assert(std::is_same_v<decltype(&velarion_plot_write), PlotWrite>);
static_assert(std::is_same_v<decltype(&velarion_plot_threads_stuck), PlotThreadsStuck>);
