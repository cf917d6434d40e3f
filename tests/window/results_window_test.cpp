#include "window/results_window.h"
#include "charts/results_charts.h"
#include "form1_fixture.h"
#include "results/energy_series.h"
#include "results/results_file.h"

#include <QChart>
#include <QChartView>
#include <QFile>
#include <QLayout>
#include <QLineSeries>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>
#include <QTextDocument>
#include "window/guide_window.h"

#include <unistd.h>

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
    EXPECT_EQ(results->courantNote(),
              "Courant number 1,25 > 1: the scheme is unstable; TDeltaT \u2264 4E-06 s keeps it "
              "stable.");
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
    // Drawing the run again reads the energy and the envelope it kept.
    const std::uint64_t passes = energyPassesOverPsi();
    results->refresh();
    results->refresh();
    EXPECT_EQ(energyPassesOverPsi(), passes);
    // The status line keeps its own text.
    EXPECT_TRUE(form->ops().text(ctl::LStatus).startsWith("Elaboration : "));

    restoring->trigger();
    EXPECT_EQ(form->state().freeEnd, FreeEnd::Restoring);
    click(ctl::Command2);
    EXPECT_EQ(results->instabilityNotice(), "");
    EXPECT_EQ(form->state().psiRows->freeEnd, FreeEnd::Restoring);
}

// A water hammer from the Model menu: a valve shut at t = 0 with a
// reservoir. The results lead with the stress at the valve, Joukowsky's
// rise dashed across it and 2L/c marked, and the summary names the ends.
TEST_F(ResultsWindowTest, AShutValveLeadsWithTheStressAtTheValve) {
    triggerMenu("&Model", "Valve &shut at t = 0");
    triggerMenu("&Model", "&Restoring free end");
    EXPECT_EQ(form->state().hammer.firstEnd, FirstEnd::Closed);
    set(ctl::TINDICE_MATRICE2, "100");
    set(ctl::TINDICE_MATRICE1, "2000");
    set(ctl::Tnitertemp, "2000");
    click(ctl::Command2);
    ResultsWindow* results = openResults();
    EXPECT_EQ(results->instabilityNotice(), "");
    QWidget* view = results->chartView(1);
    EXPECT_EQ(view->parentWidget()->layout()->indexOf(view), 0);
    QChart* stress = results->chart(1);
    ASSERT_EQ(stress->series().size(), 3);
    // 1000 kg/m3 x 50 m/s x 5.5 m/s; L = 100.5 pieces of 0.2 mm.
    EXPECT_EQ(stress->series().at(1)->name(), "Joukowsky \u03c1 c V0 = 275000 Pa");
    EXPECT_EQ(points(stress, 1).front().y(), 275000);
    EXPECT_EQ(stress->series().at(2)->name(), "2L/c = 0,000804 s");
    EXPECT_TRUE(charts::runSummary(form->state(), QLocale(QLocale::Italian))
                    .endsWith("Valve shut at t = 0 at segment 0, reservoir (restoring free end) "
                              "at segment M, no friction."));
}

// The closing time and the friction come from their dialog, and every
// choice of the Model menu comes back in the next session; a .cnf file
// keeps its eleven lines.
TEST_F(ResultsWindowTest, TheModelChoicesAreRememberedButNotSaved) {
    hammerChoice = WaterHammer{FirstEnd::CounterPressure, 0.05, 0.02};
    triggerMenu("&Model", "Closing time and &friction\u2026");
    EXPECT_EQ(offeredHammer.closingTime, 0.1);
    triggerMenu("&Model", "Valve &closing in 0,05 s");
    triggerMenu("&Model", "Closed &last end (dead end)");
    const WaterHammer chosen{FirstEnd::Valve, 0.05, 0.02};
    EXPECT_EQ(form->state().hammer, chosen);
    EXPECT_EQ(form->state().freeEnd, FreeEnd::Closed);

    // Cancelled, the dialog changes nothing.
    hammerChoice.reset();
    triggerMenu("&Model", "Closing time and &friction\u2026");
    EXPECT_EQ(form->state().hammer, chosen);

    form = std::make_unique<Form1>(QLocale(QLocale::Italian, QLocale::Italy), hooks());
    EXPECT_EQ(form->state().hammer, chosen);
    EXPECT_EQ(form->state().freeEnd, FreeEnd::Closed);
    EXPECT_TRUE(menuItem("&Model", "Valve &closing in 0,05 s")->isChecked());
    EXPECT_TRUE(menuItem("&Model", "Closed &last end (dead end)")->isChecked());
    // Checking the restoring end unchecks the dead end.
    triggerMenu("&Model", "&Restoring free end");
    EXPECT_FALSE(menuItem("&Model", "Closed &last end (dead end)")->isChecked());
    EXPECT_EQ(form->state().freeEnd, FreeEnd::Restoring);

    inputAnswers.push_back("water.cnf");
    click(ctl::CSaveConfig);
    const QByteArray cnf = velarion::testing::contentsOf(dir.filePath("water.cnf"));
    EXPECT_EQ(cnf.count("\r\n"), 11);
    EXPECT_FALSE(cnf.contains("0,05"));
}

