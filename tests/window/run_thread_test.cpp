// The double and Girotondo runs on a thread of their own: the window keeps
// taking its events, STOP acts at the next pump point, a dialog of the user
// holds the run there, and the run leaves what it leaves on the window's
// own thread.
#include "form1_fixture.h"
#include "results/excel_export.h"
#include "runs/double_run.h"
#include "runs/girotondo_run.h"
#include "support/fake_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTimer>

#include <cstring>
#include <fstream>

namespace velarion::window::testing {
namespace {

// Nanoseconds this thread has waited for a processor, from the kernel's
// scheduler statistics; 0 where the kernel keeps none.
std::int64_t waitedForProcessorNs() {
    std::ifstream stats("/proc/thread-self/schedstat");
    std::int64_t onCpu = 0, waiting = 0;
    return stats >> onCpu >> waiting ? waiting : 0;
}

// The longest time the window's thread went without taking a timer's event,
// less the time it waited for a processor: what the program itself held it,
// whatever else the machine is busy with.
class EventLoopGaps {
  public:
    EventLoopGaps() {
        timer_.setInterval(2);
        QObject::connect(&timer_, &QTimer::timeout, [this] { mark(); });
    }
    void start() {
        clock_.start();
        last_ = 0;
        lastWaited_ = waitedForProcessorNs();
        timer_.start();
    }
    void stop() {
        mark();
        timer_.stop();
    }
    std::int64_t longestMs() const { return longestNs_ / 1000000; }
    int ticks() const { return ticks_; }

  private:
    void mark() {
        const std::int64_t now = clock_.nsecsElapsed();
        const std::int64_t waited = waitedForProcessorNs();
        longestNs_ = std::max(longestNs_, (now - last_) - (waited - lastWaited_));
        last_ = now;
        lastWaited_ = waited;
        ++ticks_;
    }

