#include "support/run_fixture.h"

#include <cmath>

namespace velarion {
namespace {

using testing::RunFixture;

class DoubleRunTest : public RunFixture {};

TEST_F(DoubleRunTest, DefaultsUnderAnItalianLocale) {
    window.tick(ctl::CLogFileExc, true);
    window.tickStep = 1500;
    ASSERT_EQ(runDouble(), RunOutcome::Completed);

    EXPECT_EQ(window.text(ctl::TJ), "30");
    EXPECT_EQ(window.statuses, (QStringList{"Working...", "Elaboration : 1,500 s"}));
    EXPECT_EQ(window.widths, (std::vector<float>{3445, 6890, 10335}));
    EXPECT_EQ(window.pumps, 0);
    expectIdleButtons();

    EXPECT_EQ(form.psi.rows(), 31u);
    EXPECT_EQ(form.psi.columns(), 10000u);
    EXPECT_EQ(form.psi(0, 9999), 1.9997999999998124);
    EXPECT_EQ(form.psi(1, 0), -5.5e-06);
    EXPECT_EQ(form.psi(1, 9999), 1.9997999999998124 - 5.5e-06);
    for (int J = 2; J <= 30; ++J) {
        for (int s : {0, 5000, 9999}) {
            EXPECT_NEAR(form.psi(J, s), form.psi(0, s) - J * 5.5e-06, 1e-12);
        }
    }
}

TEST_F(DoubleRunTest, LogHoldsOneRecordAndOneEmptyLinePerLevel) {
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    const QList<QByteArray> lines = logLines();
    ASSERT_EQ(lines.size(), 58);
    for (int i = 0; i < 29; ++i) {
        const int J = i + 2;
        const QByteArray expected =
            QByteArray::number(J) + ") " + numbers.general(form.psi(J, 0)).toLatin1() + "\r";
        EXPECT_EQ(lines[2 * i], expected);
        EXPECT_EQ(lines[2 * i + 1], "\r");
    }
    EXPECT_TRUE(lines.front().startsWith("2) -1,1E-05"));
    EXPECT_TRUE(lines[56].startsWith("30) "));
}

TEST_F(DoubleRunTest, CounterPressureDrivesTheFirstSegment) {
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    const double last = form.psi(30, 9999);
    window.setText(ctl::TP, "1");
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    EXPECT_EQ(form.psi(2, 0), -1.095e-05);
    EXPECT_NEAR(form.psi(3, 0), -1.63531e-05, 1e-10);
    EXPECT_NEAR(form.psi(30, 0), -1.59505e-04, 1e-9);
    EXPECT_EQ(form.psi(30, 9999), last);
}

TEST_F(DoubleRunTest, StopIsSeenAtTheNextHundredAndWritesNoRecordForIt) {
    window.setText(ctl::TINDICE_MATRICE1, "1000");
    window.setText(ctl::TINDICE_MATRICE2, "50");
    window.setText(ctl::Tnitertemp, "1000");
    window.onPump = [this](int pump) {
        EXPECT_TRUE(window.enabled(ctl::CStop));
        EXPECT_FALSE(window.enabled(ctl::Command2));
        window.stop = pump == 1;
    };
    window.tick(ctl::CLogFileExc, true);
    ASSERT_EQ(runDouble(), RunOutcome::Stopped);
    EXPECT_EQ(window.pumps, 1);
    EXPECT_EQ(window.statuses.back(), "Stopped!");
    EXPECT_EQ(window.text(ctl::TJ), "100");
    EXPECT_EQ(exports, 0);
    expectIdleButtons();
    const QList<QByteArray> lines = logLines();
    ASSERT_EQ(lines.size(), 2 * 98);
    EXPECT_TRUE(lines[lines.size() - 2].startsWith("99) "));
    EXPECT_NE(form.psi(100, 0), 0.0);  // computed, only not logged
    EXPECT_EQ(form.psi(101, 0), 0.0);
}

TEST_F(DoubleRunTest, FewerThanTwoLevelsStillSetRowsAndAnEmptyLog) {
    window.setText(ctl::TJ, "old");
    window.setText(ctl::Tnitertemp, "1");
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    EXPECT_EQ(window.text(ctl::TJ), "old");
    EXPECT_EQ(logBytes(), "");
    EXPECT_EQ(form.psi(1, 0), -5.5e-06);
    EXPECT_EQ(form.psi(2, 0), 0.0);
    EXPECT_TRUE(window.statuses.back().startsWith("Elaboration : "));
}

TEST_F(DoubleRunTest, RowCapKeepsTenThousandAndOneRows) {
    window.setText(ctl::TINDICE_MATRICE1, "20000");
    window.setText(ctl::TINDICE_MATRICE2, "10");
    window.setText(ctl::Tnitertemp, "10000");
    // A short time step keeps the free end's growth finite over 10000 levels.
    window.setText(ctl::TDeltaT, "0,00000001");
    window.tick(ctl::CLogFile, false);
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    EXPECT_EQ(form.psi.rows(), 10001u);
    EXPECT_EQ(window.pumps, 100);
    EXPECT_TRUE(std::isfinite(form.psi(10000, 10)));
}

TEST_F(DoubleRunTest, AboveFiftyThousandRowsTheOldMatrixIsKept) {
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    form.psi(30, 5) = 42;
    const double beyondM = form.psi(10, 21);
    window.setText(ctl::TINDICE_MATRICE1, "60000");
    window.setText(ctl::TINDICE_MATRICE2, "20");
    window.setText(ctl::Tnitertemp, "10");
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    EXPECT_EQ(form.psi.rows(), 31u);
    EXPECT_EQ(form.psi.columns(), 10000u);
    EXPECT_EQ(form.psi(30, 5), 42.0);      // not touched by this run
    EXPECT_EQ(form.psi(10, 21), beyondM);  // beyond M: the old values
}

TEST_F(DoubleRunTest, LogDecisionIsTakenWhenTheRunStarts) {
    window.setText(ctl::TINDICE_MATRICE1, "300");
    window.setText(ctl::TINDICE_MATRICE2, "10");
    window.setText(ctl::Tnitertemp, "300");
    window.tick(ctl::CLogFile, false);
    window.onPump = [this](int) { window.tick(ctl::CLogFile, true); };
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    EXPECT_FALSE(QFile::exists(logPath()));

    window.onPump = [this](int) { window.tick(ctl::CLogFile, false); };
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    EXPECT_EQ(logLines().size(), 2 * 299);
}

TEST_F(DoubleRunTest, ProgressKeepsItsWidthWhenTnitertempIsEdited) {
    window.setText(ctl::TINDICE_MATRICE1, "400");
    window.setText(ctl::TINDICE_MATRICE2, "10");
    window.setText(ctl::Tnitertemp, "400");
    const QStringList edits{"0", "abc", "", "1E-300"};
    window.onPump = [&](int pump) {
        if (pump <= edits.size()) {
            window.setText(ctl::Tnitertemp, edits[pump - 1]);
        }
    };
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    // Levels 10..100 use 400; from 110 on the texts "0", "abc", "" are refused,
    // and "1E-300" gives a width beyond single precision.
    ASSERT_EQ(window.widths.size(), 10u);
    EXPECT_EQ(window.widths.back(), static_cast<float>((100 / 400.0) * 10335));
}

}  // namespace
}  // namespace velarion
