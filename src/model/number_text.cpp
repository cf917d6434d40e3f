#include "number_text.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace velarion {

namespace {

constexpr qsizetype kQuotedLength = 60;

// ASCII digits, the point and no grouping: the form every number is written in.
const QLocale& asciiNumbers() {
    static const QLocale c = [] {
        QLocale l = QLocale::c();
        l.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
        return l;
    }();
    return c;
}

QChar writtenSeparator(const QLocale& locale) {
    const QString sep = locale.decimalPoint();
    return sep.size() == 1 && sep.front().unicode() < 0x100 ? sep.front() : QChar('.');
}

// A well-formed decimal number in ASCII with the point, whatever its size.
bool looksLikeNumber(const QString& text) {
    static const QRegularExpression kNumber(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    return kNumber.match(text).hasMatch();
}

}  // namespace

NumberText::NumberText(const QLocale& locale)
    : locale_(locale), separator_(writtenSeparator(locale)) {
    locale_.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
}

std::optional<double> NumberText::toDouble(const QString& text) const {
    const QString trimmed = text.trimmed();
    bool ok = false;
    double value = locale_.toDouble(trimmed, &ok);
    if (!ok && separator_ != locale_.decimalPoint()) {
        // The written form, where it differs from the locale's own.
        value = asciiNumbers().toDouble(trimmed, &ok);
    }
    return ok ? std::optional<double>(value) : std::nullopt;
}

QString NumberText::refusalOf(const QString& text) const {
    const QString separator = QStringLiteral("(decimal separator \"%1\")").arg(separator_);
    QString plain = text.trimmed();
    if (separator_ == QChar('.') || !plain.contains(QChar('.'))) {
        if (looksLikeNumber(plain.replace(separator_, QChar('.')))) {
            return QStringLiteral("which is beyond the range of double-precision numbers");
        }
    }
    QLocale grouping = locale_;
    grouping.setNumberOptions(QLocale::DefaultNumberOptions);
    bool ok = false;
    grouping.toDouble(text.trimmed(), &ok);
    if (ok) {
        return QStringLiteral(
                   "which is written with digit grouping; write it without the "
                   "group separator \"%1\" %2")
            .arg(locale_.groupSeparator(), separator);
    }
    return QStringLiteral("which is not a number here %1").arg(separator);
}

std::optional<std::int32_t> NumberText::toInt32(const QString& text) const {
    const auto value = toDouble(text);
    if (!value) {
        return std::nullopt;
    }
    return roundToInt32(*value);
}

QString NumberText::withSeparator(QString asciiText) const {
    return separator_ == QChar('.') ? asciiText : asciiText.replace(QChar('.'), separator_);
}

QString NumberText::fixed(double value, int decimals) const {
    return withSeparator(asciiNumbers().toString(value, 'f', decimals));
}

QString NumberText::general(double value) const {
    return withSeparator(asciiNumbers().toString(value, 'G', 15));
}

QString NumberText::brief(double value) const {
    return withSeparator(asciiNumbers().toString(value, 'G', 6));
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

QString quotedText(const QString& text) {
    QString shown;
    for (const QChar c : text.left(kQuotedLength)) {
        if (c == QChar(u'\0')) {
            shown += QStringLiteral("\\0");
        } else if (c.category() == QChar::Other_Control) {
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        } else {
            shown += c;
        }
    }
    const bool isCut = text.size() > kQuotedLength;
    return QLatin1Char('"') + shown + (isCut ? QStringLiteral("…\"") : QStringLiteral("\""));
}

}  // namespace velarion
