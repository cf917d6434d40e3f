#include "runs/precision_run.h"
#include "model/precision_number.h"
#include "support/run_fixture.h"

#include <cmath>
#include <string>

namespace velarion {
namespace {

using testing::RunFixture;

const QLocale kItalian(QLocale::Italian, QLocale::Italy);

Decimal fromText(const QString& text) {
    return Decimal(QString(text).replace(u',', u'.').toStdString());
}

TEST(DecimalPrecision, ResultTextsHoldTheWholeValueAndReadBack) {
    DecimalPrecision m(kItalian);
    const auto third = m.Divide(std::int16_t{1}, 3.0);
    const auto tiny = m.Multiply(result(third), BoxText{"1e-30"});
    const auto huge = m.Divide(BoxText{"1e25"}, 7.0);
    const auto negative = m.Subtract(result(m.Pi()), 4.0);
    const auto vast = m.Multiply(BoxText{"3e9999999"}, BoxText{"1e9999999"});
    for (const PrecisionResult* r : {&third, &tiny, &huge, &negative, &vast}) {
        const QString text = m.text(*r);
        EXPECT_EQ(m.Subtract(heldText(text), result(*r)).value, 0) << text.toStdString();
        EXPECT_EQ(m.text(m.Add(heldText(text), std::int16_t{0})), text);
    }
    EXPECT_TRUE(m.text(third).startsWith("0,3333333333333333333333333333333333333333333333333333"));
    EXPECT_TRUE(m.text(tiny).startsWith("3,333333333")) << m.text(tiny).toStdString();
    EXPECT_TRUE(m.text(tiny).endsWith("E-31"));
    EXPECT_TRUE(m.text(huge).endsWith("E+24"));
    EXPECT_EQ(m.text(vast), "3E+19999998");
    EXPECT_TRUE(m.text(negative).startsWith("-0,858407346410206761537356616720497115802830600624"));
}

TEST(DecimalPrecision, OperandsEnterAsTypedAndDoublesAsTheirShortestText) {
    DecimalPrecision m(kItalian);
    const double deltaT = 0.000001;
    EXPECT_EQ(m.text(m.Multiply(formDouble(deltaT), std::int16_t{3})), "0,000003");
    EXPECT_EQ(m.text(m.Multiply(BoxText{"0,02"}, BoxText{" 0,02 "})), "0,0004");
    EXPECT_EQ(m.text(m.Divide(BoxText{"-2,5E3"}, 10000.0)), "-0,25");
    EXPECT_EQ(m.text(m.Reciprocal(std::int16_t{4})), "0,25");
    EXPECT_EQ(m.text(m.Add(BoxText{"1,5"}, 2.0)), "3,5");
    EXPECT_EQ(DecimalPrecision(QLocale::c())
                  .text(DecimalPrecision(QLocale::c()).Add(BoxText{"1.5"}, 0.1)),
              "1.6");
    // A separator outside Latin-1 is read, but results are written with the point.
    DecimalPrecision arabic(QLocale(QLocale::Arabic, QLocale::Egypt));
    EXPECT_EQ(arabic.text(arabic.Add(BoxText{QString::fromUtf8("1\u066B5")}, BoxText{"0.25"})),
              "1.75");
}

TEST(DecimalPrecision, CallsThatCannotGiveANumberFailWithTheirReason) {
    DecimalPrecision m(kItalian);
    const auto expectFailure = [](auto call, const char* says) {
        try {
            call();
            ADD_FAILURE() << "no failure for " << says;
        } catch (const PrecisionError& e) {
            EXPECT_EQ(e.message().left(static_cast<qsizetype>(std::strlen(says))), says)
                << e.message().toStdString();
        }
    };
    const double infinite = std::numeric_limits<double>::infinity();
    expectFailure([&] { m.Divide(std::int16_t{2}, BoxText{"0,0"}); }, "Divide: division by zero");
    expectFailure([&] { m.Reciprocal(0.0); }, "Reciprocal: division by zero");
    expectFailure([&] { m.Add(BoxText{"abc"}, 1.0); }, "Add: \"abc\" is not a number");
    expectFailure([&] { m.Add(BoxText{"5.5"}, 1.0); }, "Add: \"5.5\" is not a number");
    expectFailure([&] { m.Add(BoxText{""}, 1.0); }, "Add: \"\" is not a number");
    expectFailure([&] { m.Subtract(BoxText{"1e99999999"}, 1.0); },
                  "Subtract: \"1e99999999\" is beyond the range of the decimal arithmetic "
                  "(exponents up to 67108864)");
    expectFailure(
        [&] {
            m.Add(BoxText{"-2e-99999999999", ctl::TD}, 1.0);
        },
        "The box TD (\"D Diametro Ariete\") holds \"-2e-99999999999\", which is beyond "
        "the range");
    expectFailure([&] { m.Multiply(BoxText{"1e40000000"}, BoxText{"1e40000000"}); },
                  "Multiply: the result is beyond the range");
    EXPECT_EQ(m.text(m.Add(BoxText{"0e99999999999"}, 1.0)), "1");
    expectFailure([&] { m.Multiply(formDouble(infinite), 1.0); }, "Multiply: the Double inf");
}

class PrecisionRunTest : public RunFixture {
  protected:
    RunOutcome runPrecision(int threads = 1) {
        form.threads = threads;
        PrecisionRun run(window, form, numbers, logPath());
        run.setMemoryLimit(memoryLimit);
        return run.run();
    }
    QString entry(int i, int s) const { return form.psiText.text(i, s); }

