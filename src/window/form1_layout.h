#pragma once

#include <QColor>
#include <QString>

#include <span>
#include <string_view>

namespace velarion::window {

// One twip is 1/1440 inch; at 96 dpi 15 twips make one pixel. Positions are
// kept in twips as designed and turned into Qt's device-independent pixels
// here only, so Qt's own high-DPI scaling does the rest.
constexpr double kTwipsPerPixel = 15.0;
int twipsToDip(double twips);

enum class Kind {
    Button,
    TextBox,
    MultiLineTextBox,
    CheckBox,
    Label,
    Frame,
    FileList,
    Rectangle,
    Line
};

struct FontSpec {
    const char* family = nullptr;  // nullptr: the window's default font
    double pointSize = 0;
};

enum Style : unsigned {
    kPlain = 0,
    kGreyBackground = 1u << 0,
    kCentred = 1u << 1,
    kDisabled = 1u << 2,
    kTicked = 1u << 3,
};

// A control of Form1 as designed: rectangle in twips (relative to its
// parent), tab index (-1 where the control takes no focus), stacking given
// by the order of the table (first entry on top).
struct ControlSpec {
    std::string_view name;
    Kind kind;
    const char* text;     // UTF-8; "" for none
    const char* tooltip;  // UTF-8; "" for none
    int left, top, width, height;
    int tab;
    unsigned style = kPlain;
    FontSpec font = {};
    std::string_view parent = {};  // empty: the window itself
    QColor fill = {};              // Rectangle only
};

struct WindowSpec {
    const char* title;
    int clientWidth, clientHeight;  // twips
    QColor background;
};

const WindowSpec& form1Window();
// Every control, in stacking order from the top.
std::span<const ControlSpec> form1Controls();

}  // namespace velarion::window
