#include "engine/parameters.h"

#include "engine/run_failure.h"
#include "support/fake_window.h"

#include <gtest/gtest.h>

namespace velarion {
namespace {

using testing::FakeWindow;

struct Reading {
    FakeWindow window;
    NumberText numbers{QLocale(QLocale::Italian, QLocale::Italy)};
    Parameters p;

    QString failureOf(bool girotondo = false) {
        try {
            ParameterReader(window, numbers).readPhysical(p, girotondo);
        } catch (const RunFailure& failure) {
            return failure.message();
        }
        return {};
    }
};

TEST(Parameters, DefaultsGiveTheDerivedValuesAndTheirTexts) {
    Reading r;
    ASSERT_EQ(r.failureOf(), "");
    EXPECT_EQ(r.p.A, 0.02 * 3.14159265358979 * 0.02 / 4);
    EXPECT_EQ(r.p.B, 2500000.0);
    EXPECT_EQ(r.p.L0, 2.0 / 10000);
    EXPECT_EQ(r.p.tot, 2.9999999999999997e-05);
    EXPECT_EQ(r.p.nitertemp, 30);
    EXPECT_EQ(r.p.N, 0);  // the double-precision run does not read TN
    EXPECT_EQ(r.window.text(ctl::TA), "0,0003");
    EXPECT_EQ(r.window.text(ctl::TF), "0,0000");
    EXPECT_EQ(r.window.text(ctl::Ttot), "3E-05");
    EXPECT_EQ(r.window.text(ctl::TB), "2500000,0000");
    EXPECT_EQ(r.window.text(ctl::TL0), "0,0002");
}

TEST(Parameters, TotUsesTheUnroundedTextAndGirotondoMultipliesByN) {
    Reading r;
    r.window.setText(ctl::Tnitertemp, "30,5");
    r.window.setText(ctl::TP, "1");
    ASSERT_EQ(r.failureOf(), "");
    EXPECT_EQ(r.p.nitertemp, 30);
    EXPECT_EQ(r.p.tot, 30.5 * 0.000001);
    EXPECT_EQ(r.p.P, 10000.0);
    EXPECT_EQ(r.p.F, 10000.0 * r.p.A);
    ASSERT_EQ(r.failureOf(true), "");
    EXPECT_EQ(r.p.N, 4);
    EXPECT_EQ(r.p.tot, 30.5 * 0.000001 * 4);
}

TEST(Parameters, AFailureLeavesTheEarlierStepsDone) {
    Reading r;
    r.window.setText(ctl::TP, "uno");
    const QString message = r.failureOf();
    EXPECT_EQ(message,
              "The box TP (\"P=Pressione...\") holds \"uno\", which is not a number "
              "here (decimal separator \",\").");
    EXPECT_EQ(r.p.nitertemp, 30);                 // step 8 done
    EXPECT_EQ(r.window.text(ctl::TA), "0,0003");  // step 9 done
    EXPECT_EQ(r.window.text(ctl::TF), "");        // step 10 not done
    EXPECT_EQ(r.window.text(ctl::TB), "");
}

TEST(Parameters, OverflowOfSixteenBitsNamesTheBox) {
    Reading r;
    r.window.setText(ctl::Tnitertemp, "40000");
    EXPECT_EQ(r.failureOf(),
              "The box Tnitertemp (\"nitertemp\") holds \"40000\", which is outside the range "
              "-32768 to 32767.");
    EXPECT_EQ(r.window.text(ctl::TA), "");
}

TEST(Parameters, NonFiniteDerivedValueIsAFailure) {
    Reading r;
    r.window.setText(ctl::TD, "1E200");
    EXPECT_NE(r.failureOf().indexOf("A (area) is not a finite number"), -1);
    EXPECT_EQ(r.window.text(ctl::TA), "");
}

TEST(Parameters, IndexBoundsAndTheRowCap) {
    FakeWindow window;
    const NumberText numbers(QLocale(QLocale::Italian, QLocale::Italy));
    FormState form;
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
