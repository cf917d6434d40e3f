#include "support/run_fixture.h"

#include "model/matrix.h"

#include <cstdint>
#include <limits>
#include <new>

namespace velarion {
namespace {

using testing::RunFixture;

class DoubleRunFailure : public RunFixture {
  protected:
    QString onlyMessage() const {
        EXPECT_EQ(window.messages.size(), 1u);
        if (window.messages.empty()) {
            return {};
        }
        EXPECT_EQ(window.messages[0].title, "Error");
        EXPECT_EQ(window.messages[0].icon, MessageIcon::Critical);
        return window.messages[0].text;
    }
    void writeOldLog() const {
        QFile file(logPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old");
    }
    // A refused run leaves everything as it was, buttons aside.
    void expectNothingChanged(std::size_t rowsBefore) const {
        EXPECT_EQ(window.text(ctl::TA), "");
        EXPECT_FALSE(window.statuses.contains("Working..."));
        EXPECT_EQ(form.psi.rows(), rowsBefore);
        EXPECT_EQ(form.IndiceMatrice1, 1000);  // still the window's initial value
        EXPECT_FALSE(QFile::exists(logPath()));
        expectIdleButtons();
    }
};

TEST_F(DoubleRunFailure, IndexBoundsOutsideTheLimitsAreRefusedBeforeAnyChange) {
    const struct {
        const char* rows;
        const char* columns;
        const char* nitertemp;
        const char* says;
    } cases[] = {
        {"30", "0", "30", "must lie from 1 to 32766"},
        {"30", "32767", "30", "must lie from 1 to 32766"},
        {"0", "9999", "30", "must be at least 1"},
        {"-5", "9999", "30", "must be at least 1"},
        {"30", "9999", "31", "nitertemp is 31, above the last row of psi (30)"},
        {"20000", "10", "10001", "nitertemp is 10001, above the last row of psi (10000)"},
        {"60000", "10", "5", "the matrix of the previous run is kept, but there is none"},
    };
    for (const auto& c : cases) {
        window.messages.clear();
        window.setText(ctl::TINDICE_MATRICE1, c.rows);
        window.setText(ctl::TINDICE_MATRICE2, c.columns);
        window.setText(ctl::Tnitertemp, c.nitertemp);
        EXPECT_EQ(runDouble(), RunOutcome::Failed) << c.says;
        EXPECT_NE(onlyMessage().indexOf(c.says), -1) << onlyMessage().toStdString();
        expectNothingChanged(0);
    }
}

TEST_F(DoubleRunFailure, AConversionFailureKeepsTheEarlierSteps) {
    window.setText(ctl::TDeltaT, "");
    EXPECT_EQ(runDouble(), RunOutcome::Failed);
    EXPECT_EQ(onlyMessage(),
              "The box TDeltaT (\"deltat  Inter.\") holds \"\", which is not a "
              "number here (decimal separator \",\").");
    EXPECT_EQ(form.IndiceMatrice1, 30);
    EXPECT_EQ(form.psi.rows(), 31u);  // created at step 3, all zero
    EXPECT_EQ(form.parameters.V0, 5.5);
    EXPECT_EQ(window.statuses, QStringList{"Error!"});
    expectIdleButtons();
}

TEST_F(DoubleRunFailure, ImpossibleFactorsAreRefusedBeforeTheLogIsReplaced) {
    const struct {
        std::string_view box;
        const char* text;
        const char* says;
    } cases[] = {
        {ctl::TRho, "0",
         "Rho is 0, and the update divides by it (the box TRho (\"Rho  (kg/m3)\") "
         "holds \"0\")"},
        {ctl::Tltot, "0", "L0 is 0"},
        {ctl::TDeltaT, "1E300",
         "the box TDeltaT (\"deltat  Inter.\") holds \"1E300\", the box "
         "Tltot (\"ltot (m)\") holds \"2\""},
    };
    for (const auto& c : cases) {
        window = testing::FakeWindow();
        window.setText(c.box, c.text);
        writeOldLog();
        EXPECT_EQ(runDouble(), RunOutcome::Failed) << c.says;
        EXPECT_NE(onlyMessage().indexOf(c.says), -1) << onlyMessage().toStdString();
        EXPECT_EQ(form.psi(1, 0), 0.0);  // rows 0 and 1 not yet filled
        EXPECT_EQ(logBytes(), "old");
        expectIdleButtons();
    }
}

TEST_F(DoubleRunFailure, ANonFiniteLevelEndsTheRunAndKeepsTheRowsBeforeIt) {
    window.setText(ctl::TDeltaT, "1E100");  // finite factors, but the column blows up
    EXPECT_EQ(runDouble(), RunOutcome::Failed);
    EXPECT_TRUE(onlyMessage().startsWith("Level 3, segment ")) << onlyMessage().toStdString();
    EXPECT_EQ(logLines().size(), 2);  // the record of level 2
    EXPECT_EQ(window.statuses.back(), "Error!");
    EXPECT_EQ(exports, 0);
    expectIdleButtons();
}

// A failure that is not the run's own (here no memory for the text of the
// level box) takes the error path, not the program with it.
TEST_F(DoubleRunFailure, AnExceptionFromTheWindowEndsTheRunOnTheErrorPath) {
    window.onSetText = [](std::string_view box, const QString& text) {
        if (box == ctl::TJ && text == QStringLiteral("5")) {
            throw std::bad_alloc();
        }
    };
    EXPECT_EQ(runDouble(), RunOutcome::Failed);
    EXPECT_EQ(onlyMessage(), "The run failed (std::bad_alloc).");
    EXPECT_EQ(window.statuses.back(), "Error!");
    EXPECT_EQ(logLines().size(), 6);  // the records of levels 2 to 4, two lines each
    expectIdleButtons();
}

TEST_F(DoubleRunFailure, AnOverflowInTheFirstRowsIsCaught) {
    // Row 0, a running sum, passes the largest double before segment 20000.
    window.setText(ctl::Tltot, "1,7E308");
    window.setText(ctl::TINDICE_MATRICE2, "20000");
    EXPECT_EQ(runDouble(), RunOutcome::Failed);
    EXPECT_NE(onlyMessage().indexOf("Level 0, segment "), -1);
}

TEST_F(DoubleRunFailure, ALogThatCannotBeCreatedIsNamedWithTheReason) {
    const QString path = dir.filePath("missing/LogFile.txt");
    EXPECT_EQ(runDoubleLoggingTo(path), RunOutcome::Failed);
    const QString message = onlyMessage();
    EXPECT_TRUE(message.startsWith("The log file " + path + " cannot be created: "))
        << message.toStdString();
    EXPECT_GT(message.size(), QString("The log file " + path + " cannot be created: ").size());
    EXPECT_EQ(form.psi(1, 0), -5.5e-06);
    expectIdleButtons();
}

TEST_F(DoubleRunFailure, ALogThatCannotBeWrittenEndsTheRun) {
    if (!QFile::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full here";
    }
    EXPECT_EQ(runDoubleLoggingTo("/dev/full"), RunOutcome::Failed);
    EXPECT_TRUE(onlyMessage().startsWith("The log file /dev/full cannot be written: "));
    EXPECT_EQ(window.text(ctl::TJ), "2");  // failed on the first record
    expectIdleButtons();
}

TEST(Matrix, MemoryThatCannotBeHadGivesAnEmptyMatrix) {
    EXPECT_TRUE(Matrix::tryCreate(std::numeric_limits<std::size_t>::max() / 2, 4).empty());
    EXPECT_TRUE(Matrix::tryCreate(std::size_t{1} << 40, std::size_t{1} << 20).empty());
    EXPECT_TRUE(Matrix::tryCreate(0, 10).empty());
    const Matrix m = Matrix::tryCreate(3, 4);
    ASSERT_FALSE(m.empty());
    EXPECT_EQ(m(2, 3), 0.0);
    EXPECT_EQ(m.lastRow(), 2);
}

TEST(Matrix, RowsStartOnACacheLineAtTheOffsetAskedAndMovesKeepThem) {
    for (std::size_t columns : {1u, 7u, 10000u, 300000u}) {
        Matrix m = Matrix::tryCreate(3, columns);
        ASSERT_FALSE(m.empty());
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(m.row(0)) % 64, 0u) << columns;
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(m.row(1)) % 64, 0u) << columns;
        const Matrix offset = Matrix::tryCreate(1, columns, Matrix::spreadPageOffset(2, 3));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(offset.row(0)) % 4096, 2688u) << columns;
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(m(i, 0), 0.0);
            EXPECT_EQ(m(i, columns - 1), 0.0);
        }
        m(2, columns - 1) = 1.5;
        Matrix moved = std::move(m);
        EXPECT_TRUE(m.empty());
        EXPECT_EQ(moved(2, columns - 1), 1.5);
        moved = Matrix::tryCreate(1, 1);  // frees the first block through its own start
        EXPECT_EQ(moved(0, 0), 0.0);
    }
}

}  // namespace
}  // namespace velarion
