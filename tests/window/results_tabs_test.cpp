// The results window's tabs: its size, its states, the profile's animation,
// the zoom and the saved image.
#include "charts/results_charts.h"
#include "form1_fixture.h"
#include "window/results_window.h"

#include <QApplication>
#include <QChartView>
#include <QElapsedTimer>
#include <QImage>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QThread>
#include <QValueAxis>

namespace velarion::window::testing {
namespace {

class ResultsTabsTest : public Form1Fixture {
  protected:
    ResultsWindow* openResults() {
        form->mnuResults_Click();
        return form->resultsWindow();
    }
    static int pointCount(QChart* chart) {
        return static_cast<QLineSeries*>(chart->series().front())->count();
    }
    static std::pair<double, double> range(QChart* chart, Qt::Orientation orientation) {
        const auto* axis = static_cast<QValueAxis*>(chart->axes(orientation).front());
        return {axis->min(), axis->max()};
    }
    // Waits, letting the events in, until `done` holds or twenty seconds pass: a
    // sanitized build draws each row of the profile slowly.
    static bool waitFor(const std::function<bool()>& done) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < 20000) {
            QApplication::processEvents();
            QThread::msleep(5);
        }
        return done();
    }
    // The same range but for the last bits that zooming out again leaves.
    static void expectRange(QChart* chart, Qt::Orientation orientation,
                            std::pair<double, double> expected) {
        const auto [low, high] = range(chart, orientation);
        const double tolerance = 1e-9 * (expected.second - expected.first);
        EXPECT_NEAR(low, expected.first, tolerance);
        EXPECT_NEAR(high, expected.second, tolerance);
    }
    static void sendMouse(QWidget* to, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, to->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(to, &event);
    }
};

// Every control lies inside a window of 640 × 480, on every tab.
TEST_F(ResultsTabsTest, FitsIn640By480WithEveryControlReachable) {
    ResultsWindow* results = openResults();
    EXPECT_LE(results->minimumSizeHint().width(), 640);
    EXPECT_LE(results->minimumSizeHint().height(), 480);
    QStringList names;
    for (int i = 0; i < results->tabs()->count(); ++i) {
        names << results->tabs()->tabText(i).remove('&');
    }
    EXPECT_EQ(names, QStringList({"Time series", "Profile", "Envelope", "Energy"}));

    click(ctl::Command2);
    results->resize(640, 480);
    results->tabs()->setCurrentIndex(1);
    QApplication::processEvents();
    EXPECT_EQ(results->size(), QSize(640, 480));
    QList<QWidget*> controls{results->playButton(), results->rowSlider(), results->speedBox()};
    for (QPushButton* button : results->findChildren<QPushButton*>()) {
        controls << button;
    }
    for (QWidget* control : controls) {
        const QRect where(control->mapTo(results, QPoint(0, 0)), control->size());
        EXPECT_TRUE(results->rect().contains(where)) << control->metaObject()->className();
        EXPECT_TRUE(control->isVisibleTo(results)) << control->metaObject()->className();
    }
    EXPECT_GE(results->chartView(2)->height(), 100);
}

TEST_F(ResultsTabsTest, BeforeAnyRunItSaysSoAndDrawsNoAxes) {
    ResultsWindow* results = openResults();
    const auto saveButton = [results] {
        for (QPushButton* button : results->findChildren<QPushButton*>()) {
            if (button->text() == QStringLiteral("Save image\u2026")) {
                return button;
            }
        }
        return static_cast<QPushButton*>(nullptr);
    };
    ASSERT_NE(saveButton(), nullptr);
    EXPECT_TRUE(results->showsNoRunYet());
    EXPECT_FALSE(results->tabs()->isVisible());
    EXPECT_FALSE(saveButton()->isEnabled());
    click(ctl::Command2);
    EXPECT_FALSE(results->showsNoRunYet());
    EXPECT_TRUE(results->tabs()->isVisible());
    EXPECT_TRUE(saveButton()->isEnabled());
}

// The decimal run leaves psi alone: the charts say whose rows they show.
TEST_F(ResultsTabsTest, AfterADecimalRunItSaysWhoseChartsItShows) {
    click(ctl::Command4);
    ResultsWindow* results = openResults();
    EXPECT_EQ(results->decimalNote(), "");
    set(ctl::TINDICE_MATRICE2, "10");
    set(ctl::Tnitertemp, "6");
    form->Command1_Click();
    EXPECT_EQ(results->decimalNote(),
              "The decimal run leaves psi alone: these charts show the last Girotondo run.");
    click(ctl::Command2);
    EXPECT_EQ(results->decimalNote(), "");
}

