#include "library_versions.h"

#include <gsf/gsf-utils.h>

namespace velarion {

QString velarionVersion() {
    return QStringLiteral(VELARION_VERSION);
}

QString gsfVersion() {
    return QStringLiteral("%1.%2.%3")
        .arg(libgsf_major_version)
        .arg(libgsf_minor_version)
        .arg(libgsf_micro_version);
}

}  // namespace velarion
