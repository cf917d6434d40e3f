// velarion-icon-files DIR: writes the icon the window draws as the files of
// the desktop's hicolor theme, DIR/hicolor/NxN/apps/velarion.png for each
// size the window carries and DIR/hicolor/scalable/apps/velarion.svg, so the
// installed icons are the window's own. The build runs it.
#include "window/app_icon.h"

#include <QDir>
#include <QFont>
#include <QPainter>
#include <QSvgGenerator>

#include <cstdio>

using namespace velarion::window;

namespace {

bool writePng(const QDir& root, int size) {
    const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
    const QString path = root.filePath(folder + QStringLiteral("/velarion.png"));
    return root.mkpath(folder) && appIconImage(size).save(path, "PNG");
}

bool writeSvg(const QDir& root) {
    const QString folder = QStringLiteral("hicolor/scalable/apps");
    if (!root.mkpath(folder)) {
        return false;
    }
    constexpr int kSize = 256;
    QSvgGenerator svg;
    svg.setFileName(root.filePath(folder + QStringLiteral("/velarion.svg")));
    svg.setSize(QSize(kSize, kSize));
    svg.setViewBox(QRect(0, 0, kSize, kSize));
    svg.setTitle(QStringLiteral("Velarion"));
    QPainter painter;
    if (!painter.begin(&svg)) {
        return false;
    }
    // The icon has no text, but the SVG states the painter's font; without
    // an application object it would have no size.
    QFont font;
    font.setPixelSize(12);
    painter.setFont(font);
    paintAppIcon(painter, kSize);
    return painter.end();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velarion-icon-files DIR\n");
        return 64;
    }
    // Shapes drawn into an image or an SVG need no application object and
    // no screen.
    const QDir root(QString::fromLocal8Bit(argv[1]));
    bool written = writeSvg(root);
    for (int size : kAppIconSizes) {
        written = writePng(root, size) && written;
    }
    if (!written) {
        std::fprintf(stderr, "velarion-icon-files: the icons could not be written in %s\n",
                     argv[1]);
        return 73;
    }
    return 0;
}