// The note beside the GO buttons: a time step beyond the Courant limit as
// it is typed, then what an unstable run left; a new run clears both that
// note and the results window's red notice as it starts.
TEST_F(ResultsWindowTest, NoticesAreThoseOfTheLastRunAndTheBoxesNow) {
    EXPECT_EQ(form->runNote(), "");
    set(ctl::TDeltaT, "0,00001");
    EXPECT_TRUE(form->runNoteTip().startsWith("Courant number 2,5 > 1: the scheme is unstable"))
        << form->runNoteTip().toStdString();
    set(ctl::TDeltaT, "0,000001");
    EXPECT_EQ(form->runNote(), "");

    ResultsWindow* results = openResults();
    set(ctl::TINDICE_MATRICE2, "100");
    set(ctl::TINDICE_MATRICE1, "3000");
    set(ctl::Tnitertemp, "3000");
    click(ctl::Command2);
    EXPECT_EQ(form->runNoteTip(), "Last run unstable from level 874: View \u2192 Results");
    EXPECT_FALSE(results->instabilityNotice().isEmpty());
    // The next run, stable, shows neither from its start on.
    QString noteAtFirstPump = "not seen";
    QString noticeAtFirstPump = "not seen";
    atPumps({[&] {
        noteAtFirstPump = form->runNoteTip();
        noticeAtFirstPump = results->instabilityNotice();
    }});
    menuItem("&Model", "&Restoring free end")->trigger();
    click(ctl::Command2);
    EXPECT_EQ(noteAtFirstPump, "");
    EXPECT_EQ(noticeAtFirstPump, "");
    EXPECT_EQ(form->runNoteTip(), "");
    // The status line keeps its own text.
    EXPECT_TRUE(text(ctl::LStatus).startsWith("Elaboration : "));
}

// The summary says how long the run simulated and how long the column is,
// in units: Ttot of a Girotondo run counts a third of the time steps, and
// L0 is ltot / 10000 whatever the number of pieces.
TEST_F(ResultsWindowTest, TheSummarySaysWhatTheRunCovered) {
    triggerMenu("&Model", "&Restoring free end");
    // 100 pieces of ltot / 10000; the Girotondo rows reach level 3·4·30 − 1
    // while Ttot counts 4·30 time steps.
    set(ctl::TINDICE_MATRICE2, "100");
    beeps.clear();
    click(ctl::Command4);
    EXPECT_EQ(text(ctl::Ttot), "0,00012");
    EXPECT_EQ(openResults()->summary(),
              "Girotondo run, completed: rows 0 to 30 of psi, segments 0 to 100. Simulated "
              "time 0,000359 s (level 359); the column 0,02 m long (100 pieces of 0,0002 m).\n"
              "Counter pressure at segment 0, reservoir (restoring free end) at segment M, no "
              "friction.");
}

// The Girotondo run keeps its envelope while the results window is open.
// The Girotondo run keeps its envelope only when View → Girotondo envelope
// is ticked, open results window or not, and the choice comes back in the
// next session.
TEST_F(ResultsWindowTest, TheGirotondoRunKeepsItsEnvelopeWhenAsked) {
    beeps.clear();
    ResultsWindow* results = openResults();
    click(ctl::Command4);
    EXPECT_TRUE(form->state().girotondoEnvelope.isEmpty());
    EXPECT_TRUE(results->envelopeNote().contains("View \u2192 Girotondo envelope"))
        << results->envelopeNote().toStdString();
    triggerMenu("&View", "Girotondo &envelope");
    results->close();
    click(ctl::Command4);
    EXPECT_EQ(form->state().girotondoEnvelope.lastSegment(), 9999);

    form = std::make_unique<Form1>(QLocale(QLocale::Italian, QLocale::Italy), hooks());
    EXPECT_TRUE(menuItem("&View", "Girotondo &envelope")->isChecked());
    triggerMenu("&View", "Girotondo &envelope");
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
    EXPECT_TRUE(messages[1].text.contains("MIT License")) << messages[1].text.toStdString();
}

