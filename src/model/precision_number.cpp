#include "precision_number.h"

#include "number_text.h"
#include "parameter_boxes.h"

#include <boost/math/constants/constants.hpp>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace velarion {

namespace {

constexpr int kHeldDigits = std::numeric_limits<Decimal>::max_digits10;
// Exponent notation below 1E-7 and from 1E21; positional in between.
constexpr int kSmallestPositional = -7;
constexpr int kLargestPositional = 20;
// A written exponent is read up to this size; any larger one is beyond the
// type's range whatever the digits before it.
constexpr long long kExponentCap = 999'999'999;

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// A text as the decimal type's own reader takes it.
struct AsciiNumber {
    std::string text;  // "[-]digits[.digits][e[-]digits]"; empty: not a number
    bool hasNonZeroDigit = false;
    bool isBeyondRange = false;  // an exponent too large to read
};

// The text by the locale's rules, or an empty text when it is not a number.
AsciiNumber asciiNumber(const QString& typed, const QLocale& locale, QChar separator) {
    const QString text = typed.trimmed();
    const QString minus = locale.negativeSign();
    const QString plus = locale.positiveSign();
    const QString exponent = locale.exponential();
    AsciiNumber number;
    std::string& out = number.text;
    qsizetype i = 0;
    // True for a minus sign.
    const auto takeSign = [&] {
        if (text.mid(i).startsWith(minus) || text.mid(i).startsWith(u'-')) {
            i += text.mid(i).startsWith(minus) ? minus.size() : 1;
            return true;
        }
        if (text.mid(i).startsWith(plus) || text.mid(i).startsWith(u'+')) {
            i += text.mid(i).startsWith(plus) ? plus.size() : 1;
        }
        return false;
    };
    const auto takeDigits = [&](std::string& digits) {
        const qsizetype start = i;
        for (; i < text.size() && isAsciiDigit(text[i]); ++i) {
            digits += static_cast<char>(text[i].unicode());
        }
        return i - start;
    };
    if (takeSign()) {
        out += '-';
    }
    const std::size_t mantissaStart = out.size();
    qsizetype mantissaDigits = takeDigits(out);
    // The written separator, or the locale's own where that is another one.
    const QString ownSeparator = locale.decimalPoint();
    if (i < text.size() && (text[i] == separator ||
                            (!ownSeparator.isEmpty() && text.mid(i).startsWith(ownSeparator)))) {
        i += text[i] == separator ? 1 : ownSeparator.size();
        out += '.';
        mantissaDigits += takeDigits(out);
    }
    if (mantissaDigits == 0) {
        return {};
    }
    number.hasNonZeroDigit = out.find_first_of("123456789", mantissaStart) != std::string::npos;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E' ||
                            text.mid(i).startsWith(exponent, Qt::CaseInsensitive))) {
        i += (text[i] == u'e' || text[i] == u'E') ? 1 : exponent.size();
        const bool negative = takeSign();
        std::string digits;
        if (takeDigits(digits) == 0) {
            return {};
        }
        long long value = 0;
        for (const char d : digits) {
            value = std::min(kExponentCap, value * 10 + (d - '0'));
        }
        number.isBeyondRange = number.hasNonZeroDigit && value == kExponentCap;
        // Zero is zero whatever its exponent.
        if (number.hasNonZeroDigit) {
            out += 'e' + std::string(negative ? "-" : "") + std::to_string(value);
        }
    }
    if (i != text.size()) {
        return {};
    }
    return number;
}

// "The box TD ("D ...") holds "x", which is WHY" for a text typed in a box;
// "OPERATION: "x" is WHY" for a text of the run's own.
[[noreturn]] void refuseText(const char* operation, const Operand& operand, const QString& text,
                             const QString& why) {
    const auto* typed = std::get_if<BoxText>(&operand);
    if (typed != nullptr && !typed->box.empty()) {
        throw PrecisionError(QStringLiteral("The box %1 holds %2, which is %3")
                                 .arg(describeBox(typed->box), quotedText(text), why));
    }
    throw PrecisionError(operation, QStringLiteral("%1 is %2").arg(quotedText(text), why));
}

QString beyondRange() {
    return QStringLiteral("beyond the range of the decimal arithmetic (exponents up to %1)")
        .arg(kDecimalExponentLimit);
}

}  // namespace

// Results are written with the separator of every number text, so they
// stay 8-bit under locales whose own separator is not Latin-1.
DecimalPrecision::DecimalPrecision(const QLocale& locale)
    : locale_(locale), separator_(NumberText(locale).decimalSeparator()) {}

