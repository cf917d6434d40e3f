#include "support/run_fixture.h"

#include <QRegularExpression>

#include <cstring>

namespace velarion {
namespace {

using testing::RunFixture;

using Beeps = std::vector<std::pair<int, int>>;
const Beeps kStartTone{{990, 50}};
const Beeps kAllTones{{990, 50}, {790, 50}, {690, 50}, {990, 50}};

class GirotondoRunTest : public RunFixture {
  protected:
    // Every tick read advances the fake clock by 1 ms, so the waits between
    // the end tones take 30 pumps each.
    GirotondoRunTest() { window.tickStep = 1; }

    void set(std::string_view box, const char* text) {
        window.setText(box, QString::fromUtf8(text));
    }

    void expectErrorPath(const char* reasonPart) {
        ASSERT_EQ(window.messages.size(), 1u);
        const MessageRequest& box = window.messages[0];
        EXPECT_EQ(box.text, "Error");
        EXPECT_EQ(box.title, "Error");
        EXPECT_EQ(box.icon, MessageIcon::Critical);
        EXPECT_EQ(box.buttons, MessageButtons::Ok);
        EXPECT_TRUE(box.detail.contains(QString::fromUtf8(reasonPart))) << box.detail.toStdString();
        EXPECT_TRUE(window.statuses.back().startsWith("Elaboration : "));
        EXPECT_EQ(window.beeps, kStartTone);
        expectIdleButtons();
    }
};

TEST_F(GirotondoRunTest, DefaultsMoveTheColumnAsAWhole) {
    ASSERT_EQ(runGirotondo(), RunOutcome::Completed);
    // Row 30 holds level 359: the uniform motion of 5.5e-6 m per level.
    for (int s : {0, 5000, 9999}) {
        EXPECT_NEAR(form.psi(30, s), form.psi(0, s) - 359 * 0.0000055, 1e-12) << s;
    }
    EXPECT_EQ(window.text(ctl::TJ), "30");
    EXPECT_EQ(window.text(ctl::TK), "3");
    EXPECT_EQ(form.parameters.N, 5);
    EXPECT_EQ(window.widths, (std::vector<float>{3445, 6890, 10335}));
    EXPECT_EQ(window.statuses.front(), "Working...");
    EXPECT_TRUE(window.statuses.back().startsWith("Elaboration : "));
    EXPECT_EQ(window.beeps, kAllTones);
    EXPECT_TRUE(window.messages.empty());
    expectIdleButtons();
}

TEST_F(GirotondoRunTest, EachRecordCarriesTheFirstAndTheLastSegment) {
    ASSERT_EQ(runGirotondo(), RunOutcome::Completed);
    const QList<QByteArray> lines = logLines();
    ASSERT_EQ(lines.size(), 60);
    for (int J = 1; J <= 30; ++J) {
        const QByteArray expected = QByteArray::number(J) + ") " +
                                    numbers.general(form.psi(J, 0)).toLatin1() + " \t" +
                                    numbers.general(form.psi(J, 9999)).toLatin1() + "\r";
        EXPECT_EQ(lines[2 * (J - 1)], expected);
        EXPECT_EQ(lines[2 * J - 1], "\r");
    }
    EXPECT_TRUE(QRegularExpression("^1\\) -6,05\\d*E-05 \\t1,99973949\\d*\\r$")
                    .match(QString::fromLatin1(lines[0]))
                    .hasMatch())
        << lines[0].toStdString();
}

// Every snapshot is bit for bit the double-precision run's level of the same
// number: row j holds level 3Nj - 1 for N >= 1 and level 2 otherwise.
TEST_F(GirotondoRunTest, SnapshotsAreTheDoubleRunsLevels) {
    set(ctl::TINDICE_MATRICE2, "40");
    set(ctl::TP, "3");
    set(ctl::Tnitertemp, "5");
    for (const char* n : {"1", "2", "3", "0", "-3"}) {
        set(ctl::TN, n);
        set(ctl::TINDICE_MATRICE1, "30");
        ASSERT_EQ(runGirotondo(), RunOutcome::Completed) << "N = " << n;
        const Matrix snapshots = std::move(form.psi);
        const int N = std::atoi(n);

        set(ctl::TINDICE_MATRICE1, "50");
        set(ctl::Tnitertemp, "50");
        ASSERT_EQ(runDouble(), RunOutcome::Completed);
        set(ctl::Tnitertemp, "5");
        for (int j = 0; j <= 5; ++j) {
            const int level = j == 0 ? 0 : N >= 1 ? 3 * N * j - 1 : 2;
            EXPECT_EQ(std::memcmp(snapshots.row(j), form.psi.row(level), 41 * sizeof(double)), 0)
                << "N = " << n << ", row " << j << " against level " << level;
        }
        for (int j = 6; j <= 30; ++j) {
            EXPECT_EQ(snapshots(j, 0), 0.0);
        }
    }
}

TEST_F(GirotondoRunTest, NoSnapshotsStillCompletesWithTheTones) {
    set(ctl::Tnitertemp, "0");
    ASSERT_EQ(runGirotondo(), RunOutcome::Completed);
    EXPECT_EQ(logBytes(), "");
    EXPECT_TRUE(window.widths.empty());
    EXPECT_EQ(window.beeps, kAllTones);
    EXPECT_EQ(form.parameters.N, 4);
    EXPECT_EQ(form.psi(1, 0), 0.0);
}

TEST_F(GirotondoRunTest, EndTonesAreSeparatedByThirtyMillisecondWaits) {
    std::vector<std::pair<std::size_t, std::int64_t>> pumps;  // tones sounded, clock
    window.onPump = [&](int) { pumps.emplace_back(window.beeps.size(), window.ticks); };
    ASSERT_EQ(runGirotondo(), RunOutcome::Completed);
    for (std::size_t tones : {2u, 3u}) {
        std::int64_t first = -1, last = -1;
        for (const auto& [sounded, tick] : pumps) {
            if (sounded == tones) {
                last = tick;
                first = first < 0 ? tick : first;
            }
        }
        ASSERT_GE(first, 0) << "no wait after tone " << tones;
        EXPECT_GE(last - first + 2, 30) << "after tone " << tones;
    }
    EXPECT_EQ(window.beeps, kAllTones);
}

TEST_F(GirotondoRunTest, ProgressIsSetAtMultiplesOfTen) {
    set(ctl::Tnitertemp, "25");
    int snapshotPumps = 0;
    window.onPump = [&](int) { snapshotPumps += window.beeps.size() == 1; };
    ASSERT_EQ(runGirotondo(), RunOutcome::Completed);
    EXPECT_EQ(window.widths, (std::vector<float>{4134, 8268}));
    EXPECT_EQ(snapshotPumps, 2);
}

TEST_F(GirotondoRunTest, StopIsSeenAtTheNextTenthSnapshot) {
    window.onPump = [&](int pump) { window.stop = pump == 1 || window.stop; };
    ASSERT_EQ(runGirotondo(), RunOutcome::Stopped);
    EXPECT_EQ(window.text(ctl::TJ), "10");
    EXPECT_EQ(window.statuses.back(), "Stopped!");
    EXPECT_EQ(logLines().size(), 20);
    EXPECT_EQ(window.beeps, kStartTone);
    EXPECT_EQ(exports, 0);
    EXPECT_NE(form.psi(10, 0), 0.0);
    EXPECT_EQ(form.psi(11, 0), 0.0);
    expectIdleButtons();
}

TEST_F(GirotondoRunTest, MoreSnapshotsThanRowsFailAfterTheLastRow) {
    set(ctl::Tnitertemp, "31");
    window.tick(ctl::CLogFileExc, true);
    ASSERT_EQ(runGirotondo(), RunOutcome::Failed);
    expectErrorPath("Snapshot 31 does not fit in psi");
    EXPECT_EQ(logLines().size(), 60);
    EXPECT_EQ(window.text(ctl::TJ), "30");
    EXPECT_NE(form.psi(30, 0), 0.0);
    EXPECT_EQ(exports, 1);
}

TEST_F(GirotondoRunTest, FailuresAfterTheArraysExistTakeTheErrorPath) {
    struct Box {
        std::string_view name;
        const char* text;
    };
    const struct {
        std::vector<Box> boxes;
        const char* reason;
    } cases[] = {
        {{{ctl::TRho, "mille"}}, "TRho (\"Rho  (kg/m3)\") holds \"mille\""},
        {{{ctl::TN, "40000"}}, "TN"},
        {{{ctl::TN, "-32767"}}, "below -32768"},
        {{{ctl::TN, "32767"}, {ctl::TINDICE_MATRICE2, "1"}}, "cannot grow"},
        {{{ctl::Tltot, "0"}}, "L0 is 0, and the update divides by it (the box Tltot"},
        {{{ctl::TV0, "1,7e308"}, {ctl::TDeltaT, "1"}}, "Level 2, segment 0: the position is not"},
        {{{ctl::TINDICE_MATRICE2, "0"}}, "reads segment 1"},
        {{{ctl::TINDICE_MATRICE2, "32767"}}, "at most 32766"},
        {{{ctl::TINDICE_MATRICE2, "100000"}}, "at most 32766"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        window = testing::FakeWindow();
        window.tickStep = 1;
        for (const Box& box : c.boxes) {
            set(box.name, box.text);
        }
        ASSERT_EQ(runGirotondo(), RunOutcome::Failed);
        expectErrorPath(c.reason);
    }
}

TEST_F(GirotondoRunTest, ABarThatCannotBeSetTakesTheErrorPath) {
    for (const char* text : {"abc", "0", "1E-300"}) {
        SCOPED_TRACE(text);
        window = testing::FakeWindow();
        window.tickStep = 1;
        window.onPump = [&](int pump) {
            if (pump == 1) {
                set(ctl::Tnitertemp, text);  // read again by the bar at snapshot 20
            }
        };
        ASSERT_EQ(runGirotondo(), RunOutcome::Failed);
        expectErrorPath("The progress bar cannot be set at snapshot 20: the box Tnitertemp");
        EXPECT_EQ(window.widths.size(), 1u);
    }
}

// The index boxes are read and the arrays made before the error path is
// armed: a failure there keeps the previous arrays and says what is wrong.
TEST_F(GirotondoRunTest, BadIndexBoundsAreRefusedBeforeTheErrorPath) {
    ASSERT_EQ(runGirotondo(), RunOutcome::Completed);
    const double kept = form.psi(30, 0);
    for (const char* text : {"abc", "-1"}) {
        SCOPED_TRACE(text);
        window = testing::FakeWindow();
        set(ctl::TINDICE_MATRICE1, text);
        ASSERT_EQ(runGirotondo(), RunOutcome::Failed);
        ASSERT_EQ(window.messages.size(), 1u);
        EXPECT_EQ(window.messages[0].title, "Error");
        EXPECT_TRUE(window.messages[0].text.contains("TINDICE_MATRICE1"));
        EXPECT_EQ(window.statuses.back(), "Error!");
        expectIdleButtons();
        EXPECT_EQ(form.psi(30, 0), kept);
    }
}

TEST(AttendiMs, WaitsWhileTheWindowProcessesEvents) {
    testing::FakeWindow window;
    window.tickStep = 1;
    for (const int ms : {0, -5}) {
        AttendiMs(window, ms);
        EXPECT_EQ(window.pumps, 0);
        EXPECT_EQ(window.ticks, 0);
    }
    const int ms = 30;
    AttendiMs(window, ms);
    EXPECT_EQ(window.ticks, 31);
    EXPECT_EQ(window.pumps, 29);  // one pump per tick read while the deadline lies ahead
}

}  // namespace
}  // namespace velarion
