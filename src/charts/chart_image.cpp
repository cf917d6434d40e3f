// A chart on screen saved as a picture.
#include "chart_image.h"

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
    const QByteArray bytes = isSvgFileName(path) ? svgBytes(view) : pngBytes(view);
    return writePictureFile(path, bytes, QStringLiteral("image"), error);
}

}  // namespace velarion::charts
