#include "plot_file.h"

#include "output/whole_file.h"

#include "results_charts.h"

#include <QBuffer>
#include <QDir>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <utility>
#include <vector>

namespace velarion {

namespace {

std::vector<std::unique_ptr<QChart>> pageCharts(const FormState& form, const QLocale& locale,
                                                PlotPage page) {
    const int lastRow = form.psiRows ? form.psiRows->lastRow : 0;
    std::vector<std::unique_ptr<QChart>> charts;
    switch (page) {
        case PlotPage::Time:
            charts.push_back(charts::displacementChart(form, locale));
            charts.push_back(charts::stressChart(form, locale));
            charts.push_back(charts::profileChart(form, locale, lastRow));
            break;
        case PlotPage::Profile:
            charts.push_back(charts::profileChart(form, locale, lastRow));
            break;
        case PlotPage::Envelope: {
            charts::EnvelopeCharts envelope = charts::envelopeCharts(form, locale);
            charts.push_back(std::move(envelope.displacement));
            charts.push_back(std::move(envelope.stress));
            break;
        }
        case PlotPage::Energy:
            charts.push_back(charts::energyChart(form, locale));
            break;
    }
    return charts;
}

// The picture's size: 400 pixels of height a chart, the three charts of the
// time series in kPlotSize.
QSize pageSize(std::size_t charts) {
    return QSize(kPlotSize.width(), static_cast<int>(kPlotSize.height() / 3 * charts));
}

// The charts stacked in one scene, which owns them.
void stackCharts(QGraphicsScene& scene, const FormState& form, const QLocale& locale,
                 PlotPage page) {
    std::vector<std::unique_ptr<QChart>> charts = pageCharts(form, locale, page);
    const QSize size = pageSize(charts.size());
    const qreal height = qreal(size.height()) / charts.size();
    for (std::size_t i = 0; i < charts.size(); ++i) {
        charts[i]->setGeometry(QRectF(0, height * i, size.width(), height));
        scene.addItem(charts[i].release());
    }
    scene.setSceneRect(QRectF(QPointF(0, 0), size));
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
    const QSize size = scene.sceneRect().size().toSize();
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(QStringLiteral("Velarion results"));
    paintScene(scene, svg);
    return buffer.data();
}

// Empty when the picture could not be encoded.
QByteArray pngBytes(QGraphicsScene& scene) {
    QImage image(scene.sceneRect().size().toSize(), QImage::Format_RGB32);
    paintScene(scene, image);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, "PNG") ? buffer.data() : QByteArray();
}

}  // namespace

// The picture is encoded in memory first, so a file that cannot take it is
// reported with the system's reason and keeps its old contents.
bool writePlotFile(const FormState& form, const QLocale& locale, const QString& path,
                   QString& error, PlotPage page) {
    QGraphicsScene scene;
    stackCharts(scene, form, locale, page);
    const QByteArray bytes = isSvgFileName(path) ? svgBytes(scene) : pngBytes(scene);
    return writePictureFile(path, bytes, QStringLiteral("plot"), error);
}

bool writePictureFile(const QString& path, const QByteArray& bytes, const QString& what,
                      QString& error) {
    QString reason = QStringLiteral("the picture could not be encoded");
    if (!bytes.isEmpty() && writeWholeFile(path, bytes, reason)) {
        return true;
    }
    error = QStringLiteral("The %1 %2 could not be written: %3.")
                .arg(what, QDir::toNativeSeparators(path), reason);
    return false;
}

}  // namespace velarion
