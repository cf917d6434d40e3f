// velarion-batch at the edges of the system: a file size limit, and the
// signals that end a program while it writes its files.
#include "app/batch_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using velarion::testing::BatchTest;
using velarion::testing::Result;

class BatchLimits : public BatchTest {
  protected:
    // The files the last run left in the directory, hidden ones included.
    QStringList files() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    bool temporaryFileExists() const {
        return !QDir(dir.path())
                    .entryList(QStringList{".*.tmp"}, QDir::Files | QDir::Hidden)
                    .isEmpty();
    }
    // A Girotondo run of 300 000 levels whose --energy file (some 25 MB)
    // takes a while to write; returns once its temporary file is there.
    void startWritingEnergy(QProcess& process) {
        process.setWorkingDirectory(dir.path());
        process.start(
            QStringLiteral(VELARION_BATCH_PATH),
            {"--run", "girotondo", "--free-end", "restoring", "--box", "CLogFile=0", "--box",
             "TN=1000", "--box", "Tnitertemp=100", "--box", "TINDICE_MATRICE1=100", "--box",
             "TINDICE_MATRICE2=10", "--energy", "e.csv"});
        ASSERT_TRUE(process.waitForStarted());
        const QDeadlineTimer deadline(60000);
        while (!temporaryFileExists()) {
            ASSERT_FALSE(deadline.hasExpired()) << files().join(' ').toStdString();
            ASSERT_EQ(process.state(), QProcess::Running) << process.readAllStandardError().data();
            QThread::usleep(200);
        }
    }
};

// A file size limit (ulimit -f) makes a write fail with "File too large":
// SIGXFSZ no longer ends the program, so the old file stays, no temporary
// file is left, and the log ends on a whole record.
TEST_F(BatchLimits, AFileSizeLimitIsAWriteFailureNotASignal) {
    write("c.csv", "OLD\n");
    childSetup = [] {
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{20 * 1024, 20 * 1024};  // ulimit -f 20
        ::setrlimit(RLIMIT_FSIZE, &limit);
    };
    const QStringList longRun{"--free-end", "restoring",      "--box", "TINDICE_MATRICE1=3000",
                              "--box",      "Tnitertemp=3000"};
    const Result csv = run(longRun + QStringList{"--box", "CLogFile=0", "--csv", "c.csv"});
    EXPECT_EQ(csv.exitCode, 74);
    EXPECT_TRUE(csv.err.contains("--csv: The file c.csv could not be written: File too large"))
        << csv.err.toStdString();
    EXPECT_EQ(read("c.csv"), "OLD\n");
    EXPECT_EQ(files(), QStringList{"c.csv"});

    const Result log = run(longRun);
    EXPECT_EQ(log.exitCode, 2);
    EXPECT_TRUE(log.err.contains("LogFile.txt cannot be written: File too large"))
        << log.err.toStdString();
    const QByteArray records = read("LogFile.txt");
    EXPECT_TRUE(
        QRegularExpression(R"(\A(\d+\) \S+\r\n\r\n)+\z)").match(QString(records)).hasMatch())
        << records.right(80).toStdString();
}

// SIGTERM (kill, scancel, a time limit) and SIGHUP (a closed terminal) end
// the program as before, by the signal, and Ctrl-C twice with status 130;
// the temporary file of the output being written goes with it.
TEST_F(BatchLimits, SignalsLeaveNoTemporaryFile) {
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        QProcess process;
        ASSERT_NO_FATAL_FAILURE(startWritingEnergy(process));
        ::kill(static_cast<pid_t>(process.processId()), signal);
        if (signal == SIGINT) {
            ::kill(static_cast<pid_t>(process.processId()), signal);
        }
        ASSERT_TRUE(process.waitForFinished(30000));
        if (signal == SIGINT) {
            EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(process.exitCode(), 130);
        } else {
            EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
            EXPECT_EQ(process.exitCode(), signal);
        }
        EXPECT_EQ(files(), QStringList()) << files().join(' ').toStdString();
    }
}

// Once the run is over there is nothing left to stop: a Ctrl-C while the
// program waits for a reader of its FIFO ends it at once.
TEST_F(BatchLimits, ACtrlCAfterTheRunEndsTheProgram) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo.csv")).constData(), 0666), 0);
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(QStringLiteral(VELARION_BATCH_PATH),
                  {"--box", "CLogFile=0", "--energy", "e.csv", "--envelope", "fifo.csv"});
    ASSERT_TRUE(process.waitForStarted());
    // The energy is written, then the envelope waits for a reader.
    const QDeadlineTimer deadline(60000);
    while (!QFile::exists(dir.filePath("e.csv"))) {
        ASSERT_FALSE(deadline.hasExpired());
        QThread::msleep(10);
    }
    QThread::msleep(100);
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(10000)) << "still waiting for a reader";
    EXPECT_EQ(process.exitCode(), 130);
    EXPECT_EQ(process.readAllStandardError(), "\nvelarion-batch: interrupted\n");
}

}  // namespace