TEST_F(ResultsTabsTest, PlayStepsTheProfileThroughTheRowsAndPauseStopsIt) {
    click(ctl::Command2);
    ResultsWindow* results = openResults();
    results->tabs()->setCurrentIndex(1);
    QSlider* slider = results->rowSlider();
    ASSERT_EQ(slider->maximum(), 30);
    slider->setValue(5);
    const auto firstProfile = static_cast<QLineSeries*>(results->chart(2)->series().front())->at(0);
    results->speedBox()->setValue(200);
    results->playButton()->click();
    EXPECT_EQ(results->playButton()->text(), "Pause");
    ASSERT_TRUE(waitFor([&] { return slider->value() >= 8; }));
    results->playButton()->click();
    EXPECT_EQ(results->playButton()->text(), "Play");
    const int paused = slider->value();
    QThread::msleep(30);
    QApplication::processEvents();
    EXPECT_EQ(slider->value(), paused);
    // The chart and the caption follow the slider.
    const auto profile = static_cast<QLineSeries*>(results->chart(2)->series().front());
    EXPECT_EQ(profile->at(0).y(), form->state().psi(paused, 0) - form->state().psi(0, 0));
    EXPECT_NE(profile->at(0), firstProfile);
    EXPECT_TRUE(profile->name().startsWith(QStringLiteral("Row %1: level %1,").arg(paused)))
        << profile->name().toStdString();
    // Closing the window stops playing.
    results->playButton()->click();
    results->close();
    EXPECT_FALSE(results->playButton()->isChecked());
    // Played to the end it stops there by itself.
    results->show();
    results->playButton()->click();
    ASSERT_TRUE(waitFor([&] { return !results->playButton()->isChecked(); }));
    EXPECT_EQ(slider->value(), 30);
}

// The charts follow a run of 1000 levels at its pump points, then show all
// of it.
TEST_F(ResultsTabsTest, AnOpenWindowFollowsARunAsItGoes) {
    ResultsWindow* results = openResults();
    set(ctl::TINDICE_MATRICE1, "1001");
    set(ctl::Tnitertemp, "1000");
    std::vector<int> seen;
    atPumps({[&] { seen.push_back(pointCount(results->chart(0))); },
             [&] { seen.push_back(pointCount(results->chart(0))); }});
    click(ctl::Command2);
    ASSERT_TRUE(messages.empty()) << messages[0].text.toStdString();
    // At the first pump (level 100) the charts still show no run; at the
    // second they show the rows up to level 100.
    EXPECT_EQ(seen, std::vector<int>({0, 101}));
    EXPECT_EQ(pointCount(results->chart(0)), 1001);
    EXPECT_EQ(results->rowSlider()->maximum(), 1000);
}

// Dragging a rectangle zooms in, a double-click or "Reset zoom" restores
// the whole chart; "Save image…" writes what the tab shows.
TEST_F(ResultsTabsTest, ZoomResetAndSave) {
    click(ctl::Command2);
    ResultsWindow* results = openResults();
    QApplication::processEvents();
    QChart* chart = results->chart(0);
    const auto x = range(chart, Qt::Horizontal);
    const auto y = range(chart, Qt::Vertical);
    QWidget* viewport = results->chartView(0)->viewport();
    const QRectF plot = chart->plotArea();
    const QPoint from = results->chartView(0)->mapFromScene(plot.topLeft() + QPointF(20, 10));
    const QPoint to = results->chartView(0)->mapFromScene(plot.center());
    sendMouse(viewport, QEvent::MouseButtonPress, from, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseMove, to, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseButtonRelease, to, Qt::NoButton);
    const auto zoomedX = range(chart, Qt::Horizontal);
    EXPECT_GT(zoomedX.first, x.first);
    EXPECT_LT(zoomedX.second - zoomedX.first, (x.second - x.first) * 0.6);
    EXPECT_NE(range(chart, Qt::Vertical), y);

    sendMouse(viewport, QEvent::MouseButtonDblClick, to, Qt::LeftButton);
    expectRange(chart, Qt::Horizontal, x);
    expectRange(chart, Qt::Vertical, y);

    chart->zoomIn(QRectF(plot.topLeft(), plot.size() / 3));
    EXPECT_NE(range(chart, Qt::Horizontal), x);
    for (QPushButton* button : results->findChildren<QPushButton*>()) {
        if (button->text() == "Reset zoom") {
            button->click();
        }
    }
    expectRange(chart, Qt::Horizontal, x);
    expectRange(chart, Qt::Vertical, y);

    QString error;
    ASSERT_TRUE(results->saveImage(dir.filePath("time.png"), error)) << error.toStdString();
    const QImage image(dir.filePath("time.png"));
    // Both charts of the tab, one above the other, and nothing else.
    EXPECT_EQ(image.size(), QSize(results->chartView(0)->width(),
                                  results->chartView(1)->geometry().bottom() + 1));
    ASSERT_TRUE(results->saveImage(dir.filePath("time.svg"), error)) << error.toStdString();
    EXPECT_TRUE(velarion::testing::contentsOf(dir.filePath("time.svg")).contains("<svg"));
    EXPECT_FALSE(results->saveImage(dir.filePath("time.pdf"), error));
    EXPECT_FALSE(QFile::exists(dir.filePath("time.pdf")));
}

// On the defaults the stress in the first piece is rounding noise of a few
// nanopascals against B: drawn flat and said so.
TEST_F(ResultsTabsTest, RoundingNoiseIsDrawnFlatAndNamed) {
    click(ctl::Command2);
    ResultsWindow* results = openResults();
    QChart* stress = results->chart(1);
    EXPECT_TRUE(stress->title().endsWith(charts::kConstantWithinRounding))
        << stress->title().toStdString();
    const QList<QPointF> points = static_cast<QLineSeries*>(stress->series().front())->points();
    ASSERT_EQ(points.size(), 31);
    for (const QPointF& p : points) {
        EXPECT_EQ(p.y(), 0.0);
    }
    // The displacement of the first segment is a signal, and stays one.
    EXPECT_FALSE(
        results->chart(0)->series().front()->name().endsWith(charts::kConstantWithinRounding));
}

}  // namespace
}  // namespace velarion::window::testing
