#include "number_text.h"

#include <cmath>
#include <limits>

namespace velarion {

NumberText::NumberText(const QLocale& locale) : locale_(locale) {
    locale_.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
}

QChar NumberText::decimalSeparator() const {
    const QString sep = locale_.decimalPoint();
    return sep.isEmpty() ? QChar('.') : sep.front();
}

std::optional<double> NumberText::toDouble(const QString& text) const {
    bool ok = false;
    const double value = locale_.toDouble(text.trimmed(), &ok);
    if (!ok) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int32_t> NumberText::toInt32(const QString& text) const {
    const auto value = toDouble(text);
    if (!value) {
        return std::nullopt;
    }
    return roundToInt32(*value);
}

QString NumberText::fixed(double value, int decimals) const {
    return locale_.toString(value, 'f', decimals);
}

QString NumberText::general(double value) const {
    return locale_.toString(value, 'G', 15);
}

namespace {

template <typename Int>
std::optional<Int> roundHalfEven(double value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    // nearbyint rounds by the current mode, which is round-half-to-even.
    const double rounded = std::nearbyint(value);
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max())) {
        return std::nullopt;
    }
    return static_cast<Int>(rounded);
}

}  // namespace

std::optional<std::int16_t> roundToInt16(double value) {
    return roundHalfEven<std::int16_t>(value);
}

std::optional<std::int32_t> roundToInt32(double value) {
    return roundHalfEven<std::int32_t>(value);
}

QString withLocaleDecimal(const QString& commaText, const QLocale& locale) {
    QString text = commaText;
    return text.replace(QChar(','), NumberText(locale).decimalSeparator());
}

}  // namespace velarion
