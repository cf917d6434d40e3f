#include "precision_number.h"

#include "number_text.h"

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
// Longer exponents than this are far outside the type's range anyway.
constexpr int kMaxExponentDigits = 7;

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The text as "[-]digits[.digits][e[-]digits]" for the decimal type's own
// reader, or an empty string when it is not a number by the locale's rules.
std::string asciiNumber(const QString& typed, const QLocale& locale, QChar separator) {
    const QString text = typed.trimmed();
    const QString minus = locale.negativeSign();
    const QString plus = locale.positiveSign();
    const QString exponent = locale.exponential();
    std::string out;
    qsizetype i = 0;
    const auto takeSign = [&] {
        if (text.mid(i).startsWith(minus) || text.mid(i).startsWith(u'-')) {
            out += '-';
            i += text.mid(i).startsWith(minus) ? minus.size() : 1;
        } else if (text.mid(i).startsWith(plus) || text.mid(i).startsWith(u'+')) {
            i += text.mid(i).startsWith(plus) ? plus.size() : 1;
        }
    };
    const auto takeDigits = [&] {
        const qsizetype start = i;
        for (; i < text.size() && isAsciiDigit(text[i]); ++i) {
            out += static_cast<char>(text[i].unicode());
        }
        return i - start;
    };
    takeSign();
    qsizetype mantissaDigits = takeDigits();
    // The written separator, or the locale's own where that is another one.
    const QString ownSeparator = locale.decimalPoint();
    if (i < text.size() && (text[i] == separator ||
                            (!ownSeparator.isEmpty() && text.mid(i).startsWith(ownSeparator)))) {
        i += text[i] == separator ? 1 : ownSeparator.size();
        out += '.';
        mantissaDigits += takeDigits();
    }
    if (mantissaDigits == 0) {
        return {};
    }
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E' ||
                            text.mid(i).startsWith(exponent, Qt::CaseInsensitive))) {
        i += (text[i] == u'e' || text[i] == u'E') ? 1 : exponent.size();
        out += 'e';
        takeSign();
        const qsizetype digits = takeDigits();
        if (digits == 0 || digits > kMaxExponentDigits) {
            return {};
        }
    }
    return i == text.size() ? out : std::string();
}

QString quoted(const QString& text) {
    return QStringLiteral("\"%1\"").arg(text);
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
    const std::string ascii = asciiNumber(text, locale_, separator_);
    if (!ascii.empty()) {
        try {
            scratch = Decimal(ascii);
            if (boost::multiprecision::isfinite(scratch)) {
                return scratch;
            }
        } catch (const std::exception&) {
            // reported below like any other text that does not convert
        }
    }
    throw PrecisionError(operation, QStringLiteral("%1 is not a number here (decimal separator %2)")
                                        .arg(quoted(text), quoted(QString(separator_))));
}

// Counts the call and refuses a result that is not a finite number.
void DecimalPrecision::check(const char* operation, const PrecisionResult& r) {
    ++calls_;
    if (!boost::multiprecision::isfinite(r.value)) {
        throw PrecisionError(operation, QStringLiteral("the result is out of range"));
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
