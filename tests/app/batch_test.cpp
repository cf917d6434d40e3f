#include "app/batch_host.h"
#include "engine/run_control.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

class BatchTest : public ::testing::Test {
protected:
    Result run(const QStringList& args) {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(VELARION_BATCH_PATH), args);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }
    QString logPath() const { return dir.filePath("LogFile.txt"); }

    QTemporaryDir dir;
};

TEST_F(BatchTest, PrintsTheOutputBoxesAndWritesTheLog) {
    const Result r = run({"--locale", "it_IT"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7) << r.out.toStdString();
    EXPECT_EQ(lines.mid(0, 6), (QStringList{"TA = 0,0003", "TF = 0,0000", "Ttot = 3E-05",
                                            "TB = 2500000,0000", "TL0 = 0,0002", "TJ = 30"}));
    EXPECT_TRUE(lines[6].startsWith("Elaboration : 0,")) << lines[6].toStdString();
    QFile log(logPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count("\r\n"), 58);
}

TEST_F(BatchTest, BoxOverridesAndThePointLocale) {
    const Result r = run({"--locale", "en_US", "--box", "TP=1", "--box", "CLogFile=0"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("TA = 0.0003\nTF = 3.1416\n")) << r.out.toStdString();
    EXPECT_FALSE(QFile::exists(logPath()));
}

TEST_F(BatchTest, AFailedRunExitsNonZeroWithTheMessage) {
    const Result r = run({"--locale", "en_US", "--box", "TV0=5,5"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.indexOf("The box TV0 (\"V0 m/s\") holds \"5,5\""), -1) << r.err.toStdString();
    EXPECT_NE(r.out.indexOf("Error!"), -1);
}

TEST_F(BatchTest, BadCommandLinesAreRefused) {
    for (const QStringList& args : {QStringList{"--box", "Nope=1"}, QStringList{"--box", "TP"},
                                    QStringList{"--locale", "xx_notalocale"},
                                    QStringList{"stray"}, QStringList{"--run", "triple"}}) {
        const Result r = run(args);
        EXPECT_EQ(r.exitCode, 64) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
        EXPECT_FALSE(QFile::exists(logPath()));
    }
}

TEST_F(BatchTest, GirotondoRunsHeadless) {
    const Result r = run({"--locale", "it_IT", "--run", "girotondo"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Ttot = 0,00012\nTB = 2500000,0000\nTL0 = 0,0002\nTJ = 30\nTK = 3\n"))
        << r.out.toStdString();
    QFile log(logPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray bytes = log.readAll();
    EXPECT_EQ(bytes.count("\r\n"), 60);
    EXPECT_TRUE(bytes.startsWith("1) -6,05")) << bytes.left(40).toStdString();

    const Result failed =
        run({"--locale", "it_IT", "--run", "girotondo", "--box", "Tnitertemp=31"});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_TRUE(failed.err.contains("Error: Error\nSnapshot 31 does not fit")) << failed.err.toStdString();
}

TEST_F(BatchTest, HelpDocumentsTheOptions) {
    const Result r = run({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* word : {"--box", "--locale", "--run", "girotondo", "Ctrl-C", "Exit status", "LogFile.txt"}) {
        EXPECT_NE(r.out.indexOf(word), -1) << word;
    }
}

// The Girotondo end sequence on the batch host: tone, wait, tone. Silent and
// without waits by default; with tones they take at least their length.
TEST(BatchHostTones, SkippedUnlessAskedForAndTheWaitsWithThem) {
    velarion::BatchHost host(QLocale::c());
    const auto endSequenceMs = [&host] {
        const std::int64_t before = host.tickCountMs();
        host.beep(790, 50);
        velarion::AttendiMs(host, 30);
        host.beep(690, 50);
        return host.tickCountMs() - before;
    };
    EXPECT_LT(endSequenceMs(), 130);
    host.setTones(true);
    EXPECT_GE(endSequenceMs(), 130);
}

}  // namespace
