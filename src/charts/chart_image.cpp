// A chart on screen saved as a picture.
#include "chart_image.h"

#include "output/whole_file.h"
#include "plot_file.h"

#include <QBuffer>
#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QSvgGenerator>
#include <QWidget>

namespace velarion::charts {

namespace {

QByteArray svgBytes(QWidget& view) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(view.size());
    svg.setViewBox(view.rect());
    svg.setTitle(QStringLiteral("Velarion results"));
    QPainter painter(&svg);
    view.render(&painter);
    painter.end();
    return buffer.data();
}

// Empty when the picture could not be encoded.
QByteArray pngBytes(QWidget& view) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return view.grab().save(&buffer, "PNG") ? buffer.data() : QByteArray();
}

}  // namespace

bool writeViewImage(QWidget& view, const QString& path, QString& error) {
    if (!isPlotFileName(path)) {
        error = QStringLiteral("%1 ends neither in .png nor in .svg.")
                    .arg(QDir::toNativeSeparators(path));
        return false;
    }
    const bool svg = path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive);
    const QByteArray bytes = svg ? svgBytes(view) : pngBytes(view);
    QString reason = QStringLiteral("the picture could not be encoded");
    if (!bytes.isEmpty() && writeWholeFile(path, bytes, reason)) {
        return true;
    }
    error = QStringLiteral("The image %1 could not be written: %2.")
                .arg(QDir::toNativeSeparators(path), reason);
    return false;
}

}  // namespace velarion::charts
