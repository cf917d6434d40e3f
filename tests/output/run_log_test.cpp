#include "output/run_log.h"
#include "support/files.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace velarion {
namespace {

using testing::contentsOf;

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

// A file size limit makes the system take only part of a record, as a full
// disk does, and then refuse the rest with its own reason.
TEST(RunLog, AFullDiskLeavesTheLastWholeRecordAndItsReason) {
    QTemporaryDir dir;
    RunLog log(dir.filePath("LogFile.txt"));
    ASSERT_TRUE(log.open());
    const QString line = logLine(2262, "3,17520000000001");
    const qint64 recordSize = line.size() + 2;
    int written = 0;
    QString reason;
    {
        const testing::FileSizeLimit full(static_cast<rlim_t>(3 * recordSize + 7));
        while (written < 10 && log.writeRecord(line)) {
            ++written;
        }
        reason = log.errorString();
    }
    log.close();
    EXPECT_EQ(written, 3);
    EXPECT_EQ(QFile(dir.filePath("LogFile.txt")).size(), 3 * recordSize);
    EXPECT_EQ(reason, QString::fromLocal8Bit(std::strerror(EFBIG)));
}

}  // namespace
}  // namespace velarion
