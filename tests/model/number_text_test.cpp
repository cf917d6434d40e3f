#include "model/number_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace velarion {
namespace {

const QLocale kItalian(QLocale::Italian, QLocale::Italy);
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

TEST(NumberText, ReadsTextsByTheLocaleRules) {
    const NumberText it(kItalian);
    EXPECT_EQ(it.toDouble("5,5"), 5.5);
    EXPECT_EQ(it.toDouble("0,000001"), 0.000001);
    EXPECT_EQ(it.toDouble(" -2 "), -2.0);
    EXPECT_EQ(it.toDouble("1E-3"), 0.001);
    const NumberText en(kEnglish);
    EXPECT_EQ(en.toDouble("5.5"), 5.5);
    // Neither read as five and a half nor as fifty-five.
    EXPECT_FALSE(en.toDouble("5,5"));
    EXPECT_FALSE(it.toDouble("5.5"));
}

TEST(NumberText, RefusesNonNumbersAndGrouping) {
    const NumberText it(kItalian);
    for (const char* bad : {"", "   ", "abc", "1,2,3", "2.000", "5,5x", "--1"}) {
        EXPECT_FALSE(it.toDouble(QString::fromLatin1(bad))) << bad;
    }
    EXPECT_FALSE(NumberText(kEnglish).toDouble("1,000"));
}

TEST(NumberText, RefusalsSayWhatIsWrongWithTheText) {
    const NumberText it(kItalian);
    for (const QString& huge : {QString("1e400"), QString("-1,5E-400"), QString(10'000'000, '7')}) {
        EXPECT_FALSE(it.toDouble(huge));
        EXPECT_EQ(it.refusalOf(huge), "which is beyond the range of double-precision numbers");
    }
    EXPECT_EQ(NumberText(kEnglish).refusalOf("1,000"),
              "which is written with digit grouping; write it without the group separator \",\" "
              "(decimal separator \".\")");
    EXPECT_EQ(it.refusalOf("5.5"), "which is not a number here (decimal separator \",\")");
    const QString quoted = quotedText(QString(10'000'000, '7'));
    EXPECT_EQ(quoted, '"' + QString(60, '7') + QStringLiteral("…\""));
    // A NUL, which would end the message where it is printed, shows as \0;
    // the other control characters, which would drive a terminal (a .cnf
    // holding ESC [31m turned it red), as \x and their code.
    EXPECT_EQ(quotedText(QStringLiteral("5") + QChar(0) + QStringLiteral("5")), "\"5\\05\"");
    EXPECT_EQ(quotedText(QStringLiteral("\x1b[31m5\t\x7f") + QChar(0x9b) + QStringLiteral("é")),
              QStringLiteral("\"\\x1b[31m5\\x09\\x7f\\x9bé\""));
}

// Locales whose digits or decimal separator lie outside Latin-1 get ASCII
// digits and the point, so logs and .cnf files stay 8-bit text.
TEST(NumberText, TextsStayAsciiUnderLocalesWithOtherDigits) {
    for (const char* name : {"ar_EG", "fa_IR"}) {
        SCOPED_TRACE(name);
        const QLocale locale(QString::fromLatin1(name));
        const NumberText numbers(locale);
        EXPECT_EQ(numbers.general(-1.65e-5), "-1.65E-05");
        EXPECT_EQ(numbers.fixed(2500000, 4), "2500000.0000");
        EXPECT_EQ(numbers.toDouble("-1.65E-05"), -1.65e-5);
        EXPECT_EQ(numbers.toDouble(locale.toString(5.5)), 5.5);  // the locale's own digits
        EXPECT_FALSE(numbers.toDouble("1,5"));
        EXPECT_EQ(withLocaleDecimal("0,000001", locale), "0.000001");
    }
}

TEST(NumberText, RoundsHalvesToEven) {
    EXPECT_EQ(roundToInt16(30.5), 30);
    EXPECT_EQ(roundToInt16(31.5), 32);
    EXPECT_EQ(roundToInt16(-2.5), -2);
    EXPECT_EQ(roundToInt16(2.4999), 2);
    EXPECT_EQ(NumberText(kItalian).toInt32("30,5"), 30);
    EXPECT_EQ(NumberText(kItalian).toInt32("9999"), 9999);
}

TEST(NumberText, ReportsOverflowInsteadOfWrapping) {
    EXPECT_EQ(roundToInt16(32767.4), 32767);
    EXPECT_FALSE(roundToInt16(32767.5));
    EXPECT_EQ(roundToInt16(-32768.5), -32768);  // half to even stays in range
    EXPECT_FALSE(roundToInt16(-32769));
    EXPECT_FALSE(roundToInt16(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(roundToInt16(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(roundToInt32(2147483647.0), 2147483647);
    EXPECT_FALSE(roundToInt32(2147483648.0));
    EXPECT_FALSE(NumberText(kItalian).toInt32("1E12"));
}

TEST(NumberText, FormatsFixedWithoutGrouping) {
    const NumberText it(kItalian);
    EXPECT_EQ(it.fixed(0.02 * 3.14159265358979 * 0.02 / 4, 4), "0,0003");
    EXPECT_EQ(it.fixed(2500000, 4), "2500000,0000");
    EXPECT_EQ(it.fixed(0, 4), "0,0000");
    EXPECT_EQ(it.fixed(0.00015, 4), "0,0001");  // the binary value lies below the half
    EXPECT_EQ(it.fixed(0.00025, 4), "0,0003");  // and this one above it
    EXPECT_EQ(it.fixed(1.2345, 3), "1,234");
    EXPECT_EQ(NumberText(kEnglish).fixed(1234567.5, 3), "1234567.500");
}

TEST(NumberText, GeneralTextHasFifteenDigitsAtMost) {
    const NumberText it(kItalian);
    EXPECT_EQ(it.general(2.9999999999999997e-05), "3E-05");
    EXPECT_EQ(it.general(-5.5e-06), "-5,5E-06");
    EXPECT_EQ(it.general(1.9997999999998124), "1,99979999999981");
    EXPECT_EQ(it.general(30), "30");
    EXPECT_EQ(NumberText(kEnglish).general(0.125), "0.125");
    EXPECT_EQ(NumberText(kEnglish).general(1e20), "1E+20");
}

TEST(NumberText, MessageNumbersAreNeverGroupedAndKeepOneExponentForm) {
    const NumberText english(kEnglish);
    EXPECT_EQ(english.brief(30250.123), "30250.1");
    EXPECT_EQ(english.brief(2.2615612e10), "2.26156E+10");
    EXPECT_EQ(english.brief(-5.42101e-20), "-5.42101E-20");
    EXPECT_EQ(NumberText(kItalian).brief(29454.123), "29454,1");
}

TEST(NumberText, InitialTextsFollowTheDecimalSeparator) {
    EXPECT_EQ(withLocaleDecimal("0,000001", kItalian), "0,000001");
    EXPECT_EQ(withLocaleDecimal("0,000001", kEnglish), "0.000001");
    EXPECT_EQ(withLocaleDecimal("9999", kEnglish), "9999");
}

}  // namespace
}  // namespace velarion
