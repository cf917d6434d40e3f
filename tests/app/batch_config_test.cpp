#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QByteArray kPointDefaults =
    "30\r\n9999\r\n1000\r\n50\r\n5.5\r\n2\r\n0.02\r\n0.000001\r\n4\r\n0\r\n30\r\n";

class BatchConfigTest : public ::testing::Test {
  protected:
    int run(const QStringList& args) {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(VELARION_BATCH_PATH), QStringList{"--locale", "en_US"} + args);
        EXPECT_TRUE(process.waitForFinished(60000));
        out = QString::fromLocal8Bit(process.readAllStandardOutput());
        err = QString::fromLocal8Bit(process.readAllStandardError());
        return process.exitCode();
    }
    void write(const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray read(const QString& name) const {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    bool ran() const { return QFile::exists(dir.filePath("LogFile.txt")); }

    QTemporaryDir dir;
    QString out;
    QString err;
};

TEST_F(BatchConfigTest, SaveConfigWritesTheBoxesAndDoesNotRun) {
    EXPECT_EQ(run({"--save-config", "plain.cnf"}), 0) << err.toStdString();
    EXPECT_EQ(read("plain.cnf"), kPointDefaults);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_FALSE(ran());
}

TEST_F(BatchConfigTest, ConfigIsLoadedFirstAndBoxesOverrideIt) {
    write("base.cnf", QByteArray("7\n8\n9\n10\n11\n12\n13\n14\n15\n16\n17\nignored\n"));
    EXPECT_EQ(run({"--box", "TP=2", "--config", "base.cnf", "--save-config", "sweep 2.cnf"}), 0)
        << err.toStdString();
    EXPECT_EQ(read("sweep 2.cnf"),
              "7\r\n8\r\n9\r\n10\r\n11\r\n12\r\n13\r\n14\r\n15\r\n2\r\n17\r\n");
}

TEST_F(BatchConfigTest, ALoadedConfigDrivesTheRun) {
    write("p1.cnf", QByteArray(kPointDefaults).replace("\r\n0\r\n30", "\r\n1\r\n20"));
    EXPECT_EQ(run({"--config", "p1.cnf", "--box", "CLogFile=0"}), 0) << err.toStdString();
    EXPECT_TRUE(out.startsWith("TA = 0.0003\nTF = 3.1416\n")) << out.toStdString();
    EXPECT_NE(out.indexOf("TJ = 20\n"), -1) << out.toStdString();
}

TEST_F(BatchConfigTest, AConfigThatCannotBeLoadedStopsBeforeTheRun) {
    write("short.cnf", "30\r\n9999\r\n");
    for (const char* name : {"short.cnf", "missing.cnf"}) {
        EXPECT_EQ(run({"--config", name, "--save-config", "out.cnf"}), 66) << name;
        EXPECT_NE(err.indexOf(QStringLiteral("\"%1\" could not be loaded").arg(name)), -1)
            << err.toStdString();
        EXPECT_TRUE(out.isEmpty());
        EXPECT_FALSE(QFile::exists(dir.filePath("out.cnf")));
        EXPECT_FALSE(ran());
    }
    EXPECT_NE(err.indexOf("No such file"), -1) << err.toStdString();
}

TEST_F(BatchConfigTest, ASaveThatFailsIsReported) {
    EXPECT_EQ(run({"--save-config", "no/such/dir/x.cnf"}), 73);
    EXPECT_NE(err.indexOf("\"no/such/dir/x.cnf\" could not be saved"), -1) << err.toStdString();
    EXPECT_EQ(run({"--box", QString::fromUtf8("TRho=1\xE2\x82\xAC"), "--save-config", "e.cnf"}),
              73);
    EXPECT_NE(err.indexOf("The box TRho"), -1) << err.toStdString();
    for (const char* blank : {"", " \t "}) {
        EXPECT_EQ(run({"--save-config", blank}), 73) << '"' << blank << '"';
        EXPECT_NE(err.indexOf("blank"), -1) << err.toStdString();
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(BatchConfigTest, HelpDocumentsTheConfigOptions) {
    EXPECT_EQ(run({"--help"}), 0);
    for (const char* word : {"--config", "--save-config", "without running", "66", "73"}) {
        EXPECT_NE(out.indexOf(word), -1) << word;
    }
}

}  // namespace
