#include "plot_file.h"

#include "output/whole_file.h"

#include "results_charts.h"

#include <QDir>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
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

bool writeSvg(QGraphicsScene& scene, QSaveFile& file) {
    QSvgGenerator svg;
    svg.setOutputDevice(&file);
    svg.setSize(kPlotSize);
    svg.setViewBox(QRect(QPoint(0, 0), kPlotSize));
    svg.setTitle(QStringLiteral("Velarion results"));
    paintScene(scene, svg);
    return file.error() == QFileDevice::NoError;
}

bool writePng(QGraphicsScene& scene, QSaveFile& file) {
    QImage image(kPlotSize, QImage::Format_RGB32);
    paintScene(scene, image);
    return image.save(&file, "PNG");
}

}  // namespace

bool isPlotFileName(const QString& path) {
    return isSvg(path) || path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive);
}

bool writePlotFile(const FormState& form, const QLocale& locale, const QString& path,
                   QString& error) {
    QGraphicsScene scene;
    stackCharts(scene, form, locale);
    QSaveFile file(path);
    QString reason;
    bool written = file.open(QIODevice::WriteOnly);
    if (written) {
        if (!(isSvg(path) ? writeSvg(scene, file) : writePng(scene, file))) {
            file.cancelWriting();  // a picture that could not be drawn replaces nothing
        }
        written = commitWhole(file, reason);
    } else {
        reason = file.errorString();
    }
    if (!written) {
        error = QStringLiteral("The plot %1 could not be written: %2.")
                    .arg(QDir::toNativeSeparators(path), reason);
    }
    return written;
}

}  // namespace velarion
