#include "app/batch_host.h"
#include "engine/run_control.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>

#include <csignal>

#include <sys/types.h>

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

class BatchTest : public ::testing::Test {
  protected:
    Result run(const QStringList& args, const QString& stdoutFile = QString()) {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        if (!stdoutFile.isEmpty()) {
            process.setStandardOutputFile(stdoutFile);
        }
        process.start(QStringLiteral(VELARION_BATCH_PATH), args);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }
    QString logPath() const { return dir.filePath("LogFile.txt"); }

    // A Girotondo run of half a second or more per snapshot, so that its first pump
    // point (the tenth snapshot) is seconds away; returns at its first record.
    void startSlowGirotondo(QProcess& process, const QString& snapshots) {
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(VELARION_BATCH_PATH),
                      {"--locale", "en_US", "--run", "girotondo", "--box", "TV0=0", "--box",
                       "TN=10000", "--box", "TINDICE_MATRICE2=29999", "--box",
                       "TINDICE_MATRICE1=" + snapshots, "--box", "Tnitertemp=" + snapshots});
        ASSERT_TRUE(process.waitForStarted());
        const QDeadlineTimer deadline(60000);
        while (QFileInfo(logPath()).size() == 0) {
            ASSERT_FALSE(deadline.hasExpired());
            QThread::msleep(10);
        }
    }
    // Sends Ctrl-C and waits until the process says it has taken it; what
    // it wrote to stderr so far stays in `err`.
    void interrupt(QProcess& process) {
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        process.setReadChannel(QProcess::StandardError);
        while (!err.contains("Ctrl-C again")) {
            ASSERT_TRUE(process.waitForReadyRead(10000)) << err.toStdString();
            err += process.readAllStandardError();
        }
    }

    QTemporaryDir dir;
    QByteArray err;
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
                                    QStringList{"--locale", "xx_notalocale"}, QStringList{"stray"},
                                    QStringList{"--run", "triple"}}) {
        const Result r = run(args);
        EXPECT_EQ(r.exitCode, 64) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
        EXPECT_FALSE(QFile::exists(logPath()));
    }
}