const Decimal& DecimalPrecision::value(const char* operation, const Operand& operand,
                                       Decimal& scratch) const {
    if (const auto* earlier = std::get_if<const PrecisionResult*>(&operand)) {
        return (*earlier)->value;
    }
    if (const auto* small = std::get_if<std::int16_t>(&operand)) {
        scratch = *small;
        return scratch;
    }
    const double* number = std::get_if<double>(&operand);
    if (const auto* form = std::get_if<FormDouble>(&operand)) {
        number = form->value;
    }
    if (number != nullptr) {
        if (!std::isfinite(*number)) {
            throw PrecisionError(
                operation, QStringLiteral("the Double %1 is not a finite number").arg(*number));
        }
        char shortest[32];
        const auto end = std::to_chars(shortest, shortest + sizeof shortest, *number).ptr;
        scratch = Decimal(std::string(shortest, end));
        return scratch;
    }
    const QString& text = std::holds_alternative<BoxText>(operand)
                              ? std::get<BoxText>(operand).text
                              : *std::get<HeldText>(operand).text;
    const AsciiNumber ascii = asciiNumber(text, locale_, separator_);
    if (ascii.text.empty()) {
        refuseText(operation, operand, text,
                   QStringLiteral("not a number here (decimal separator %1)")
                       .arg(quotedText(QString(separator_))));
    }
    if (!ascii.isBeyondRange) {
        scratch = Decimal(ascii.text);
        // Too large a value reads as infinity, too small a one as zero.
        if (boost::multiprecision::isfinite(scratch) && (scratch != 0 || !ascii.hasNonZeroDigit)) {
            return scratch;
        }
    }
    refuseText(operation, operand, text, beyondRange());
}

// Counts the call and refuses a result that is not a finite number.
void DecimalPrecision::check(const char* operation, const PrecisionResult& r) {
    ++calls_;
    if (!boost::multiprecision::isfinite(r.value)) {
        throw PrecisionError(operation, QStringLiteral("the result is ") + beyondRange());
    }
}

// Each operation starts from a copy of its first operand and works on it in
// place, so a result is built once, where the caller receives it.
template <class Apply>
PrecisionResult DecimalPrecision::inPlace(const char* operation, const Operand& a, const Operand& b,
                                          Apply apply) {
    PrecisionResult r{value(operation, a, scratchA_)};
    apply(r.value, value(operation, b, scratchB_));
    check(operation, r);
    return r;
}

PrecisionResult DecimalPrecision::Pi() {
    PrecisionResult r{boost::math::constants::pi<Decimal>()};
    check("Pi", r);
    return r;
}

PrecisionResult DecimalPrecision::Multiply(const Operand& a, const Operand& b) {
    // A small integer multiplies digit by digit, without a full product.
    if (const auto* small = std::get_if<std::int16_t>(&a)) {
        PrecisionResult r{value("Multiply", b, scratchB_)};
        r.value *= static_cast<int>(*small);
        check("Multiply", r);
        return r;
    }
    return inPlace("Multiply", a, b, [](Decimal& x, const Decimal& y) { x *= y; });
}

PrecisionResult DecimalPrecision::Add(const Operand& a, const Operand& b) {
    return inPlace("Add", a, b, [](Decimal& x, const Decimal& y) { x += y; });
}

PrecisionResult DecimalPrecision::Subtract(const Operand& a, const Operand& b) {
    return inPlace("Subtract", a, b, [](Decimal& x, const Decimal& y) { x -= y; });
}

PrecisionResult DecimalPrecision::Reciprocal(const Operand& a) {
    const Decimal& x = value("Reciprocal", a, scratchA_);
    if (x == 0) {
        throw PrecisionError("Reciprocal", QStringLiteral("division by zero"));
    }
    PrecisionResult r{1 / x};
    check("Reciprocal", r);
    return r;
}

PrecisionResult DecimalPrecision::Divide(const Operand& a, const Operand& b) {
    const Decimal& x = value("Divide", a, scratchA_);
    const Decimal& y = value("Divide", b, scratchB_);
    if (y == 0) {
        throw PrecisionError("Divide", QStringLiteral("division by zero"));
    }
    PrecisionResult r{x / y};
    check("Divide", r);
    return r;
}

QString DecimalPrecision::text(const PrecisionResult& r) const {
    return decimalText(r.value, separator_);
}

QString decimalText(const Decimal& value, QChar separator) {
    if (value == 0) {
        return QStringLiteral("0");
    }
    // "-d.ddd...e+XX" with every held digit.
    const std::string sci = value.str(kHeldDigits, std::ios_base::scientific);
    const bool negative = sci.front() == '-';
    const std::size_t mark = sci.find('e');
    std::string digits = sci.substr(negative ? 1 : 0, mark - (negative ? 1 : 0));
    digits.erase(1, 1);  // the point after the first digit
    digits.erase(digits.find_last_not_of('0') + 1);
    const int exponent = std::stoi(sci.substr(mark + 1));

    QString out = negative ? QStringLiteral("-") : QString();
    const auto appendDigits = [&out](const std::string& d) { out += QString::fromLatin1(d); };
    if (exponent < kSmallestPositional || exponent > kLargestPositional) {
        appendDigits(digits.substr(0, 1));
        if (digits.size() > 1) {
            out += separator;
            appendDigits(digits.substr(1));
        }
        out += exponent < 0 ? QStringLiteral("E-") : QStringLiteral("E+");
        out += QStringLiteral("%1").arg(std::abs(exponent), 2, 10, QChar(u'0'));
    } else if (exponent < 0) {
        out += u'0';
        out += separator;
        appendDigits(std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits);
    } else {
        const auto whole = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() < whole) {
            digits.append(whole - digits.size(), '0');
        }
        appendDigits(digits.substr(0, whole));
        if (digits.size() > whole) {
            out += separator;
            appendDigits(digits.substr(whole));
        }
    }
    return out;
}

}  // namespace velarion
