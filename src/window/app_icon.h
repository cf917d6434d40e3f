#pragma once

#include <QIcon>

namespace velarion::window {

// The program's icon, drawn at 16, 32, 48 and 256 pixels.
QIcon appIcon();

}  // namespace velarion::window
