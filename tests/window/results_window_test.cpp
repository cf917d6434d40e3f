#include "window/results_window.h"
#include "form1_fixture.h"

#include <QChart>
#include <QFile>
#include <QLineSeries>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>

namespace velarion::window::testing {
namespace {

class ResultsWindowTest : public Form1Fixture {
  protected:
    QAction* menuItem(const QString& menuTitle, const QString& itemText) {
        for (QAction* menu : form->findChild<QMenuBar*>()->actions()) {
            for (QAction* item : menu->menu()->actions()) {
                if (menu->text() == menuTitle && item->text() == itemText) {
                    return item;
                }
            }
        }
        ADD_FAILURE() << "no menu item " << itemText.toStdString();
        return nullptr;
    }
    void triggerMenu(const QString& menuTitle, const QString& itemText) {
        if (QAction* item = menuItem(menuTitle, itemText)) {
            item->trigger();
        }
    }
    ResultsWindow* openResults() {
        triggerMenu("&View", "&Results\u2026");
        return form->resultsWindow();
    }
    static QList<QPointF> points(QChart* chart, int series) {
        return static_cast<QLineSeries*>(chart->series().at(series))->points();
    }
};

TEST_F(ResultsWindowTest, ResultsShowTheDoubleRunRowByRow) {
    click(ctl::Command2);
    ResultsWindow* results = openResults();
    ASSERT_NE(results, nullptr);
    EXPECT_TRUE(results->isVisible());
    EXPECT_TRUE(results->isWindow());
    EXPECT_EQ(results->windowTitle(), "Velarion - Results");
    for (int chart : {0, 1}) {
        for (QAbstractSeries* series : results->chart(chart)->series()) {
            EXPECT_EQ(static_cast<QLineSeries*>(series)->count(), 31) << chart;
        }
    }
    EXPECT_EQ(results->chart(0)->series().size(), 2);
    EXPECT_EQ(points(results->chart(0), 1).back(),
              QPointF(30 * 1e-6, form->state().psi(30, 9999) - form->state().psi(0, 9999)));
    EXPECT_EQ(points(results->chart(2), 0).size(), 10000);
    EXPECT_EQ(results->rowSlider()->maximum(), 30);
    // The Italian locale of the fixture, and no note: 0.25 is stable.
    EXPECT_EQ(results->courantNote(), "Courant number VFase \u00d7 DeltaT / L0 = 0,25");
}

TEST_F(ResultsWindowTest, ResultsFollowEachRunOnItsOwnTimeAxis) {
    ResultsWindow* results = openResults();
    EXPECT_TRUE(points(results->chart(0), 0).isEmpty());
    beeps.clear();
    click(ctl::Command4);
    // Row j of the Girotondo run is level 12·j − 1 with the box's N of 4.
    const auto first = points(results->chart(0), 0);
    ASSERT_EQ(first.size(), 31);
    EXPECT_DOUBLE_EQ(first[1].x(), 11e-6);
    EXPECT_DOUBLE_EQ(first[30].x(), 359e-6);
    results->rowSlider()->setValue(1);
    const auto profile = points(results->chart(2), 0);
    EXPECT_EQ(profile[0].y(), form->state().psi(1, 0) - form->state().psi(0, 0));

    // A time step of 5e-6 s puts the Courant number at 1.25.
    set(ctl::TDeltaT, "0,000005");
    click(ctl::Command2);
    EXPECT_EQ(points(results->chart(1), 0).size(), 31);
    EXPECT_TRUE(
        results->courantNote().startsWith("Courant number VFase \u00d7 DeltaT / L0 = 1,25\n"))
        << results->courantNote().toStdString();
    EXPECT_TRUE(results->courantNote().contains("unstable"));
}

// The column of 100 pieces blows up with the seed's free end: the results
// window says so in red above its charts, and Model → Restoring free end
// makes the next run stable.
TEST_F(ResultsWindowTest, AnUnstableRunIsNoticedAndTheRestoringEndCuresIt) {
    QAction* restoring = menuItem("&Model", "&Restoring free end");
    ASSERT_NE(restoring, nullptr);
    EXPECT_TRUE(restoring->isCheckable());
    EXPECT_FALSE(restoring->isChecked());
    ResultsWindow* results = openResults();
    EXPECT_EQ(results->instabilityNotice(), "");
    set(ctl::TINDICE_MATRICE2, "100");
    set(ctl::TINDICE_MATRICE1, "3000");
    set(ctl::Tnitertemp, "3000");
    click(ctl::Command2);
    const QString notice = results->instabilityNotice();
    EXPECT_TRUE(notice.startsWith("Unstable from level ")) << notice.toStdString();
    EXPECT_TRUE(notice.endsWith("(Model \u2192 Restoring free end).")) << notice.toStdString();
    // The status line keeps its own text.
    EXPECT_TRUE(form->ops().text(ctl::LStatus).startsWith("Elaboration : "));

    restoring->trigger();
    EXPECT_EQ(form->state().freeEnd, FreeEnd::Restoring);
    click(ctl::Command2);
    EXPECT_EQ(results->instabilityNotice(), "");
    EXPECT_EQ(form->state().psiRows->freeEnd, FreeEnd::Restoring);
}

// The Girotondo run keeps its envelope while the results window is open.
TEST_F(ResultsWindowTest, TheGirotondoRunKeepsItsEnvelopeForAnOpenResultsWindow) {
    beeps.clear();
    click(ctl::Command4);
    EXPECT_TRUE(form->state().girotondoEnvelope.isEmpty());
    ResultsWindow* results = openResults();
    click(ctl::Command4);
    EXPECT_EQ(form->state().girotondoEnvelope.lastSegment(), 9999);
    results->close();
    click(ctl::Command4);
    EXPECT_TRUE(form->state().girotondoEnvelope.isEmpty());
}

TEST_F(ResultsWindowTest, ExportCsvAndAboutFromTheMenu) {
    triggerMenu("&File", "&Export CSV\u2026");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "No run has left rows in psi yet.");

    click(ctl::Command2);
    const QString path = dir.filePath("out.csv");
    csvChoice = CsvChoice{path, "9999"};
    triggerMenu("&File", "&Export CSV\u2026");
    EXPECT_EQ(offeredSegments, "0,9999");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count("\r\n"), 32);

    triggerMenu("&Help", "&About Velarion");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[1].text.contains(QStringLiteral("Qt ") + qVersion()));
}

}  // namespace
}  // namespace velarion::window::testing
