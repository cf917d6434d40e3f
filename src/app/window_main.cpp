// velarion: the simulator's window.
#include "window/app_icon.h"
#include "window/form1.h"

#include <QApplication>
#include <QScreen>

#include <cstdio>
#include <cstdlib>

namespace {

// True when Qt has somewhere to show a window: an X or Wayland display, or
// a platform chosen explicitly (offscreen, for instance).
bool displayAvailable() {
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

void centreOnScreen(QWidget& window) {
    if (const QScreen* screen = window.screen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!displayAvailable()) {
        std::fprintf(stderr,
                     "velarion: no display to open the window on; "
                     "velarion-batch runs the simulation without one.\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velarion"));
    QApplication::setWindowIcon(velarion::window::appIcon());
    velarion::window::Form1 form;
    form.show();
    centreOnScreen(form);
    return QApplication::exec();
}
