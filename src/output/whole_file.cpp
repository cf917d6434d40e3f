#include "whole_file.h"

namespace velarion {

bool commitWhole(QSaveFile& file, QString& reason) {
    if (file.error() == QFileDevice::NoError && file.flush() && file.commit()) {
        return true;
    }
    reason = file.errorString();
    if (file.isOpen()) {
        file.cancelWriting();
        file.commit();  // only discards the temporary file
    }
    return false;
}

bool replaceWholeFile(const QString& path, const QByteArray& bytes, QString& reason) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        reason = file.errorString();
        return false;
    }
    file.write(bytes);
    return commitWhole(file, reason);
}

}  // namespace velarion
