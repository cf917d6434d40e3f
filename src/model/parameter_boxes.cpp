#include "parameter_boxes.h"

#include "controls.h"
#include "number_text.h"

#include <array>

namespace velarion {

namespace {

constexpr std::array<ParameterBox, 11> kBoxes{{
    {"TINDICE_MATRICE1", "psi( first index", "30"},
    {"TINDICE_MATRICE2", "psi( second index", "9999"},
    {"TRho", "Rho  (kg/m3)", "1000"},
    {"TVFase", "VFase m/s", "50"},
    {"TV0", "V0 m/s", "5,5"},
    {"Tltot", "ltot (m)", "2"},
    {"TD", "D Diametro Ariete", "0,02"},
    {"TDeltaT", "deltat  Inter.", "0,000001"},
    {"TN", "N Iterazioni...", "4"},
    {"TP", "P=Pressione...", "0"},
    {"Tnitertemp", "nitertemp", "30"},
}};

}  // namespace

std::span<const ParameterBox> parameterBoxes() {
    return kBoxes;
}

QString captionOf(std::string_view box) {
    for (const auto& entry : kBoxes) {
        if (entry.name == box) {
            return QString::fromUtf8(entry.caption);
        }
    }
    return controlName(box);
}

QString describeBox(std::string_view box) {
    const QString name = controlName(box);
    const QString caption = captionOf(box);
    return caption == name ? name : QStringLiteral("%1 (\"%2\")").arg(name, caption);
}

QString initialTextOf(const ParameterBox& box, const QLocale& locale) {
    return withLocaleDecimal(QString::fromUtf8(box.initialText), locale);
}

}  // namespace velarion
