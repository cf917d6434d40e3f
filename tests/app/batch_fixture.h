#pragma once

// velarion-batch run as a process in a directory of its own.

#include "support/files.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include <sys/types.h>

namespace velarion::testing {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

class BatchTest : public ::testing::Test {
  protected:
    Result runProgram(const QString& program, const QStringList& args,
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                      const QString& stdoutFile = QString()) {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.setProcessEnvironment(env);
        if (!stdoutFile.isEmpty()) {
            process.setStandardOutputFile(stdoutFile);
        }
        if (childSetup) {
            process.setChildProcessModifier(childSetup);
        }
        process.start(program, args);
        EXPECT_TRUE(process.waitForFinished(120000));
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }
    Result run(const QStringList& args, const QString& stdoutFile = QString()) {
        return runProgram(QStringLiteral(VELARION_BATCH_PATH), args,
                          QProcessEnvironment::systemEnvironment(), stdoutFile);
    }
    QString logPath() const { return dir.filePath("LogFile.txt"); }
    bool ran() const { return QFile::exists(logPath()); }
    void write(const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray read(const QString& name) const {
        return velarion::testing::contentsOf(dir.filePath(name));
    }

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
    std::function<void()> childSetup;  // run in each child before it starts
};

}  // namespace velarion::testing
