#include "plot_file.h"

#include "output/whole_file.h"

#include "results_charts.h"

#include <QBuffer>
#include <QDir>
#include <QGraphicsScene>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QSemaphore>
#include <QSvgGenerator>
#include <QThreadPool>

#include <malloc.h>
#include <sys/mman.h>

#include <algorithm>
#include <functional>
#include <new>
#include <utility>
#include <vector>

namespace velarion {

namespace {

std::vector<std::unique_ptr<QChart>> pageCharts(const FormState& form,
                                                const std::optional<EnvelopeExtremes>& envelope,
                                                const QLocale& locale, PlotPage page) {
    const int lastRow = form.psiRows ? form.psiRows->lastRow : 0;
    std::vector<std::unique_ptr<QChart>> charts;
    switch (page) {
        case PlotPage::Time:
            charts.push_back(charts::displacementChart(form, locale));
            charts.push_back(charts::stressChart(form, locale));
            if (charts::stressLeads(form)) {
                std::swap(charts[0], charts[1]);
            }
            charts.push_back(charts::profileChart(form, locale, lastRow));
            break;
        case PlotPage::Profile:
            charts.push_back(charts::profileChart(form, locale, lastRow));
            break;
        case PlotPage::Envelope: {
            charts::EnvelopeCharts pair = charts::envelopeCharts(form, envelope, locale);
            charts.push_back(std::move(pair.displacement));
            charts.push_back(std::move(pair.stress));
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

// The points of a line that fall in one of `columns` columns of the
// picture, at most four a column: the first, the lowest, the highest and
// the last, in their order. The line through them covers the pixels the
// line through every point covers, at a few thousand points whatever the
// run; drawing hundreds of thousands took more memory than the run.
QList<QPointF> thinnedToColumns(const QList<QPointF>& points, int columns) {
    if (points.size() <= 4 * columns) {
        return points;
    }
    const double left = points.front().x();
    const double width = points.back().x() - left;
    const auto columnOf = [&](const QPointF& p) {
        return width > 0
                   ? std::clamp(static_cast<int>((p.x() - left) / width * columns), 0, columns - 1)
                   : 0;
    };
    QList<QPointF> kept;
    kept.reserve(4 * columns + 4);
    qsizetype start = 0;
    while (start < points.size()) {
        const int column = columnOf(points[start]);
        qsizetype end = start + 1, low = start, high = start;
        for (; end < points.size() && columnOf(points[end]) == column; ++end) {
            low = points[end].y() < points[low].y() ? end : low;
            high = points[end].y() > points[high].y() ? end : high;
        }
        qsizetype picked[] = {start, low, high, end - 1};
        std::sort(std::begin(picked), std::end(picked));
        for (qsizetype i = 0; i < 4; ++i) {
            if (i == 0 || picked[i] != picked[i - 1]) {
                kept.append(points[picked[i]]);
            }
        }
        start = end;
    }
    return kept;
}

// The charts stacked in one scene, which owns them, each line thinned to
// what the picture can show.
void stackCharts(QGraphicsScene& scene, const FormState& form,
                 const std::optional<EnvelopeExtremes>& envelope, const QLocale& locale,
                 PlotPage page) {
    std::vector<std::unique_ptr<QChart>> charts = pageCharts(form, envelope, locale, page);
    const QSize size = pageSize(charts.size());
    const qreal height = qreal(size.height()) / charts.size();
    for (std::size_t i = 0; i < charts.size(); ++i) {
        for (QAbstractSeries* series : charts[i]->series()) {
            auto* line = static_cast<QLineSeries*>(series);
            line->replace(thinnedToColumns(line->points(), size.width()));
        }
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

// Empty when the picture could not be encoded (also when there is no
// memory for its pixels).
QByteArray pngBytes(QGraphicsScene& scene) {
    QImage image(scene.sceneRect().size().toSize(), QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    paintScene(scene, image);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, "PNG") ? buffer.data() : QByteArray();
}

// The picture's bytes, or why there are none.
QByteArray drawnPicture(const FormState& form, const std::optional<EnvelopeExtremes>& envelope,
                        const QLocale& locale, const QString& path, PlotPage page,
                        QString& reason) {
    try {
        QGraphicsScene scene;
        stackCharts(scene, form, envelope, locale, page);
        const QByteArray bytes = isSvgFileName(path) ? svgBytes(scene) : pngBytes(scene);
        if (bytes.isEmpty()) {
            reason = QStringLiteral("the picture could not be drawn");
        }
        return bytes;
    } catch (const std::bad_alloc&) {
        reason = QStringLiteral("there is not enough memory to draw the picture");
    }
    return {};
}

// Qt's raster engine shares large fills and image conversions among the
// threads of its global pool and waits for them, unless it runs on one of
// them; a thread the pool cannot start (a pids limit, an address space too
// small for its stack) it waits for for ever. So the picture is drawn on a
// thread of that pool, where the engine draws alone. When the pool cannot
// start that thread, Qt says so in a warning, which is taken here as the
// reason; the pool then waits for ever for that thread, so the process
// must end without waiting for the pool (plotThreadsStuck()).
QString failedThreadStart;
bool threadsStuck = false;
QtMessageHandler previousHandler = nullptr;

void takeThreadStartFailure(QtMsgType type, const QMessageLogContext& context,
                            const QString& message) {
    static const QString failure = QStringLiteral("QThread::start: Thread creation error");
    if (message.startsWith(failure)) {
        failedThreadStart = message.mid(failure.size()).trimmed();
    } else if (previousHandler != nullptr) {
        previousHandler(type, context, message);
    }
}

// Qt does not check its allocations: out of memory, it crashes. So a
// picture is drawn only where this much address space is free, more than
// twice what drawing one takes: the lines thinned to a few thousand points,
// the pixels, the fonts and their glyphs, the thread's stack.
constexpr std::size_t kDrawingBytes = 24 * 1024 * 1024;

bool hasRoomToDraw() {
    void* room = ::mmap(nullptr, kDrawingBytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (room == MAP_FAILED) {
        return false;
    }
    ::munmap(room, kDrawingBytes);
    return true;
}

// A new thread would get a malloc arena of its own (64 MB of address space)
// and a stack as large as ulimit -s (8 MB): under an address space limit
// (ulimit -v) drawing there would lack the memory that drawing in the
// calling thread has. The drawing thread takes an arena already made and a
// stack of 2 MB.
constexpr unsigned kDrawingStackBytes = 2 * 1024 * 1024;

// Runs `draw` on the thread of Qt's global pool and waits for it; false when
// no thread could be started, with Qt's reason in `reason`.
bool runOnPoolThread(const std::function<void()>& draw, QString& reason) {
    if (!hasRoomToDraw()) {
        reason = QStringLiteral("there is not enough memory to draw the picture");
        return false;
    }
    QThreadPool* pool = QThreadPool::globalInstance();
    ::mallopt(M_ARENA_MAX, 1);
    pool->setStackSize(kDrawingStackBytes);
    // Every picture on the same thread, kept: Qt Charts measures its texts
    // with an item of its own made on the thread that drew first, which
    // another thread must not touch.
    pool->setMaxThreadCount(1);
    pool->setExpiryTimeout(-1);
    QSemaphore done;
    failedThreadStart.clear();
    previousHandler = qInstallMessageHandler(takeThreadStartFailure);
    pool->start([&] {
        draw();
        done.release();
    });
    qInstallMessageHandler(previousHandler);
    if (!failedThreadStart.isEmpty()) {
        threadsStuck = true;
        reason = QStringLiteral("no thread could be started to draw the picture %1")
                     .arg(failedThreadStart);
        return false;
    }
    done.acquire();
    return true;
}

}  // namespace

// The picture is encoded in memory first, so a file that cannot take it is
// reported with the system's reason and keeps its old contents.
bool writePlotFile(const FormState& form, const std::optional<EnvelopeExtremes>& envelope,
                   const QLocale& locale, const QString& path, QString& error, PlotPage page) {
    QString reason;
    QByteArray bytes;
    runOnPoolThread([&] { bytes = drawnPicture(form, envelope, locale, path, page, reason); },
                    reason);
    if (bytes.isEmpty()) {
        error = QStringLiteral("The plot %1 could not be drawn: %2.")
                    .arg(QDir::toNativeSeparators(path), reason);
        return false;
    }
    return writePictureFile(path, bytes, QStringLiteral("plot"), error);
}

bool plotThreadsStuck() {
    return threadsStuck;
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
