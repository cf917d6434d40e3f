// velarion as a process: what it answers without opening a window.
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct Answer {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs velarion with no display at all, as over ssh or in a container, or
// with `display` as DISPLAY.
Answer runWithoutDisplay(const QStringList& args, const QString& display = QString()) {
    auto env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(name);
    }
    if (!display.isEmpty()) {
        env.insert("DISPLAY", display);
    }
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(VELARION_WINDOW_PATH, args);
    EXPECT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "ended by a signal";
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

TEST(WindowProgram, AnswersHelpAndVersionWithoutADisplay) {
    const Answer version = runWithoutDisplay({"--version"});
    EXPECT_EQ(version.exitCode, 0) << version.err.toStdString();
    EXPECT_EQ(version.out, "velarion " VELARION_VERSION "\n");

    const QString batch =
        QDir(QFileInfo(VELARION_WINDOW_PATH).absolutePath()).filePath("velarion-batch");
    const Answer help = runWithoutDisplay({"-h"});
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.startsWith("Usage: velarion")) << help.out.toStdString();
    // From the build tree the guide is the repository's copy.
    EXPECT_TRUE(help.out.contains(QDir::cleanPath(VELARION_SOURCE_DIR "/docs/guide.md")))
        << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(batch)) << help.out.toStdString();
}

TEST(WindowProgram, WithoutADisplaySaysSoAndWhereVelarionBatchIs) {
    const Answer none = runWithoutDisplay({});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_TRUE(none.err.startsWith("velarion: no display")) << none.err.toStdString();
    EXPECT_TRUE(none.err.contains(
        QDir(QFileInfo(VELARION_WINDOW_PATH).absolutePath()).filePath("velarion-batch")))
        << none.err.toStdString();
}

// A DISPLAY left from a session that has ended names a display nobody
// serves: the same answer as no display at all, not an abort.
TEST(WindowProgram, AStaleDisplayGetsTheAnswerOfNoDisplay) {
    const QString stale = ":9765";
    ASSERT_FALSE(QFileInfo::exists("/tmp/.X11-unix/X9765")) << "display :9765 is served";
    const Answer answer = runWithoutDisplay({}, stale);
    EXPECT_EQ(answer.exitCode, 1);
    EXPECT_EQ(answer.out, "");
    EXPECT_EQ(answer.err, runWithoutDisplay({}).err);
}

}  // namespace