    QTimer timer_;
    QElapsedTimer clock_;
    std::int64_t last_ = 0;
    std::int64_t lastWaited_ = 0;
    std::int64_t longestNs_ = 0;
    int ticks_ = 0;
};

class RunThreadTest : public Form1Fixture {
  protected:
    void setBoxes(const std::vector<std::pair<std::string_view, QString>>& texts) {
        for (const auto& [box, text] : texts) {
            set(box, text);
        }
    }
    // The number of records in LogFile.txt: each ends in an empty line.
    int logRecords() const { return static_cast<int>(logBytes().count("\r\n\r\n")); }
    void expectIdle() const {
        EXPECT_TRUE(enabled(ctl::Command2));
        EXPECT_TRUE(enabled(ctl::Command4));
        EXPECT_FALSE(enabled(ctl::CStop));
    }
};

// A Girotondo run of 10 snapshots, 30000 levels each, holds the window's
// thread for a few tenths of a second between two pump points when it runs
// there; on its own thread the window takes its events throughout.
TEST_F(RunThreadTest, TheWindowTakesItsEventsThroughoutALongRun) {
    setBoxes({{ctl::TINDICE_MATRICE1, "10"},
              {ctl::TINDICE_MATRICE2, "999"},
              {ctl::TN, "10000"},
              {ctl::Tnitertemp, "10"}});
    form->state().freeEnd = FreeEnd::Restoring;
    EventLoopGaps gaps;
    gaps.start();
    click(ctl::Command4);
    gaps.stop();
    ASSERT_TRUE(text(ctl::LStatus).startsWith("Elaboration : "))
        << text(ctl::LStatus).toStdString();
    EXPECT_EQ(text(ctl::TJ), "10");
    EXPECT_GT(gaps.ticks(), 10);
    EXPECT_LT(gaps.longestMs(), 100);
}

// STOP pressed at any moment of a run, double or Girotondo, ends it at the
// next pump point with the buttons back and whole records up to there.
TEST_F(RunThreadTest, GoAndStopAgainAndAgain) {
    setBoxes({{ctl::TINDICE_MATRICE1, "10000"}, {ctl::TINDICE_MATRICE2, "50"}, {ctl::TN, "1300"}});
    form->state().freeEnd = FreeEnd::Restoring;  // a column that stays finite
    QRandomGenerator random(20261207);
    int stops = 0;
    for (int cycle = 0; cycle < 24; ++cycle) {
        const bool girotondo = cycle % 2 == 1;
        set(ctl::Tnitertemp, girotondo ? "1000" : "10000");
        const int after = random.bounded(1, 40);
        QTimer::singleShot(after, form.get(), [this] { click(ctl::CStop); });
        click(girotondo ? ctl::Command4 : ctl::Command2);
        SCOPED_TRACE(::testing::Message()
                     << "cycle " << cycle << ", STOP after " << after << " ms");
        const int J = text(ctl::TJ).toInt();
        if (text(ctl::LStatus) == "Stopped!") {
            ++stops;
            EXPECT_EQ(J % (girotondo ? 10 : 100), 0) << J;
            // The level at which the double run stops is not recorded.
            EXPECT_EQ(logRecords(), girotondo ? J : J - 2);
        } else {
            EXPECT_TRUE(text(ctl::LStatus).startsWith("Elaboration : "))
                << text(ctl::LStatus).toStdString();
        }
        expectIdle();
        // A STOP that came after the run's end: the next run clears it.
        QApplication::processEvents();
    }
    // Each Girotondo run lasts long enough for its STOP.
    EXPECT_GE(stops, 12);
}

// Closing the window during a run ends the program at once, at whatever
// point of the run it comes.
TEST_F(RunThreadTest, ClosingAtAnyMomentEndsTheProgram) {
    setBoxes({{ctl::TINDICE_MATRICE1, "1000"},
              {ctl::TINDICE_MATRICE2, "50"},
              {ctl::TN, "300"},
              {ctl::Tnitertemp, "1000"}});
    form->state().freeEnd = FreeEnd::Restoring;
    for (int cycle = 0; cycle < 6; ++cycle) {
        form->show();
        QTimer::singleShot(cycle * 3, form.get(), [this] { form->close(); });
        click(ctl::Command4);
        EXPECT_EQ(terminations, cycle + 1);
        EXPECT_TRUE(form->StopFlag());
        EXPECT_EQ(text(ctl::LStatus).toStdString(), "Stopped!");
    }
}

// A dialog the user opened keeps the run waiting at its next pump point, as
// when its click came in there; the window goes on drawing meanwhile.
TEST_F(RunThreadTest, ADialogOfTheUserHoldsTheRunAtItsPumpPoint) {
    setBoxes({{ctl::TINDICE_MATRICE1, "1000"}, {ctl::Tnitertemp, "1000"}});
    QDialog dialog(form.get());
    dialog.setModal(true);
    dialog.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &dialog);
    QElapsedTimer clock;
    clock.start();
    std::int64_t closedAt = -1, firstPumpAt = -1;
    QTimer::singleShot(200, &dialog, [&] {
        closedAt = clock.elapsed();
        dialog.close();
    });
    atPumps({[&] { firstPumpAt = clock.elapsed(); }});
    click(ctl::Command2);
    EXPECT_TRUE(text(ctl::LStatus).startsWith("Elaboration : "));
    ASSERT_GE(closedAt, 0);
    EXPECT_GE(firstPumpAt, closedAt);
}

// What a run leaves: its files, psi, the boxes and the status text.
struct Left {
    QByteArray log, workbook;
    std::vector<double> psi;
    QStringList boxes;
    QString status;
    std::vector<QString> messages;
    std::vector<std::pair<int, int>> beeps;
};

const std::string_view kOutputBoxes[] = {ctl::TA,  ctl::TF, ctl::Ttot, ctl::TB,
                                         ctl::TL0, ctl::TJ, ctl::TK};

std::vector<double> psiOf(const FormState& form) {
    std::vector<double> cells;
    for (std::size_t row = 0; row <= static_cast<std::size_t>(form.psi.lastRow()); ++row) {
        cells.insert(cells.end(), form.psi.row(row), form.psi.row(row) + form.psi.columns());
    }
    return cells;
}

// The elapsed seconds differ from run to run.
QString withoutSeconds(QString status) {
    return status.replace(QRegularExpression("[0-9]+,[0-9]{3} s$"), "# s");
}

QString described(const MessageRequest& m) {
    return m.title + '|' + m.text + '|' + m.detail;
}

const QLocale kItalian(QLocale::Italian, QLocale::Italy);

// The run through the fake window on the caller's thread, as the runs went
// before they had a thread of their own.
template <class Run>
Left runOnTheCallersThread(const std::vector<std::pair<std::string_view, QString>>& texts,
                           int stopAtPump) {
    QTemporaryDir dir;
    velarion::testing::FakeWindow window(kItalian);
    for (const auto& [box, text] : texts) {
        window.setText(box, text);
    }
    window.tick(ctl::CLogFileExc, true);
    window.answer = MessageAnswer::Yes;
    window.tickStep = 1;  // the waits between the closing tones come to an end
    window.onPump = [&](int pump) { window.stop = window.stop || pump == stopAtPump; };
    const NumberText numbers(kItalian);
    FormState form;
    Run run(window, form, numbers, dir.filePath("LogFile.txt"));
    run.setExport(
        [&] { save_file_excel(window, form, numbers, dir.filePath("LogFile.xls"), QString()); });
    run.run();
    Left left{velarion::testing::contentsOf(dir.filePath("LogFile.txt")),
              velarion::testing::contentsOf(dir.filePath("LogFile.xls")),
              psiOf(form),
              {},
              withoutSeconds(window.statuses.back()),
              {},
              window.beeps};
    for (const auto box : kOutputBoxes) {
        left.boxes << window.text(box);
    }
    for (const auto& message : window.messages) {
        left.messages.push_back(described(message));
    }
    return left;
}

class SameAsOnTheWindowsThread : public RunThreadTest {
  protected:
    Left runInTheWindow(std::string_view button,
                        const std::vector<std::pair<std::string_view, QString>>& texts,
                        int stopAtPump) {
        Form1Hooks h = hooks();
        h.programDirectory = dir.path();
        h.buildDirectory = dir.path();  // LogFile.xls beside the program, as designed
        std::vector<QString> seen;
        h.messageBox = [&](const MessageRequest& r) {
            seen.push_back(described(r));
            return r.buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
        };
        int pumps = 0;
        h.pumped = [&] {
            if (++pumps == stopAtPump) {
                click(ctl::CStop);
            }
        };
        form = std::make_unique<Form1>(kItalian, h);
        setBoxes(texts);
        form->controlAs<QCheckBox>(ctl::CLogFileExc)->setChecked(true);
        click(button);
        Left left{logBytes(),
                  velarion::testing::contentsOf(dir.filePath("LogFile.xls")),
                  psiOf(form->state()),
                  {},
                  withoutSeconds(text(ctl::LStatus)),
                  seen,
                  beeps};
        for (const auto box : kOutputBoxes) {
            left.boxes << form->controlAs<QLineEdit>(box)->text();
        }
        return left;
    }
};

void expectSame(const Left& window, const Left& caller) {
    EXPECT_EQ(window.log, caller.log);
    EXPECT_EQ(window.workbook, caller.workbook);
    ASSERT_EQ(window.psi.size(), caller.psi.size());
    EXPECT_EQ(std::memcmp(window.psi.data(), caller.psi.data(), caller.psi.size() * sizeof(double)),
              0);
    EXPECT_EQ(window.boxes, caller.boxes);
    EXPECT_EQ(window.status, caller.status);
    EXPECT_EQ(window.messages, caller.messages);
    EXPECT_EQ(window.beeps, caller.beeps);
}

TEST_F(SameAsOnTheWindowsThread, DoubleRun) {
    const std::vector<std::pair<std::string_view, QString>> texts = {
        {ctl::TINDICE_MATRICE1, "300"}, {ctl::Tnitertemp, "300"}, {ctl::TP, "1"}};
    const Left caller = runOnTheCallersThread<DoubleRun>(texts, 0);
    ASSERT_FALSE(caller.workbook.isEmpty());
    expectSame(runInTheWindow(ctl::Command2, texts, 0), caller);
}

TEST_F(SameAsOnTheWindowsThread, GirotondoRun) {
    const std::vector<std::pair<std::string_view, QString>> texts = {
        {ctl::TINDICE_MATRICE1, "40"}, {ctl::Tnitertemp, "40"}, {ctl::TP, "1"}, {ctl::TN, "7"}};
    const Left caller = runOnTheCallersThread<GirotondoRun>(texts, 0);
    ASSERT_EQ(caller.beeps.size(), 4u);
    expectSame(runInTheWindow(ctl::Command4, texts, 0), caller);
}

TEST_F(SameAsOnTheWindowsThread, StoppedRun) {
    const std::vector<std::pair<std::string_view, QString>> texts = {
        {ctl::TINDICE_MATRICE1, "1000"}, {ctl::Tnitertemp, "1000"}};
    const Left caller = runOnTheCallersThread<DoubleRun>(texts, 3);
    ASSERT_EQ(caller.status, "Stopped!");
    expectSame(runInTheWindow(ctl::Command2, texts, 3), caller);
}

}  // namespace
}  // namespace velarion::window::testing
