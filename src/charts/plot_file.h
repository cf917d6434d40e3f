#pragma once

#include "runs/form_state.h"

#include <QLocale>
#include <QSize>
#include <QString>

namespace velarion {

// The picture's size: the three charts one above the other.
inline constexpr QSize kPlotSize{1000, 1200};

// True for the extensions writePlotFile knows: .png and .svg, in any case.
// Inline, for velarion-batch, which links no chart code.
inline bool isPlotFileName(const QString& path) {
    return path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive) ||
           path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive);
}

// Renders the results' three charts offscreen into a PNG or an SVG, chosen
// by the extension; the profile shows the last stored row. Needs a
// QApplication. False, with the path and the reason in `error`, when the
// file cannot be written.
bool writePlotFile(const FormState& form, const QLocale& locale, const QString& path,
                   QString& error);

}  // namespace velarion
