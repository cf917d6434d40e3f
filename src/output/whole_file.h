#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

namespace velarion {

// Replaces the file behind `file` with what was written to it, only when
// every byte reached the disk. The explicit flush matters: commit() alone
// takes a failed final write (a full disk) for success and would put a part
// of the file in place of the old one. On failure the old file stays and
// `reason` holds the system's reason.
bool commitWhole(QSaveFile& file, QString& reason);

// Writes `bytes` to a new file that replaces the one at `path` only when
// complete. False with the system's reason otherwise.
bool replaceWholeFile(const QString& path, const QByteArray& bytes, QString& reason);

}  // namespace velarion
