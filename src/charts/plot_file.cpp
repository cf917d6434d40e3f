#include "plot_file.h"

#include "output/whole_file.h"

#include "results_charts.h"

#include <QBuffer>
#include <QDir>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

namespace velarion {

namespace {

bool isSvg(const QString& path) {
    return path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive);
}

// The charts stacked in one scene, which owns them.
void stackCharts(QGraphicsScene& scene, const FormState& form, const QLocale& locale) {
    const int lastRow = form.psiRows ? form.psiRows->lastRow : 0;
    std::unique_ptr<QChart> charts[] = {charts::displacementChart(form, locale),
                                        charts::stressChart(form, locale),
                                        charts::profileChart(form, locale, lastRow)};
    const qreal height = qreal(kPlotSize.height()) / std::size(charts);
    for (std::size_t i = 0; i < std::size(charts); ++i) {
        charts[i]->setGeometry(QRectF(0, height * i, kPlotSize.width(), height));
        scene.addItem(charts[i].release());
    }
    scene.setSceneRect(QRectF(QPointF(0, 0), kPlotSize));
}

void paintScene(QGraphicsScene& scene, QPaintDevice& device) {
    QPainter painter(&device);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(scene.sceneRect(), Qt::white);
    scene.render(&painter, scene.sceneRect(), scene.sceneRect());
}

QByteArray svgBytes(QGraphicsScene& scene) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(kPlotSize);
    svg.setViewBox(QRect(QPoint(0, 0), kPlotSize));
    svg.setTitle(QStringLiteral("Velarion results"));
    paintScene(scene, svg);
    return buffer.data();
}

// Empty when the picture could not be encoded.
QByteArray pngBytes(QGraphicsScene& scene) {
    QImage image(kPlotSize, QImage::Format_RGB32);
    paintScene(scene, image);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, "PNG") ? buffer.data() : QByteArray();
}

}  // namespace

// The picture is encoded in memory first, so a file that cannot take it is
// reported with the system's reason and keeps its old contents.
bool writePlotFile(const FormState& form, const QLocale& locale, const QString& path,
                   QString& error) {
    QGraphicsScene scene;
    stackCharts(scene, form, locale);
    const QByteArray bytes = isSvg(path) ? svgBytes(scene) : pngBytes(scene);
    QString reason = QStringLiteral("the picture could not be encoded");
    if (!bytes.isEmpty() && writeWholeFile(path, bytes, reason)) {
        return true;
    }
    error = QStringLiteral("The plot %1 could not be written: %2.")
                .arg(QDir::toNativeSeparators(path), reason);
    return false;
}

}  // namespace velarion
