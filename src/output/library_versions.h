#pragma once

#include <QString>

namespace velarion {

// Velarion's own version, set once by the build ("1.8").
QString velarionVersion();

// The version of the libgsf the program runs with ("1.14.50").
QString gsfVersion();

}  // namespace velarion
