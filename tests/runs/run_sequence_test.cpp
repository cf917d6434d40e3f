#include "support/run_fixture.h"

namespace velarion {
namespace {

// Several runs in one window: each run leaves psi for the next, and a double
// run with a first index above 50000 keeps the matrix it finds.
class RunSequence : public testing::RunFixture {
  protected:
    RunSequence() { window.tickStep = 1; }  // the Girotondo end tones wait on the clock

    void setBounds(const char* rows, const char* columns, const char* levels) {
        window.setText(ctl::TINDICE_MATRICE1, rows);
        window.setText(ctl::TINDICE_MATRICE2, columns);
        window.setText(ctl::Tnitertemp, levels);
    }
};

TEST_F(RunSequence, AKeptMatrixMustHoldTheRowsTheDoubleRunWrites) {
    setBounds("0", "9999", "0");
    ASSERT_EQ(runGirotondo(), RunOutcome::Completed);
    ASSERT_EQ(form.psi.rows(), 1u);

    setBounds("60000", "10", "0");
    ASSERT_EQ(runDouble(), RunOutcome::Failed);
    ASSERT_FALSE(window.messages.empty());
    EXPECT_TRUE(window.messages.back().text.contains("it has rows 0 to 0 and columns 0 to 9999"))
        << window.messages.back().text.toStdString();
    EXPECT_EQ(form.psi.rows(), 1u);
    // The refused run leaves the rows, and the outcome, of the one before.
    ASSERT_TRUE(form.psiRows);
    EXPECT_EQ(form.psiRows->run, RunKind::Girotondo);
    EXPECT_EQ(form.psiRows->outcome, RunOutcome::Completed);
    expectIdleButtons();
}

TEST_F(RunSequence, AGirotondoRunTooWideToStepStillLeavesItsMatrix) {
    setBounds("30", "40000", "30");
    ASSERT_EQ(runGirotondo(), RunOutcome::Failed);
    ASSERT_EQ(form.psi.rows(), 31u);
    ASSERT_EQ(form.psi.columns(), 40001u);

    setBounds("60000", "10", "30");
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    EXPECT_EQ(form.psi.columns(), 40001u);
    EXPECT_NE(form.psi(30, 10), 0.0);
    EXPECT_EQ(form.psi(30, 11), 0.0);  // beyond this run's last segment

    setBounds("30", "9999", "30");
    ASSERT_EQ(runGirotondo(), RunOutcome::Completed);
    EXPECT_EQ(form.psi.columns(), 10000u);
}

// Each run switches its own GO button first; STOP comes first at a stop and
// last at the end.
TEST_F(RunSequence, ButtonsSwitchInTheOrderOfEachSequence) {
    const QStringList start2{"+CStop", "-Command2", "-Command4"};
    const QStringList start4{"+CStop", "-Command4", "-Command2"};
    const QStringList end2 = start2 + QStringList{"+Command2", "+Command4", "-CStop"};
    const QStringList end4 = start4 + QStringList{"+Command4", "+Command2", "-CStop"};
    const QStringList stop2 = start2 + QStringList{"-CStop", "+Command2", "+Command4"};
    const QStringList stop4 = start4 + QStringList{"-CStop", "+Command4", "+Command2"};
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    EXPECT_EQ(window.switches, end2);
    window.switches.clear();
    ASSERT_EQ(runGirotondo(), RunOutcome::Completed);
    EXPECT_EQ(window.switches, end4);

    window.onPump = [this](int) { window.stop = true; };
    window.switches.clear();
    setBounds("1000", "10", "100");
    ASSERT_EQ(runDouble(), RunOutcome::Stopped);
    EXPECT_EQ(window.switches, stop2);
    window.switches.clear();
    setBounds("1000", "10", "10");
    ASSERT_EQ(runGirotondo(), RunOutcome::Stopped);
    EXPECT_EQ(window.switches, stop4);
}

}  // namespace
}  // namespace velarion