// From the build tree the guide is the repository's copy; the About box
// links to the same file.
TEST_F(ResultsWindowTest, UsersGuideShowsTheGuideAndAboutLinksToIt) {
    triggerMenu("&Help", "User's &guide");
    ASSERT_NE(form->guideWindow(), nullptr);
    EXPECT_TRUE(messages.empty());
    const QTextDocument* guide = form->guideWindow()->document();
    EXPECT_TRUE(guide->toPlainText().startsWith("Velarion user's guide"))
        << guide->toPlainText().left(80).toStdString();
    const QUrl source = form->guideWindow()->source();
    ASSERT_TRUE(source.isLocalFile());
    // The pictures load relative to the guide.
    const QVariant picture =
        guide->resource(QTextDocument::ImageResource, source.resolved(QUrl("window-fresh.png")));
    EXPECT_FALSE(picture.value<QImage>().isNull());

    triggerMenu("&Help", "&About Velarion");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].detail.contains(QStringLiteral("href=\"%1\"").arg(source.toString())))
        << messages[0].detail.toStdString();
}

// Export CSV… and Save Config. write through the whole-file writer: into a
// pipe in place, and never through a link to nothing.
TEST_F(ResultsWindowTest, ExportAndSaveWriteIntoAPipeAndRefuseADanglingLink) {
    click(ctl::Command2);
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const QString pipe = QStringLiteral("/dev/fd/%1").arg(pipeEnds[1]);
    csvChoice = CsvChoice{pipe, ""};
    triggerMenu("&File", "&Export CSV…");
    inputAnswers = {pipe};
    click(ctl::CSaveConfig);
    ::close(pipeEnds[1]);
    QFile piped;
    ASSERT_TRUE(piped.open(pipeEnds[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    const QByteArray bytes = piped.readAll();
    EXPECT_TRUE(messages.empty()) << messages[0].detail.toStdString();
    EXPECT_TRUE(bytes.startsWith("row,time (s),")) << bytes.left(40).toStdString();
    EXPECT_TRUE(bytes.endsWith("\r\n4\r\n0\r\n30\r\n")) << bytes.right(40).toStdString();
    EXPECT_EQ(bytes.count("\r\n"), 32 + 11);

    ASSERT_TRUE(QFile::link("gone.cnf", dir.filePath("link.cnf")));
    inputAnswers = {"link.cnf"};
    click(ctl::CSaveConfig);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].detail, "link.cnf is a symbolic link to gone.cnf, which does not exist");
    EXPECT_FALSE(QFile::exists(dir.filePath("gone.cnf")));
}

namespace {

QList<QList<QPointF>> linesOf(const QChart* chart) {
    QList<QList<QPointF>> lines;
    for (const QAbstractSeries* series : chart->series()) {
        lines.append(static_cast<const QLineSeries*>(series)->points());
    }
    return lines;
}

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

}  // namespace

// Two runs saved, the first reopened while the second is in psi: the same
// lines on every chart and the same CSV as when it was the last run; the
// second drawn over it, dashed and named after its file, until cleared; the
// next run shows itself again.
TEST_F(ResultsWindowTest, RunsAreSavedReopenedAndCompared) {
    set(ctl::TINDICE_MATRICE2, "100");
    set(ctl::Tnitertemp, "900");
    set(ctl::TINDICE_MATRICE1, "900");
    ResultsWindow* results = openResults();
    click(ctl::Command2);
    enum { kTime, kStress, kEnvDisp, kEnvStress, kEnergy };
    const int charts[] = {0, 1, 3, 4, 5};
    QList<QList<QList<QPointF>>> seedLines, restoringLines;
    for (int c : charts) {
        seedLines.append(linesOf(results->chart(c)));
    }
    csvChoice = CsvChoice{dir.filePath("seed.csv"), "0,50,100"};
    triggerMenu("&File", "&Export CSV\u2026");
    resultsPath = dir.filePath("seed.nc");
    triggerMenu("&File", "&Save Results\u2026");
    ASSERT_TRUE(messages.empty()) << messages[0].detail.toStdString();

    QString error;
    const auto record = readResultsFile(resultsPath, error);
    ASSERT_TRUE(record) << error.toStdString();
    EXPECT_EQ(record->provenance.program, "velarion");
    EXPECT_EQ(record->lastRow, 900);
    EXPECT_TRUE(std::find(record->boxes.begin(), record->boxes.end(),
                          std::pair<QString, QString>("TINDICE_MATRICE2", "100")) !=
                record->boxes.end());

    triggerMenu("&Model", "&Restoring free end");
    click(ctl::Command2);
    for (int c : charts) {
        restoringLines.append(linesOf(results->chart(c)));
    }
    ASSERT_FALSE(restoringLines[kTime] == seedLines[kTime]);
    resultsPath = dir.filePath("restoring.nc");
    triggerMenu("&File", "&Save Results\u2026");

    resultsPath = dir.filePath("seed.nc");
    triggerMenu("&File", "&Open Results\u2026");
    ASSERT_TRUE(messages.empty()) << messages[0].detail.toStdString();
    EXPECT_EQ(results->windowTitle(), "Velarion - Results - seed.nc");
    EXPECT_TRUE(results->showsSavedRun());
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(linesOf(results->chart(charts[i])), seedLines[i]) << "chart " << charts[i];
    }
    csvChoice = CsvChoice{dir.filePath("reopened.csv"), "0,50,100"};
    triggerMenu("&File", "&Export CSV\u2026");
    EXPECT_EQ(bytesOf(dir.filePath("reopened.csv")), bytesOf(dir.filePath("seed.csv")));

    resultsPath = dir.filePath("restoring.nc");
    triggerMenu("&File", "&Compare With\u2026");
    ASSERT_TRUE(messages.empty()) << messages[0].detail.toStdString();
    for (int i : {kTime, kStress, kEnvDisp, kEnvStress, kEnergy}) {
        const QChart* chart = results->chart(charts[i]);
        const auto lines = linesOf(chart);
        const auto shown = seedLines[i].size();
        ASSERT_EQ(lines.size(), shown + restoringLines[i].size()) << "chart " << charts[i];
        EXPECT_EQ(lines.mid(0, shown), seedLines[i]);
        EXPECT_EQ(lines.mid(shown), restoringLines[i]) << "chart " << charts[i];
        const auto* compared = static_cast<const QLineSeries*>(chart->series().at(shown));
        EXPECT_TRUE(compared->name().startsWith("restoring.nc: "))
            << compared->name().toStdString();
        EXPECT_EQ(compared->pen().style(), Qt::DashLine);
    }
    EXPECT_TRUE(results->comparisonNote().contains("restoring.nc"));
    EXPECT_TRUE(results->comparisonNote().contains("restoring free end"))
        << results->comparisonNote().toStdString();

    triggerMenu("&File", "C&lear comparison");
    EXPECT_EQ(linesOf(results->chart(0)), seedLines[kTime]);
    EXPECT_TRUE(results->comparisonNote().isEmpty());

    click(ctl::Command2);
    EXPECT_EQ(results->windowTitle(), "Velarion - Results");
    EXPECT_EQ(linesOf(results->chart(0)), restoringLines[kTime]);
    EXPECT_EQ(askedResults.size(), 4u);
}

