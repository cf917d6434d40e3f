// velarion: the simulator's window.
#include "output/library_versions.h"
#include "output/whole_file.h"
#include "window/app_icon.h"
#include "window/form1.h"
#include "window/guide_window.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QScreen>

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

// The exit status when there is no display to open the window on.
constexpr int kExitNoDisplay = 1;

// True when Qt has somewhere to show a window: an X or Wayland display, or
// a platform chosen explicitly (offscreen, for instance).
bool displayAvailable() {
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

// The folder of the running program, known before any QApplication exists.
QString programDirectory(const char* argv0) {
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    const QString path = self.exists() ? self.canonicalFilePath() : QString::fromLocal8Bit(argv0);
    return QFileInfo(path).absolutePath();
}

// velarion-batch lies beside the window's program, installed or built.
QString batchProgram(const QString& directory) {
    const QString path = QDir(directory).filePath(QStringLiteral("velarion-batch"));
    if (QFileInfo(path).isExecutable()) {
        return QDir::toNativeSeparators(path);
    }
    return QStringLiteral("%1 (not built yet: make batch)").arg(QDir::toNativeSeparators(path));
}

QString usage(const QString& directory) {
    const QString guide = velarion::window::guidePath(directory);
    return QStringLiteral(
               "Usage: velarion [Qt options]\n"
               "Opens the window of Velarion %1, which simulates a column of fluid in a pipe.\n"
               "\n"
               "Options:\n"
               "  -h, --help     Displays this help.\n"
               "  -v, --version  Displays the version.\n"
               "Qt's own options (-platform, -style, -geometry ...) go to Qt.\n"
               "\n"
               "The user's guide: %2\n"
               "Runs without a window: %3 (see velarion-batch --help)\n")
        .arg(velarion::velarionVersion(),
             guide.isEmpty() ? QStringLiteral("not installed") : QDir::toNativeSeparators(guide),
             batchProgram(directory));
}

// --help and --version answer at once, with or without a display; every
// other argument is Qt's.
int answerQuestion(int argc, char** argv, const QString& directory) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(qPrintable(usage(directory)), stdout);
            return 0;
        }
        if (arg == "-v" || arg == "--version") {
            std::printf("velarion %s\n", qPrintable(velarion::velarionVersion()));
            return 0;
        }
    }
    return -1;
}

void centreOnScreen(QWidget& window) {
    if (const QScreen* screen = window.screen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
}

// The no-display message, for the check before Qt starts and for a display
// that Qt cannot open.
QString& noDisplayMessage() {
    static QString message;
    return message;
}

[[noreturn]] void sayNoDisplay() {
    std::fputs(qPrintable(noDisplayMessage()), stderr);
    std::fflush(stderr);
    std::_Exit(kExitNoDisplay);
}

// Qt's messages while it opens the display: held back, and printed as Qt
// would once the display is open. A display that is named but cannot be
// opened (a stale DISPLAY) makes Qt give up with a fatal message: the
// program then says what it says without a display, instead of aborting.
std::vector<QString>& heldMessages() {
    static std::vector<QString> held;
    return held;
}

void holdStartupMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        sayNoDisplay();
    }
    heldMessages().push_back(qFormatLogMessage(type, context, text));
}

void printHeldMessages() {
    for (const QString& message : heldMessages()) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
    }
    heldMessages().clear();
}

}  // namespace

int main(int argc, char** argv) {
    velarion::guardTemporaryFiles();
    const QString directory = programDirectory(argv[0]);
    if (const int answered = answerQuestion(argc, argv, directory); answered >= 0) {
        return std::fflush(stdout) == 0 ? answered : 74;
    }
    noDisplayMessage() = QStringLiteral(
                             "velarion: no display to open the window on; velarion-batch runs "
                             "the simulation without one: %1\n")
                             .arg(batchProgram(directory));
    if (!displayAvailable()) {
        sayNoDisplay();
    }
    const QtMessageHandler qtHandler = qInstallMessageHandler(holdStartupMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtHandler);
    printHeldMessages();
    QApplication::setApplicationName(QStringLiteral("Velarion"));
    QApplication::setApplicationVersion(velarion::velarionVersion());
    QGuiApplication::setDesktopFileName(QStringLiteral("velarion"));
    QApplication::setWindowIcon(velarion::window::appIcon());
    velarion::window::Form1 form;
    form.show();
    centreOnScreen(form);
    return QApplication::exec();
}
