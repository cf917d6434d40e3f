#include "runs/parameter_reader.h"

#include "model/run_failure.h"
#include "support/run_fixture.h"

#include <gtest/gtest.h>

namespace velarion {
namespace {

// The parameter reader on a fresh fake window (Italian locale).
class ParameterReading : public testing::RunFixture {
  protected:
    QString failureOf(bool girotondo = false) {
        try {
            ParameterReader(window, numbers).readPhysical(p, girotondo);
        } catch (const RunFailure& failure) {
            return failure.message();
        }
        return {};
    }

    Parameters p;
};

TEST_F(ParameterReading, DefaultsGiveTheDerivedValuesAndTheirTexts) {
    ASSERT_EQ(failureOf(), "");
    EXPECT_EQ(p.A, 0.02 * 3.14159265358979 * 0.02 / 4);
    EXPECT_EQ(p.B, 2500000.0);
    EXPECT_EQ(p.L0, 2.0 / 10000);
    EXPECT_EQ(p.tot, 2.9999999999999997e-05);
    EXPECT_EQ(p.nitertemp, 30);
    EXPECT_EQ(p.N, 0);  // the double-precision run does not read TN
    EXPECT_EQ(window.text(ctl::TA), "0,0003");
    EXPECT_EQ(window.text(ctl::TF), "0,0000");
    EXPECT_EQ(window.text(ctl::Ttot), "3E-05");
    EXPECT_EQ(window.text(ctl::TB), "2500000,0000");
    EXPECT_EQ(window.text(ctl::TL0), "0,0002");
}

TEST_F(ParameterReading, TotUsesTheUnroundedTextAndGirotondoMultipliesByN) {
    window.setText(ctl::Tnitertemp, "30,5");
    window.setText(ctl::TP, "1");
    ASSERT_EQ(failureOf(), "");
    EXPECT_EQ(p.nitertemp, 30);
    EXPECT_EQ(p.tot, 30.5 * 0.000001);
    EXPECT_EQ(p.P, 10000.0);
    EXPECT_EQ(p.F, 10000.0 * p.A);
    ASSERT_EQ(failureOf(true), "");
    EXPECT_EQ(p.N, 4);
    EXPECT_EQ(p.tot, 30.5 * 0.000001 * 4);
}

TEST_F(ParameterReading, AFailureLeavesTheEarlierStepsDone) {
    window.setText(ctl::TP, "uno");
    const QString message = failureOf();
    EXPECT_EQ(message,
              "The box TP (\"P=Pressione...\") holds \"uno\", which is not a number "
              "here (decimal separator \",\").");
    EXPECT_EQ(p.nitertemp, 30);                 // step 8 done
    EXPECT_EQ(window.text(ctl::TA), "0,0003");  // step 9 done
    EXPECT_EQ(window.text(ctl::TF), "");        // step 10 not done
    EXPECT_EQ(window.text(ctl::TB), "");
}

TEST_F(ParameterReading, OverflowOfSixteenBitsNamesTheBox) {
    window.setText(ctl::Tnitertemp, "40000");
    EXPECT_EQ(failureOf(),
              "The box Tnitertemp (\"nitertemp\") holds \"40000\", which is outside the range "
              "-32768 to 32767.");
    EXPECT_EQ(window.text(ctl::TA), "");
}

TEST_F(ParameterReading, NonFiniteDerivedValueIsAFailure) {
    window.setText(ctl::TD, "1E200");
    EXPECT_NE(failureOf().indexOf("A (area) is not a finite number"), -1);
    EXPECT_EQ(window.text(ctl::TA), "");
}

TEST_F(ParameterReading, IndexBoundsAndTheRowCap) {
    window.setText(ctl::TINDICE_MATRICE1, "20000");
    window.setText(ctl::TINDICE_MATRICE2, "10,5");
    ParameterReader(window, numbers).readIndexBounds(form);
    EXPECT_EQ(form.IndiceMatrice1, 20000);
    EXPECT_EQ(form.IndiceMatrice2, 10);
    EXPECT_EQ(cappedLastRow(30), 30);
    EXPECT_EQ(cappedLastRow(10000), 10000);
    EXPECT_EQ(cappedLastRow(10001), 10000);
    EXPECT_EQ(cappedLastRow(50000), 10000);
    EXPECT_FALSE(cappedLastRow(50001));
}

}  // namespace
}  // namespace velarion
