#pragma once

// Where the windows that Form1 opens go on the screen.

#include <QRect>
#include <QSize>

class QWidget;

namespace velarion::window {

// A window of `wanted` size, no smaller than `least`, beside the frame
// `main` on the screen area `available`: right or left of it, else below or
// above it, where the screen has room for `least`; else over the lower part
// of the screen, clear of `keepClear` (the main window's STOP and GO
// buttons): below them where the height allows, else beside them.
QRect placeBeside(const QRect& main, const QRect& keepClear, QSize wanted, QSize least,
                  const QRect& available);

// `window` at most `wanted`, within its screen's available area, whole on it.
void fitOnScreen(QWidget& window, QSize wanted);

}  // namespace velarion::window