TEST_F(BatchTest, GirotondoRunsHeadless) {
    const Result r = run({"--locale", "it_IT", "--run", "girotondo"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(
        r.out.contains("Ttot = 0,00012\nTB = 2500000,0000\nTL0 = 0,0002\nTJ = 30\nTK = 3\n"))
        << r.out.toStdString();
    QFile log(logPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray bytes = log.readAll();
    EXPECT_EQ(bytes.count("\r\n"), 60);
    EXPECT_TRUE(bytes.startsWith("1) -6,05")) << bytes.left(40).toStdString();

    const Result failed =
        run({"--locale", "it_IT", "--run", "girotondo", "--box", "Tnitertemp=31"});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_TRUE(failed.err.contains("Error: Error\nSnapshot 31 does not fit"))
        << failed.err.toStdString();
}

TEST_F(BatchTest, ASecondCtrlCEndsTheRunAtOnceLeavingWholeRecords) {
    QProcess process;
    ASSERT_NO_FATAL_FAILURE(startSlowGirotondo(process, "30"));
    ASSERT_NO_FATAL_FAILURE(interrupt(process));
    EXPECT_EQ(process.state(), QProcess::Running);  // the first waits for a pump point
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 130);
    QFile log(logPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString records = QString::fromLatin1(log.readAll());
    EXPECT_TRUE(QRegularExpression(R"(\A(\d+\) \S+ \t\S+\r\n\r\n)+\z)").match(records).hasMatch())
        << records.toStdString();
}

TEST_F(BatchTest, ARunThatEndsAfterACtrlCIsNotReportedAsCompleted) {
    QProcess process;
    ASSERT_NO_FATAL_FAILURE(startSlowGirotondo(process, "2"));  // ends before any pump point
    ASSERT_NO_FATAL_FAILURE(interrupt(process));
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 1);
    err += process.readAllStandardError();
    EXPECT_TRUE(err.contains("interrupted, but the run came to its end")) << err.toStdString();
}

TEST_F(BatchTest, AFailedWriteToStdoutIsAFailure) {
    for (const QStringList& args : {QStringList{"--box", "CLogFile=0"}, QStringList{"--help"}}) {
        const Result r = run(args, "/dev/full");
        EXPECT_EQ(r.exitCode, 74) << args.join(' ').toStdString();
        EXPECT_NE(r.err.indexOf("stdout"), -1) << r.err.toStdString();
    }
}

TEST_F(BatchTest, PrecisionRunPrintsTheLogLinesThenTheBoxes) {
    const Result r =
        run({"--locale", "it_IT", "--run", "precision", "--box", "TINDICE_MATRICE2=50"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 35) << r.out.toStdString();
    EXPECT_EQ(lines[0], "2) -0,000011");
    EXPECT_EQ(lines[28], "30) -0,000165");
    EXPECT_EQ(
        lines[29],
        "TA = 0,0003141592653589793238462643383279502884197169399375105820974944592307816406");
    EXPECT_EQ(lines.mid(30),
              (QStringList{"TF = 0", "Ttot = 3E-05", "TB = 2500000", "TL0 = 0,0002", "TJ = 30"}));
    QFile log(logPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count("\r\n"), 58);

    const Result failed = run({"--locale", "it_IT", "--run", "precision", "--box", "Tltot=0"});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_TRUE(failed.err.contains("Divide: division by zero at level 2, segment 0"))
        << failed.err.toStdString();
}

// The comparison runs the double model without a log, so LogFile.txt keeps
// the decimal records.
TEST_F(BatchTest, CompareDoublePrintsAFiniteWorstDifference) {
    const Result r = run({"--locale", "it_IT", "--run", "precision", "--compare-double"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QRegularExpression worst(
        QStringLiteral(R"(worst absolute difference (\S+) at level (\d+); worst relative )"
                       R"(difference (\S+) at level \d+\n\z)"));
    const auto match = worst.match(r.out);
    ASSERT_TRUE(match.hasMatch()) << r.out.right(300).toStdString();
    const double absolute = QLocale(QLocale::Italian).toDouble(match.captured(1));
    EXPECT_TRUE(std::isfinite(absolute) && absolute > 0 && absolute < 1e-9) << absolute;
    EXPECT_EQ(r.out.count(QRegularExpression(QStringLiteral("(?m)^\\d+\t"))),
              31);  // levels 0 to 30
    QFile log(logPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().startsWith("2) -0,000011\r\n\r\n"));
    EXPECT_EQ(run({"--compare-double"}).exitCode, 64);
}

// The precision run cannot be stopped, so Ctrl-C ends the program at once;
// each record is written whole, so the log ends on a record's end.
TEST_F(BatchTest, InterruptEndsThePrecisionRunAtOnceWithWholeRecords) {
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(
        QStringLiteral(VELARION_BATCH_PATH),
        {"--locale", "it_IT", "--run", "precision", "--box", "TP=1", "--box",
         "TINDICE_MATRICE1=3000", "--box", "Tnitertemp=3000", "--box", "TINDICE_MATRICE2=1000"});
    // Level 3 on stdout: the record of level 2 is in the file.
    QByteArray out;
    while (out.count('\n') < 2 && process.waitForReadyRead(30000)) {
        out += process.readAllStandardOutput();
    }
    ASSERT_GE(out.count('\n'), 2);
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
    QFile log(logPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray bytes = log.readAll();
    EXPECT_TRUE(bytes.startsWith("2) -0,00001095\r\n\r\n")) << bytes.left(40).toStdString();
    EXPECT_TRUE(bytes.endsWith("\r\n\r\n"));
    EXPECT_LT(bytes.count("\r\n\r\n"), 2999);
}

// The export answers its question itself; a failed export fails the
// program even though the run completed.
TEST_F(BatchTest, ExportsLogFileXlsNextToTheLog) {
    const QStringList args{"--locale", "it_IT", "--box", "CLogFileExc=1"};
    ASSERT_TRUE(QDir(dir.path()).mkdir("LogFile.xls"));
    const Result blocked = run(args);
    EXPECT_EQ(blocked.exitCode, 74);
    EXPECT_TRUE(blocked.err.contains("ERROR: File LogFile.xls not saved!!!\nLogFile.xls: "))
        << blocked.err.toStdString();

    ASSERT_TRUE(QDir(dir.path()).rmdir("LogFile.xls"));
    const Result saved = run(args);
    EXPECT_EQ(saved.exitCode, 0) << saved.err.toStdString();
    EXPECT_GT(QFile(dir.filePath("LogFile.xls")).size(), 0);
    EXPECT_TRUE(QFile::exists(logPath()));
}

TEST_F(BatchTest, HelpDocumentsTheOptionsAndRunsNothing) {
    for (const char* help : {"--help", "--help-all"}) {
        const Result r = run({help});
        EXPECT_EQ(r.exitCode, 0) << help;
        for (const char* word : {"--box", "--locale", "--run", "girotondo", "Ctrl-C again", "130",
                                 "Exit status", "74", "LogFile.txt", "LogFile.xls", "precision"}) {
            EXPECT_NE(r.out.indexOf(word), -1) << help << ' ' << word;
        }
    }
    EXPECT_FALSE(QFile::exists(logPath()));
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
