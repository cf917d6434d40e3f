// The user's guide: where it lies and the window that shows it.
#include "guide_window.h"

#include "placement.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace velarion::window {

QStringList guideCandidates(const QString& programDirectory) {
    return {
        QDir::cleanPath(QDir(programDirectory).filePath(QStringLiteral(VELARION_GUIDE_FROM_BIN))),
        QStringLiteral(VELARION_SOURCE_GUIDE)};
}

QString guidePath(const QString& programDirectory) {
    for (const QString& candidate : guideCandidates(programDirectory)) {
        if (QFileInfo(candidate).isFile()) {
            return candidate;
        }
    }
    return {};
}

GuideWindow::GuideWindow(const QString& path, QWidget* parent) : QTextBrowser(parent) {
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Velarion - User's guide"));
    setOpenExternalLinks(true);
    // The pictures are named relative to the guide, which the source's URL
    // resolves.
    setSource(QUrl::fromLocalFile(path), QTextDocument::MarkdownResource);
    // The window's picture, 915 wide, fits; a low screen gets the window whole.
    fitOnScreen(*this, QSize(980, 760));
}

}  // namespace velarion::window
