#pragma once

#include "model/envelope.h"
#include "runs/form_state.h"

#include <QByteArray>
#include <QLocale>
#include <QSize>
#include <QString>

#include <optional>
#include <utility>

namespace velarion {

// The picture's size: the three charts one above the other.
inline constexpr QSize kPlotSize{1000, 1200};

// Which charts a plot holds, as the results window's tabs show them: the
// time series with the profile at the last row (the default), the profile
// alone, the envelope, the energy.
enum class PlotPage { Time, Profile, Envelope, Energy };
// time, profile, envelope or energy; none for another name. Inline, for
// velarion-batch, which links no chart code.
inline std::optional<PlotPage> plotPageNamed(const QString& name) {
    const std::pair<const char*, PlotPage> pages[] = {{"time", PlotPage::Time},
                                                      {"profile", PlotPage::Profile},
                                                      {"envelope", PlotPage::Envelope},
                                                      {"energy", PlotPage::Energy}};
    for (const auto& [pageName, page] : pages) {
        if (name == QLatin1String(pageName)) {
            return page;
        }
    }
    return std::nullopt;
}

// True for a path ending in .svg, in any case: the picture is then SVG.
inline bool isSvgFileName(const QString& path) {
    return path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive);
}

// True for the extensions writePlotFile knows: .png and .svg, in any case.
// Inline, for velarion-batch, which links no chart code.
inline bool isPlotFileName(const QString& path) {
    return isSvgFileName(path) || path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive);
}

// Writes a picture already encoded in memory (none when encoding failed)
// whole to `path`. False, with "The <what> <path> could not be written:
// <reason>." in `error`, when it cannot be.
bool writePictureFile(const QString& path, const QByteArray& bytes, const QString& what,
                      QString& error);

// Renders the charts of `page` offscreen into a PNG or an SVG, chosen by
// the extension; a profile shows the last stored row, the envelope page
// draws `envelope` (a run read back from a file keeps its envelope only
// so), and each line keeps at most four points a pixel column. Draws on a thread of Qt's global
// pool, where Qt's raster engine starts no threads of its own. Needs a
// QApplication. False, with the path and the reason in `error`, when the
// picture cannot be drawn or the file cannot be written.
bool writePlotFile(const FormState& form, const std::optional<EnvelopeExtremes>& envelope,
                   const QLocale& locale, const QString& path, QString& error,
                   PlotPage page = PlotPage::Time);

// True once writePlotFile() could not start its thread: Qt's global pool
// then waits for that thread for ever, also when the application object is
// destroyed, so the process must end without destroying it.
bool plotThreadsStuck();

}  // namespace velarion
