// Where the windows that Form1 opens go: the results window beside the main
// window, never over STOP and the GO buttons; the guide whole on the screen;
// the charts' axis titles whole, with their units.
#include "window/placement.h"
#include "charts/results_charts.h"
#include "form1_fixture.h"
#include "window/form1_layout.h"
#include "window/guide_window.h"
#include "window/results_window.h"

#include <QApplication>
#include <QChartView>
#include <QGraphicsTextItem>
#include <QLineSeries>
#include <QScreen>
#include <QTabWidget>

namespace velarion::window::testing {
namespace {

// The main window's frame on a screen without a window manager, its menu
// bar 23 pixels high, and STOP with the GO buttons on it.
struct MainWindow {
    QRect frame;
    QRect buttons;
};

MainWindow mainWindowAt(QPoint topLeft) {
    constexpr int kMenu = 23;
    const QRect frame(topLeft, QSize(twipsToDip(13725), twipsToDip(3180) + kMenu));
    const QRect buttons(topLeft + QPoint(twipsToDip(12240), kMenu + twipsToDip(60)),
                        QSize(twipsToDip(1425), twipsToDip(1710 + 345 - 60)));
    return {frame, buttons};
}

MainWindow centred(QSize screen) {
    const MainWindow probe = mainWindowAt({0, 0});
    return mainWindowAt(QPoint((screen.width() - probe.frame.width()) / 2,
                               (screen.height() - probe.frame.height()) / 2));
}

TEST(Placement, TheResultsWindowLeavesStopAndTheGoButtonsInSight) {
    struct Case {
        QSize screen;
        MainWindow main;
        bool clearOfMain;  // room beside or below the main window
    };
    const Case cases[] = {{{1366, 768}, centred({1366, 768}), false},
                          {{1920, 1080}, centred({1920, 1080}), false},
                          {{2560, 1440}, centred({2560, 1440}), true},
                          {{1366, 768}, mainWindowAt({0, 0}), true}};
    for (const Case& c : cases) {
        const QRect available(QPoint(0, 0), c.screen);
        // The size the results window asks for, as it does on such a screen.
        const QSize wanted(std::min(960, c.screen.width() * 9 / 10),
                           std::min(900, c.screen.height() * 85 / 100));
        const QRect placed =
            placeBeside(c.main.frame, c.main.buttons, wanted, ResultsWindow::kLeastSize, available);
        SCOPED_TRACE(::testing::Message()
                     << c.screen.width() << "x" << c.screen.height() << ", main at "
                     << c.main.frame.x() << "," << c.main.frame.y());
        EXPECT_TRUE(available.contains(placed));
        EXPECT_GE(placed.width(), ResultsWindow::kLeastSize.width());
        EXPECT_GE(placed.height(), ResultsWindow::kLeastSize.height());
        EXPECT_FALSE(placed.intersects(c.main.buttons));
        if (c.clearOfMain) {
            EXPECT_FALSE(placed.intersects(c.main.frame));
        }
    }
}

using PlacementWindows = Form1Fixture;

TEST_F(PlacementWindows, TheGuideWindowLiesWholeOnItsScreen) {
    form->show();
    form->mnuGuide_Click();
    ASSERT_NE(form->guideWindow(), nullptr);
    const QRect available = form->guideWindow()->screen()->availableGeometry();
    const QRect g = form->guideWindow()->frameGeometry();
    EXPECT_TRUE(available.contains(g))
        << g.x() << "," << g.y() << " " << g.width() << "x" << g.height() << " on "
        << available.width() << "x" << available.height();
}

// The texts the charts of a tab draw, their axis titles among them.
QStringList drawnTexts(ResultsWindow& results, std::initializer_list<int> charts) {
    QStringList texts;
    for (int index : charts) {
        for (const QGraphicsItem* item : results.chartView(index)->scene()->items()) {
            if (const auto* text = dynamic_cast<const QGraphicsTextItem*>(item)) {
                texts << text->toPlainText();
            }
        }
    }
    return texts;
}

// After an unstable run the notices above the charts leave the two charts
// of a tab little height: the vertical titles shorten, never cut, and keep
// their units.
TEST_F(PlacementWindows, AxisTitlesFitWithTheirUnits) {
    set(ctl::TINDICE_MATRICE2, "100");
    set(ctl::TINDICE_MATRICE1, "3000");
    set(ctl::Tnitertemp, "3000");
    click(ctl::Command2);
    form->mnuResults_Click();
    ResultsWindow& results = *form->resultsWindow();
    ASSERT_FALSE(results.instabilityNotice().isEmpty());
    for (const QSize size : {QSize(960, 652), QSize(640, 480)}) {
        results.resize(size);
        for (int tab = 0; tab < results.tabs()->count(); ++tab) {
            results.tabs()->setCurrentIndex(tab);
            QApplication::processEvents();
        }
        for (int chart = 0; chart < ResultsWindow::kCharts; ++chart) {
            const QStringList texts = drawnTexts(results, {chart});
            for (const QString& text : texts) {
                EXPECT_FALSE(text.contains(u'\u2026'))
                    << text.toStdString() << " at " << size.height() << ", chart " << chart;
            }
            const auto* axis = results.chart(chart)->axes(Qt::Vertical).front();
            EXPECT_TRUE(axis->titleText().endsWith(')')) << axis->titleText().toStdString();
        }
    }
}

// Two lines that lie on one another: the later one is dashed, and named so
// where they are one line throughout.
TEST_F(PlacementWindows, SeriesOnOneAnotherAreBothSeen) {
    click(ctl::Command2);
    form->mnuResults_Click();
    ResultsWindow& results = *form->resultsWindow();
    const auto series = [&](int chart, int index) {
        return static_cast<QLineSeries*>(results.chart(chart)->series().at(index));
    };
    // On the defaults the column moves as a whole, and no force does work.
    EXPECT_EQ(series(0, 1)->name(), "Last segment (9999), same as First segment (0)");
    EXPECT_EQ(series(0, 1)->pen().style(), Qt::DashLine);
    EXPECT_EQ(series(5, 3)->name(), "Total, same as Kinetic (constant within rounding)");
    EXPECT_EQ(series(5, 3)->pen().style(), Qt::DashLine);
    EXPECT_EQ(series(0, 0)->pen().style(), Qt::SolidLine);
    // A pressure moves the first segment alone: two lines, still both seen.
    set(ctl::TP, "1");
    click(ctl::Command2);
    EXPECT_EQ(series(0, 1)->name(), "Last segment (9999)");
    EXPECT_EQ(series(0, 1)->pen().style(), Qt::DashLine);
}

}  // namespace
}  // namespace velarion::window::testing
