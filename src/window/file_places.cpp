#include "file_places.h"

#include "output/run_log.h"
#include "results/excel_export.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace velarion::window {

namespace {

bool sameFolder(const QString& a, const QString& b) {
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

bool isWritableFolder(const QString& path) {
    const QFileInfo folder(path);
    return folder.isDir() && folder.isWritable();
}

// Why the working folder does not take an installed program's files; empty
// when it does.
QString refusalOfWorkingFolder(const QString& programDirectory) {
    const QString working = QDir::currentPath();
    if (QDir(working).isRoot()) {
        return QStringLiteral("is the root folder");
    }
    if (sameFolder(working, programDirectory)) {
        return QStringLiteral("is the program's own folder");
    }
    if (!isWritableFolder(working)) {
        return QStringLiteral("cannot be written");
    }
    return QString();
}

// The user's documents folder, made when it is missing; the home folder
// when it cannot be.
QString documentsFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QDir().mkpath(documents)) {
        return documents;
    }
    return QDir::homePath();
}

FilePlaces inFolder(const QString& folder) {
    const QDir dir(folder);
    return {dir.absoluteFilePath(QString::fromLatin1(RunLog::kFileName)),
            dir.absoluteFilePath(QString::fromLatin1(kExcelFileName)), QString()};
}

FilePlaces installedPlaces(const QString& programDirectory) {
    const QString refusal = refusalOfWorkingFolder(programDirectory);
    if (refusal.isEmpty()) {
        FilePlaces places = inFolder(QDir::currentPath());
        places.excelDetail = QStringLiteral("It is %1, in the working folder.")
                                 .arg(QDir::toNativeSeparators(places.excelPath));
        return places;
    }
    FilePlaces places = inFolder(documentsFolder());
    places.excelDetail =
        QStringLiteral("It is %1, in your documents folder: the working folder %2 %3.")
            .arg(QDir::toNativeSeparators(places.excelPath),
                 QDir::toNativeSeparators(QDir::currentPath()), refusal);
    return places;
}

}  // namespace

FilePlaces filePlaces(const QString& programDirectory, const QString& buildDirectory) {
    const QString build =
        buildDirectory.isEmpty() ? QStringLiteral(VELARION_BUILD_PROGRAM_DIR) : buildDirectory;
    if (!sameFolder(programDirectory, build)) {
        return installedPlaces(programDirectory);
    }
    // The build tree: LogFile.txt as designed, named relative to the working
    // folder; LogFile.xls beside the program while it can be written there.
    FilePlaces places =
        isWritableFolder(programDirectory)
            ? FilePlaces{QString(),
                         QDir(programDirectory).filePath(QString::fromLatin1(kExcelFileName)),
                         QString()}
            : installedPlaces(programDirectory);
    places.logPath = QString::fromLatin1(RunLog::kFileName);
    return places;
}

}  // namespace velarion::window
