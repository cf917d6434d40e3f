#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>

namespace velarion {

// Number texts of the user's locale: parsing of box texts and the three
// display formats. Digit grouping is neither written nor accepted, so that
// "2.000" under a comma locale is refused instead of silently read as 2000.
//
// Texts are always written with the ASCII digits, "-" and "E", and with the
// locale's decimal separator when it is a Latin-1 character, else with the
// point: so the log and the .cnf files stay 8-bit text under every locale
// (under ar_EG, whose separator is U+066B, "5,5" becomes "5.5"). Reading
// accepts what is written and the locale's own forms as well.
class NumberText {
  public:
    explicit NumberText(const QLocale& locale = QLocale());

    const QLocale& locale() const { return locale_; }
    QChar decimalSeparator() const { return separator_; }

    // GiveMeDouble: the text read by the locale's rules, or nothing when it
    // is not a number (the empty text included) or lies beyond the double
    // range.
    std::optional<double> toDouble(const QString& text) const;
    // Why toDouble refused the text, as the end of a sentence that begins
    // with the quoted text: "which is not a number here (...)".
    QString refusalOf(const QString& text) const;

    // The locale's rules, then rounding halves to even. Nothing when the text
    // is not a number or the result is outside the target range.
    std::optional<std::int32_t> toInt32(const QString& text) const;

    // Fixed format with `decimals` places: "0.0000" and "0.000".
    QString fixed(double value, int decimals) const;
    // Shortest text of up to 15 significant digits, exponent for extreme magnitudes.
    QString general(double value) const;
    // The same notation with up to six significant digits: the numbers of
    // messages ("30250.1", "2.26156E+10"), never grouped.
    QString brief(double value) const;

  private:
    QString withSeparator(QString asciiText) const;

    QLocale locale_;
    QChar separator_;
};

// Double to 16-bit integer, rounding halves to the even neighbour;
// nothing when the rounded value does not fit.
std::optional<std::int16_t> roundToInt16(double value);
std::optional<std::int32_t> roundToInt32(double value);

// The locale's texts for the numbers written with a decimal comma in the
// window's initial texts ("5,5" becomes "5.5" under a point locale).
QString withLocaleDecimal(const QString& commaText, const QLocale& locale);

// A text as a message quotes it: in double quotes, cut to about 60
// characters with an ellipsis, so a pasted page cannot flood a message box;
// a NUL shows as \0, since it would end the text where it is printed, and
// every other control character as \x and its code (\x1b), so that a text
// read from a file cannot drive the terminal it is printed on.
QString quotedText(const QString& text);

}  // namespace velarion
