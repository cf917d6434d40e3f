#include "output/run_log.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace velarion {
namespace {

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(RunLog, RecordsAreFollowedByAnEmptyLineAndAreOnDiskAtOnce) {
    QTemporaryDir dir;
    const QString path = dir.filePath("LogFile.txt");
    RunLog log(path);
    ASSERT_TRUE(log.open());
    ASSERT_TRUE(log.writeRecord(logLine(2, "-1,1E-05")));
    // Unbuffered: a reader sees the record before the log is closed.
    EXPECT_EQ(contentsOf(path), "2) -1,1E-05\r\n\r\n");
    ASSERT_TRUE(log.writeRecord(logLine(12, "-6,05E-05", "1,9997395")));
    ASSERT_TRUE(log.close());
    EXPECT_EQ(contentsOf(path), "2) -1,1E-05\r\n\r\n12) -6,05E-05 \t1,9997395\r\n\r\n");
}

TEST(RunLog, OpeningReplacesTheFileOfTheRunBefore) {
    QTemporaryDir dir;
    const QString path = dir.filePath("LogFile.txt");
    {
        RunLog first(path);
        ASSERT_TRUE(first.open());
        ASSERT_TRUE(first.writeRecord(logLine(2, "1")));
    }
    RunLog second(path);
    ASSERT_TRUE(second.open());
    ASSERT_TRUE(second.close());
    EXPECT_EQ(QFile(path).size(), 0);
}

TEST(RunLog, FailuresAreReportedNotIgnored) {
    QTemporaryDir dir;
    RunLog nowhere(dir.filePath("no/such/dir/LogFile.txt"));
    EXPECT_FALSE(nowhere.open());
    EXPECT_FALSE(nowhere.errorString().isEmpty());
    if (QFile::exists("/dev/full")) {
        RunLog full("/dev/full");
        ASSERT_TRUE(full.open());
        EXPECT_FALSE(full.writeRecord(logLine(2, "1")));
    }
}

}  // namespace
}  // namespace velarion
