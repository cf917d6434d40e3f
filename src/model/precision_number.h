#pragma once

#include <QLocale>
#include <QString>

#include <boost/multiprecision/cpp_dec_float.hpp>

#include <cstdint>
#include <exception>
#include <string_view>
#include <variant>

namespace velarion {

// Decimal arithmetic of at least 50 significant digits. The type keeps
// guard digits beyond the 50 (80 digits in all); they are part of the value.
using Decimal = boost::multiprecision::number<boost::multiprecision::cpp_dec_float<50>,
                                              boost::multiprecision::et_off>;
// Decimal exponents beyond this, either way, are out of the type's range.
inline constexpr int kDecimalExponentLimit = std::numeric_limits<Decimal>::max_exponent10;

// What a call of the number component returns.
struct PrecisionResult {
    Decimal value;
};

// The operand kinds a run passes, in the order of the call.
struct BoxText {  // a text as typed in a box, e.g. "0,02" under a comma locale
    QString text;
    std::string_view box = {};  // the box it comes from, named when it is refused
};
struct HeldText {  // a text the run holds, e.g. the text of an earlier result
    const QString* text;
};
struct FormDouble {  // one of the form-level Doubles, by reference
    const double* value;
};
// The Double 10000 and the 16-bit integers 2 and 4 travel as double and
// std::int16_t; an earlier result is passed on unchanged, by reference.
using Operand =
    std::variant<BoxText, HeldText, FormDouble, double, std::int16_t, const PrecisionResult*>;

inline Operand heldText(const QString& text) {
    return HeldText{&text};
}
inline Operand formDouble(const double& value) {
    return FormDouble{&value};
}
inline Operand result(const PrecisionResult& r) {
    return &r;
}

// A failed call: the operation and the reason, e.g. "Divide: division by zero",
// or a sentence that names the box at fault.
class PrecisionError : public std::exception {
  public:
    PrecisionError(const char* operation, const QString& reason)
        : message_(QString::fromLatin1(operation) + QStringLiteral(": ") + reason) {}
    explicit PrecisionError(const QString& message) : message_(message) {}
    const QString& message() const { return message_; }
    const char* what() const noexcept override { return "precision call failed"; }

  private:
    QString message_;
};

// The arbitrary-precision number component: six operations whose operands
// are taken in the order written. A call that cannot give a true number
// throws PrecisionError; it never returns an infinity or a NaN.
//
// Decisions where the model leaves the component open:
// - Texts (typed in a box or held by the run) are read by the user's
//   locale as GiveMeDouble reads them: its decimal separator, an optional
//   sign and exponent, no digit grouping. A text that is not a number, or
//   whose value lies beyond the type's exponent range, fails the call,
//   naming the text and its box.
// - A Double operand enters as its shortest round-trip decimal text, so
//   0.000001 enters as exactly 1E-6: the value the user typed, which makes
//   a run reproducible from the box texts.
// - A result's text carries every digit the value holds, so that text read
//   back as an operand has the result's full value. It uses the user's
//   decimal separator, and exponent notation only below 1E-7 and from 1E21.
//
// A second backend implements this interface on the same decimal results.
class MathPrecision {
  public:
    virtual ~MathPrecision() = default;

    virtual PrecisionResult Pi() = 0;
    virtual PrecisionResult Multiply(const Operand& a, const Operand& b) = 0;
    virtual PrecisionResult Add(const Operand& a, const Operand& b) = 0;
    virtual PrecisionResult Reciprocal(const Operand& a) = 0;
    virtual PrecisionResult Divide(const Operand& a, const Operand& b) = 0;
    virtual PrecisionResult Subtract(const Operand& a, const Operand& b) = 0;

    virtual QString text(const PrecisionResult& r) const = 0;
};

// The component on Boost.Multiprecision's decimal floating point.
class DecimalPrecision : public MathPrecision {
  public:
    explicit DecimalPrecision(const QLocale& locale);

    PrecisionResult Pi() override;
    PrecisionResult Multiply(const Operand& a, const Operand& b) override;
    PrecisionResult Add(const Operand& a, const Operand& b) override;
    PrecisionResult Reciprocal(const Operand& a) override;
    PrecisionResult Divide(const Operand& a, const Operand& b) override;
    PrecisionResult Subtract(const Operand& a, const Operand& b) override;

    QString text(const PrecisionResult& r) const override;

    // Calls made so far, for measuring the cost of one call.
    std::int64_t calls() const { return calls_; }

  private:
    const Decimal& value(const char* operation, const Operand& operand, Decimal& scratch) const;
    void check(const char* operation, const PrecisionResult& r);
    template <class Apply>
    PrecisionResult inPlace(const char* operation, const Operand& a, const Operand& b, Apply apply);

    QLocale locale_;
    QChar separator_;
    std::int64_t calls_ = 0;
    // Operands converted from texts, Doubles and integers, one per position;
    // kept between calls so that a call does not build fresh numbers.
    Decimal scratchA_;
    Decimal scratchB_;
};

// The text of a decimal value with the given decimal separator, every held
// digit included, trailing zeros left out.
QString decimalText(const Decimal& value, QChar separator);

}  // namespace velarion
