// What the results views read from a run: which levels the rows of psi
// hold, the series drawn from them, and psi written as CSV.
#include "results/psi_csv.h"
#include "results/result_series.h"
#include "support/run_fixture.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace velarion {
namespace {

class ResultsTest : public testing::RunFixture {
  protected:
    ResultsTest() { window.tickStep = 1; }  // the Girotondo end tones wait on the clock
};

TEST_F(ResultsTest, RowsRecordTheRunThatStoredThemAndItsLevels) {
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    ASSERT_TRUE(form.psiRows);
    EXPECT_EQ(form.psiRows->run, RunKind::Double);
    EXPECT_EQ(form.psiRows->lastRow, 30);
    EXPECT_EQ(form.psiRows->lastSegment, 9999);
    EXPECT_EQ(levelOfRow(*form.psiRows, 30), 30);

    // N as read from the box (4), not as the run leaves it (5): row j holds
    // level 12·j − 1.
    ASSERT_EQ(runGirotondo(), RunOutcome::Completed);
    ASSERT_EQ(form.parameters.N, 5);
    EXPECT_EQ(form.psiRows->run, RunKind::Girotondo);
    EXPECT_EQ(levelOfRow(*form.psiRows, 0), 0);
    EXPECT_EQ(levelOfRow(*form.psiRows, 1), 11);
    EXPECT_EQ(levelOfRow(*form.psiRows, 30), 359);
    EXPECT_DOUBLE_EQ(secondsOfRow(*form.psiRows, 30), 359e-6);

    // A run refused before it touches psi leaves the rows to the last run.
    window.setText(ctl::TINDICE_MATRICE2, "0");
    ASSERT_EQ(runDouble(), RunOutcome::Failed);
    ASSERT_TRUE(form.psiRows);
    EXPECT_EQ(form.psiRows->run, RunKind::Girotondo);

    // A failing Girotondo run keeps the snapshots it stored.
    window.setText(ctl::TINDICE_MATRICE2, "9999");
    window.setText(ctl::Tnitertemp, "31");
    ASSERT_EQ(runGirotondo(), RunOutcome::Failed);
    EXPECT_EQ(form.psiRows->lastRow, 30);

    // With N <= 0 no cycle is done: every snapshot is level 2.
    window.setText(ctl::Tnitertemp, "3");
    window.setText(ctl::TN, "0");
    ASSERT_EQ(runGirotondo(), RunOutcome::Completed);
    EXPECT_EQ(levelOfRow(*form.psiRows, 3), 2);

    // A run that replaced psi and then failed leaves no rows to show.
    window.setText(ctl::TRho, "x");
    ASSERT_EQ(runDouble(), RunOutcome::Failed);
    EXPECT_FALSE(form.psiRows);
    EXPECT_TRUE(displacementOverTime(form, 0).empty());
}

// With a counter pressure of 10000 Pa the first piece is compressed: its
// stress starts at zero and settles around the pressure, while the far end
// moves on as the free column does.
TEST_F(ResultsTest, SeriesFollowThePhysics) {
    window.setText(ctl::TP, "1");
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    EXPECT_DOUBLE_EQ(courantNumber(form.psiRows->parameters), 0.25);
    const auto stress = firstPieceStress(form);
    ASSERT_EQ(stress.size(), 31u);
    EXPECT_EQ(stress[0].y(), 0.0);
    EXPECT_NEAR(stress[30].y(), 1e4, 1.5e3);
    EXPECT_DOUBLE_EQ(stress[30].x(), 30e-6);
    const auto last = displacementOverTime(form, 9999);
    ASSERT_EQ(last.size(), 31u);
    EXPECT_NEAR(last[30].y(), -30 * 5.5e-6, 1e-12);
    const auto profile = displacementProfile(form, 30);
    ASSERT_EQ(profile.size(), 10000u);
    EXPECT_EQ(profile[9999].x(), form.psi(0, 9999));
    EXPECT_GT(profile[0].y(), profile[9999].y());  // the pressure holds the first segment back
}

std::vector<QByteArray> fieldsOf(const QByteArray& line) {
    std::vector<QByteArray> fields;
    for (const QByteArray& field : line.split(',')) {
        fields.push_back(field);
    }
    return fields;
}

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST_F(ResultsTest, CsvReadsBackBitIdentical) {
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    const QString path = dir.filePath("psi.csv");
    QString error;
    ASSERT_TRUE(writePsiCsv(form, {0, 9999, 1}, path, error)) << error.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 33);  // header, 31 rows, nothing after the last line end
    EXPECT_TRUE(lines.takeLast().isEmpty());
    EXPECT_EQ(lines[0], "row,time (s),\"psi(j, 0) (m)\",\"psi(j, 9999) (m)\",\"psi(j, 1) (m)\"\r");
    for (int j = 0; j <= 30; ++j) {
        const auto fields = fieldsOf(lines[j + 1].chopped(1));
        ASSERT_EQ(fields.size(), 5u) << j;
        EXPECT_EQ(fields[0].toInt(), j);
        EXPECT_TRUE(sameBits(std::strtod(fields[1].constData(), nullptr), j * 1e-6)) << j;
        const std::size_t segments[] = {0, 9999, 1};
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_TRUE(
                sameBits(std::strtod(fields[i + 2].constData(), nullptr), form.psi(j, segments[i])))
                << j << " " << fields[i + 2].toStdString();
        }
    }
}

TEST_F(ResultsTest, CsvRefusesWhatItCannotWrite) {
    QString error;
    EXPECT_FALSE(writePsiCsv(form, {0}, dir.filePath("psi.csv"), error));
    EXPECT_EQ(error, "No run has left rows in psi yet.");
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    EXPECT_FALSE(writePsiCsv(form, {10000}, dir.filePath("psi.csv"), error));
    EXPECT_FALSE(QFile::exists(dir.filePath("psi.csv")));
    const QString path = dir.filePath("missing/psi.csv");
    EXPECT_FALSE(writePsiCsv(form, {0}, path, error));
    EXPECT_TRUE(error.contains(path) && error.contains("No such file or directory"))
        << error.toStdString();

    EXPECT_EQ(parseSegmentList(" 0,  9999 5", 9999, error), std::vector<int>({0, 9999, 5}));
    for (const char* bad : {"", "10000", "-1", "1.5", "0;1"}) {
        EXPECT_FALSE(parseSegmentList(bad, 9999, error)) << bad;
    }
}

}  // namespace
}  // namespace velarion
