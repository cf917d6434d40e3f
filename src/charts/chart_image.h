#pragma once

#include <QString>

class QWidget;

namespace velarion::charts {

// Writes what `view` shows (a chart on screen, zoomed or not) as a PNG or
// an SVG, chosen by the extension, through the whole-file writer. False,
// with the path and the reason in `error`, when it cannot be written.
bool writeViewImage(QWidget& view, const QString& path, QString& error);

}  // namespace velarion::charts
