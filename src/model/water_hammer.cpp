// The names of the model's ends.
#include "water_hammer.h"

#include <array>
#include <cstddef>

namespace velarion {

namespace {

constexpr std::array kFirstEndNames{"counter-pressure", "closed", "valve"};
constexpr std::array kFreeEndNames{"seed", "restoring", "closed"};

template <class End, std::size_t n>
std::optional<End> named(const QString& name, const std::array<const char*, n>& names) {
    for (std::size_t i = 0; i < n; ++i) {
        if (name == QLatin1String(names[i])) {
            return static_cast<End>(i);
        }
    }
    return std::nullopt;
}

}  // namespace

QString firstEndName(FirstEnd end) {
    return QLatin1String(kFirstEndNames[static_cast<std::size_t>(end)]);
}

std::optional<FirstEnd> firstEndNamed(const QString& name) {
    return named<FirstEnd>(name, kFirstEndNames);
}

QString freeEndName(FreeEnd end) {
    return QLatin1String(kFreeEndNames[static_cast<std::size_t>(end)]);
}

std::optional<FreeEnd> freeEndNamed(const QString& name) {
    return named<FreeEnd>(name, kFreeEndNames);
}

}  // namespace velarion