// A file that is not a results file, an empty one and a truncated one each
// get one message naming the file and why; what the window shows stays.
TEST_F(ResultsWindowTest, FilesThatAreNotResultsAreRefusedNamingTheFile) {
    triggerMenu("&File", "&Save Results\u2026");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "No run has left rows in psi yet.");
    EXPECT_TRUE(askedResults.empty());
    messages.clear();

    set(ctl::TINDICE_MATRICE2, "100");
    click(ctl::Command2);
    ResultsWindow* results = openResults();
    const auto before = linesOf(results->chart(0));
    resultsPath = dir.filePath("good.nc");
    triggerMenu("&File", "&Save Results\u2026");
    const QByteArray good = bytesOf(resultsPath);
    ASSERT_GT(good.size(), 1000);

    const auto writeFile = [this](const char* name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    const struct {
        QString path;
        const char* why;
    } bad[] = {{writeFile("table.nc", "row,time (s),psi 0\r\n0,0,0\r\n"), "not a NetCDF file"},
               {writeFile("empty.nc", QByteArray()), "not a NetCDF file"},
               {writeFile("cut.nc", good.left(good.size() / 2)), "damaged"},
               {dir.filePath("missing.nc"), "does not exist"}};
    for (const auto& file : bad) {
        for (const char* item : {"&Open Results\u2026", "&Compare With\u2026"}) {
            messages.clear();
            resultsPath = file.path;
            triggerMenu("&File", item);
            ASSERT_EQ(messages.size(), 1u) << file.path.toStdString();
            EXPECT_EQ(messages[0].icon, MessageIcon::Exclamation);
            EXPECT_TRUE(messages[0].detail.startsWith(file.path))
                << messages[0].detail.toStdString();
            EXPECT_TRUE(messages[0].detail.contains(file.why)) << messages[0].detail.toStdString();
            EXPECT_EQ(results->windowTitle(), "Velarion - Results");
            EXPECT_FALSE(results->hasComparison());
            EXPECT_EQ(linesOf(results->chart(0)), before);
        }
    }
}

}  // namespace
}  // namespace velarion::window::testing
