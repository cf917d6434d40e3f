#pragma once

#include <QString>

namespace velarion {

// The version of the libgsf the program runs with ("1.14.50").
QString gsfVersion();

}  // namespace velarion
