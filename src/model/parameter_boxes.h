#pragma once

#include <QLocale>
#include <QString>

#include <span>
#include <string_view>

namespace velarion {

// One of the eleven parameter boxes: its name, the caption beside it and
// the text it holds when the window opens (decimal comma as typed).
struct ParameterBox {
    std::string_view name;
    const char* caption;  // UTF-8
    const char* initialText;
};

// The text of TPrecision ("DgtMax") when the window opens; no run reads it.
inline constexpr const char* kPrecisionDigitsText = "30";

// The eleven boxes in the fixed order of a configuration file.
std::span<const ParameterBox> parameterBoxes();

// The caption beside a box, or the box's own name for boxes without one.
QString captionOf(std::string_view box);

// A text naming a box for messages: TV0 ("V0 m/s").
QString describeBox(std::string_view box);

// The initial text of a box, written with the locale's decimal separator.
QString initialTextOf(const ParameterBox& box, const QLocale& locale);

}  // namespace velarion
