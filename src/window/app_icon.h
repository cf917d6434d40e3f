#pragma once

// The program's icon: the window's, and the files the desktop shows.

#include <QIcon>
#include <QImage>

#include <array>

class QPainter;

namespace velarion::window {

// The sizes, in pixels, that the window and the installed icon theme carry.
inline constexpr std::array kAppIconSizes{16, 32, 48, 64, 128, 256};

// Paints the icon into the square (0, 0) to (size, size).
void paintAppIcon(QPainter& painter, int size);

// The icon at one size, on a transparent ground.
QImage appIconImage(int size);

// The icon at every size of kAppIconSizes.
QIcon appIcon();

}  // namespace velarion::window