    std::size_t memoryLimit = std::size_t{1} << 30;
};

TEST_F(PrecisionRunTest, DefaultsUnderAnItalianLocale) {
    // The run leaves buttons, StopFlag and the form-level values alone.
    window.setEnabled(ctl::CStop, true);
    window.setEnabled(ctl::Command2, false);
    window.stop = true;
    form.parameters.A = form.parameters.F = form.parameters.B = form.parameters.L0 = 7;
    ASSERT_EQ(runPrecision(), RunOutcome::Completed);

    EXPECT_TRUE(window.text(ctl::TA).startsWith("0,000314159265358979323846264338327950288419716"));
    EXPECT_EQ(window.text(ctl::TF), "0");
    EXPECT_EQ(window.text(ctl::TB), "2500000");
    EXPECT_EQ(window.text(ctl::TL0), "0,0002");
    EXPECT_EQ(window.text(ctl::Ttot), numbers.general(2.9999999999999997e-05));
    EXPECT_EQ(window.text(ctl::TJ), "30");
    EXPECT_EQ(window.statuses, QStringList{"Working..."});
    EXPECT_TRUE(window.repaints.contains("Form1"));
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(window.widths.empty() && window.beeps.empty() && window.pumps == 0);
    EXPECT_TRUE(window.enabled(ctl::CStop));
    EXPECT_FALSE(window.enabled(ctl::Command2));
    EXPECT_TRUE(window.stop);
    EXPECT_EQ(form.parameters.A + form.parameters.F + form.parameters.B + form.parameters.L0, 28);
    EXPECT_TRUE(form.psi.empty());

    ASSERT_EQ(form.psiText.lastRow(), 30);
    ASSERT_EQ(form.psiText.lastColumn(), 9999);
    EXPECT_EQ(entry(0, 0), "0");
    for (int k = 0; k <= 9999; ++k) {
        ASSERT_EQ(fromText(entry(0, k)), Decimal(k) * Decimal("0.0002")) << k;
        ASSERT_EQ(fromText(entry(1, k)), fromText(entry(0, k)) - Decimal("0.0000055")) << k;
    }
    EXPECT_EQ(entry(30, 0), "-0,000165");

    const QList<QByteArray> lines = logLines();
    ASSERT_EQ(lines.size(), 58);
    QString expectedTLog;
    for (int J = 2; J <= 30; ++J) {
        const QString line = QString::number(J) + ") " + entry(J, 0) + "\r\n";
        expectedTLog += line;
        EXPECT_EQ(lines[2 * (J - 2)] + "\n", line.toLatin1());
        EXPECT_EQ(lines[2 * (J - 2) + 1], "\r");
    }
    EXPECT_EQ(window.text(ctl::TLog), expectedTLog);
}

// The decimal run takes the free end as the double run does: on a short
// column the pressure wave reaches the free end and comes back, and each
// end gives the decimal run the double run's positions to rounding, while
// the two ends give positions far apart.
TEST_F(PrecisionRunTest, TheFreeEndActsAsInTheDoubleRun) {
    window.setText(ctl::TP, "1");
    window.setText(ctl::TINDICE_MATRICE2, "5");
    window.setText(ctl::TINDICE_MATRICE1, "60");
    window.setText(ctl::Tnitertemp, "60");
    double lastSegment[2] = {};
    for (const FreeEnd end : {FreeEnd::Seed, FreeEnd::Restoring}) {
        form.freeEnd = end;
        ASSERT_EQ(runDouble(), RunOutcome::Completed);
        ASSERT_EQ(runPrecision(), RunOutcome::Completed);
        for (int s = 0; s <= 5; ++s) {
            const double decimal = fromText(entry(60, s)).convert_to<double>();
            EXPECT_NEAR(decimal, form.psi(60, static_cast<std::size_t>(s)), 1e-12) << s;
        }
        lastSegment[end == FreeEnd::Restoring] = form.psi(60, 5);
    }
    EXPECT_GT(std::abs(lastSegment[0] - lastSegment[1]), 1e-4)
        << lastSegment[0] << " " << lastSegment[1];
}

// The valves, the dead end and friction act in the decimal run as in the
// double run: each model gives the decimal run the double run's positions
// to rounding, and positions that differ from those of the same model
// without friction, or without a valve, by far more.
TEST_F(PrecisionRunTest, TheValvesAndFrictionActAsInTheDoubleRun) {
    window.setText(ctl::TINDICE_MATRICE2, "5");
    window.setText(ctl::TINDICE_MATRICE1, "60");
    window.setText(ctl::Tnitertemp, "60");
    window.setText(ctl::TD, "0,002");
    const std::pair<FreeEnd, WaterHammer> models[] = {
        {FreeEnd::Restoring, {FirstEnd::Closed, 0, 0}},
        {FreeEnd::Closed, {FirstEnd::Valve, 0.00002, 0.05}},
        {FreeEnd::Seed, {FirstEnd::CounterPressure, 0, 0.05}},
    };
    for (const auto& [last, hammer] : models) {
        const auto doubleRun = [&, last = last](const WaterHammer& h) {
            form.freeEnd = last;
            form.hammer = h;
            EXPECT_EQ(runDouble(), RunOutcome::Completed);
            return form.psi(60, 2);
        };
        const double without = doubleRun({hammer.firstEnd, hammer.closingTime, 0});
        const double withoutValve = doubleRun({FirstEnd::CounterPressure, 0, hammer.friction});
        const double binary = doubleRun(hammer);
        ASSERT_EQ(runPrecision(), RunOutcome::Completed);
        for (int s = 0; s <= 5; ++s) {
            const double decimal = fromText(entry(60, s)).convert_to<double>();
            EXPECT_NEAR(decimal, form.psi(60, static_cast<std::size_t>(s)), 1e-12) << s;
        }
        if (hammer.hasFriction()) {
            EXPECT_GT(std::abs(binary - without), 1e-8) << static_cast<int>(last);
        }
        if (hammer.hasValve()) {
            EXPECT_GT(std::abs(binary - withoutValve), 1e-8) << static_cast<int>(last);
        }
    }
}

TEST_F(PrecisionRunTest, TLogAccumulatesAndTPrecisionChangesNothing) {
    window.setText(ctl::TP, "1");
    window.setText(ctl::TINDICE_MATRICE2, "40");
    ASSERT_EQ(runPrecision(), RunOutcome::Completed);
    const QString first = window.text(ctl::TLog);
    const QString lastCell = entry(30, 40);
    window.setText(ctl::TPrecision, "3");
    ASSERT_EQ(runPrecision(), RunOutcome::Completed);
    EXPECT_EQ(window.text(ctl::TLog), first + first);
    EXPECT_EQ(entry(30, 40), lastCell);
    EXPECT_GT(entry(30, 0).size(), 60) << "the counter pressure makes full-length values";
}

TEST_F(PrecisionRunTest, TwoThreadsGiveTheSameTexts) {
    window.setText(ctl::TP, "1");
    window.setText(ctl::Tnitertemp, "6");
    ASSERT_EQ(runPrecision(1), RunOutcome::Completed);
    QStringList one;
    for (int s = 0; s <= 9999; ++s) {
        one.append(entry(6, s));
    }
    ASSERT_EQ(runPrecision(2), RunOutcome::Completed);
    for (int s = 0; s <= 9999; ++s) {
        ASSERT_EQ(entry(6, s), one[s]) << s;
    }
}

TEST_F(PrecisionRunTest, FewLevelsWriteNoLineOrOne) {
    window.setText(ctl::TINDICE_MATRICE2, "3");
    for (const char* levels : {"0", "1", "2"}) {
        window.setText(ctl::TLog, "");
        window.setText(ctl::TJ, "");
        window.setText(ctl::Tnitertemp, levels);
        ASSERT_EQ(runPrecision(), RunOutcome::Completed) << levels;
        EXPECT_EQ(entry(1, 3), "0,0005945");
        if (levels[0] == '2') {
            EXPECT_EQ(window.text(ctl::TLog), "2) -0,000011\r\n");
            EXPECT_EQ(logBytes(), "2) -0,000011\r\n\r\n");
            EXPECT_EQ(window.text(ctl::TJ), "2");
        } else {
            EXPECT_EQ(window.text(ctl::TLog), "");
            EXPECT_EQ(logBytes(), "");
            EXPECT_EQ(window.text(ctl::TJ), "");
            EXPECT_EQ(entry(2, 0), "");
        }
    }
}

TEST_F(PrecisionRunTest, BoundsAndMemoryOutsideTheLimitsAreRefusedBeforeAnyChange) {
    const struct {
        const char* rows;
        const char* columns;
        const char* nitertemp;
        std::size_t memory;
        const char* says;
    } cases[] = {
        {"30", "0", "30", 1 << 30, "TINDICE_MATRICE2 (\"psi( second index\") holds \"0\""},
        {"30", "32767", "30", 1 << 30, "second index of psiText must lie from 1 to 32766: the box"},
        {"0", "9999", "0", 1 << 30,
         "first index of psiText must be at least 1: the box TINDICE_MATRICE1"},
        {"30", "9999", "31", 1 << 30, "Tnitertemp (\"nitertemp\") holds \"31\""},
        {"30", "9999", "30", 1000, "not enough memory for psiText(30, 9999)"},
    };
    for (const auto& c : cases) {
        window.messages.clear();
        window.setText(ctl::TINDICE_MATRICE1, c.rows);
        window.setText(ctl::TINDICE_MATRICE2, c.columns);
        window.setText(ctl::Tnitertemp, c.nitertemp);
        memoryLimit = c.memory;
        EXPECT_EQ(runPrecision(), RunOutcome::Failed) << c.says;
        ASSERT_EQ(window.messages.size(), 1u);
        EXPECT_NE(window.messages[0].text.indexOf(c.says), -1)
            << window.messages[0].text.toStdString();
        EXPECT_EQ(window.statuses, QStringList{"Error!"});
        window.statuses.clear();
        EXPECT_EQ(window.text(ctl::TA), "");
        EXPECT_TRUE(form.psiText.empty());
        EXPECT_EQ(form.IndiceMatrice1, 1000);
        EXPECT_FALSE(QFile::exists(logPath()));
    }
}

TEST_F(PrecisionRunTest, AFailedCallEndsTheRunKeepingWhatWasComputed) {
    window.setText(ctl::Tltot, "0");
    ASSERT_EQ(runPrecision(), RunOutcome::Failed);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, "Divide: division by zero at level 2, segment 0");
    EXPECT_EQ(window.statuses, (QStringList{"Working...", "Error!"}));
    EXPECT_EQ(entry(1, 9999), "-0,0000055");
    EXPECT_EQ(entry(2, 0), "");
    EXPECT_EQ(logBytes(), "");
    EXPECT_TRUE(window.enabled(ctl::Command2));

    window.messages.clear();
    window.setText(ctl::Tltot, "2");
    window.setText(ctl::TD, "2 cm");
    ASSERT_EQ(runPrecision(), RunOutcome::Failed);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text,
              "The box TD (\"D Diametro Ariete\") holds \"2 cm\", which is not a number here "
              "(decimal separator \",\") while computing DD");

    window.messages.clear();
    window.setText(ctl::TD, "0,02");
    window.setText(ctl::Tltot, "1e99999999");
    ASSERT_EQ(runPrecision(), RunOutcome::Failed);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text,
              "The box Tltot (\"ltot (m)\") holds \"1e99999999\", which is beyond the range of the "
              "decimal arithmetic (exponents up to 67108864) while computing L0");
}

}  // namespace
}  // namespace velarion
