// The sweep script as a user runs it: its folders and summary, its check
// boxes and locale, and every refusal with its exit status.
#include "support/files.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr const char* kSummaryHeader =
    "value,exit status,\"psi(J, 0)\",\"psi(J, M)\",max |stress|,max |displacement|,"
    "unstable from level\r\n";

struct Result {
    int exitCode = -1;
    QString err;
};

class SweepTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.remove("LC_ALL");
        env.remove("LC_NUMERIC");
        env.insert("LANG", "C");
        env.insert("VELARION_BATCH", VELARION_BATCH_PATH);
        ASSERT_EQ(batch({"--locale", "C", "--save-config", "base.cnf"}), 0);
    }

    Result sweep(const QStringList& args) {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.setProcessEnvironment(env);
        process.start(VELARION_SWEEP_PATH, args);
        EXPECT_TRUE(process.waitForFinished(120000));
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
    }
    int batch(const QStringList& args) {
        return QProcess::execute(VELARION_BATCH_PATH, QStringList{"-C", dir.path()} + args);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray read(const QString& name) const { return velarion::testing::contentsOf(path(name)); }
    void write(const QString& name, const QByteArray& bytes, bool executable = false) {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        if (executable) {
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        }
    }
    QStringList entries(const QString& folder) const {
        return QDir(path(folder))
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }
    // The summary's rows after its header, each split at its commas.
    std::vector<QList<QByteArray>> summaryRows(const QString& out) const {
        std::vector<QList<QByteArray>> rows;
        const QList<QByteArray> lines = read(out + "/summary.csv").split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            if (!lines[i].isEmpty()) {
                rows.push_back(lines[i].chopped(1).split(','));
            }
        }
        return rows;
    }

    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
};

// Nine counter pressures and one so large that the run fails (P x 10000
// overflows): the first segment feels the pressures, the last one is too
// far away within 30 levels to notice, the last run fails; ten values make
// two-digit folders.
TEST_F(SweepTest, SweepsATextBoxIntoFoldersThatSortAndSummarises) {
    const Result r = sweep({"-o", "out", "-j", "2", "base.cnf", "TP", "0", "1", "2", "3", "4", "5",
                            "6", "7", "8", "1e305"});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    QStringList folders = entries("out");
    EXPECT_EQ(folders.takeFirst(), ".velarion-sweep");
    EXPECT_EQ(folders.takeLast(), "summary.csv");
    ASSERT_EQ(folders.size(), 10);
    EXPECT_EQ(folders.takeLast(), "10-TP=1e305");
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(folders[i], QString("0%1-TP=%2").arg(i + 1).arg(i));
    }
    EXPECT_TRUE(read("out/summary.csv").startsWith(kSummaryHeader));
    const auto rows = summaryRows("out");
    ASSERT_EQ(rows.size(), 10u);
    for (int i = 0; i < 9; ++i) {
        ASSERT_EQ(rows[i].size(), 7) << rows[i].join(',').toStdString();
        EXPECT_EQ(rows[i][0].toInt(), i);
        EXPECT_EQ(rows[i][1], "0");
        EXPECT_EQ(rows[i][3], rows[0][3]);
        if (i > 0) {
            EXPECT_GT(rows[i][2].toDouble(), rows[i - 1][2].toDouble());
        }
    }
    EXPECT_NEAR(rows[0][2].toDouble(), -1.65e-4, 1e-12);
    EXPECT_NEAR(rows[1][2].toDouble(), -1.59505e-4, 1e-9);
    EXPECT_EQ(rows[9], QList<QByteArray>({"1e305", "2", "", "", "", "", ""}));
}

// run.cnf carries only the text boxes, so a check box must reach each run
// on its command line.
TEST_F(SweepTest, SweepsACheckBox) {
    const Result r = sweep({"-o", "out", "base.cnf", "CLogFileExc", "1", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(path("out/1-CLogFileExc=1/LogFile.xls")));
    EXPECT_TRUE(QFile::exists(path("out/2-CLogFileExc=0/LogFile.txt")));
    EXPECT_FALSE(QFile::exists(path("out/2-CLogFileExc=0/LogFile.xls")));
}

// A base file saved under Italian ("5,5") and runs started under the C
// locale, as on a cluster node: each run is told the sweep's locale.
TEST_F(SweepTest, RunsReadTheBaseFileUnderTheSweepsLocale) {
    ASSERT_EQ(batch({"--locale", "it_IT", "--save-config", "italian.cnf"}), 0);
    ASSERT_TRUE(read("italian.cnf").contains("5,5\r\n"));
    write("c-node", "#!/bin/sh\nLC_ALL=C LANG=C exec '" VELARION_BATCH_PATH "' \"$@\"\n", true);
    env.insert("VELARION_BATCH", path("c-node"));
    env.insert("LANG", "it_IT.UTF-8");
    const Result r = sweep({"-o", "out", "italian.cnf", "TP", "0", "1,5"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString() << read("out/1-TP=0/stderr.txt").data();
    const QByteArray summary = read("out/summary.csv");
    EXPECT_TRUE(summary.contains("\r\n0,0,")) << summary.data();
    EXPECT_TRUE(summary.contains("\r\n\"1,5\",0,")) << summary.data();
}

TEST_F(SweepTest, AnExistingFolderIsReplacedOnlyWhenASweepWroteIt) {
    ASSERT_EQ(sweep({"-o", "out", "base.cnf", "TP", "0", "1", "2"}).exitCode, 0);
    const QStringList first = entries("out");
    const QByteArray firstSummary = read("out/summary.csv");

    Result r = sweep({"-o", "out", "base.cnf", "TP", "5"});
    EXPECT_EQ(r.exitCode, 73);
    EXPECT_TRUE(r.err.contains("--force")) << r.err.toStdString();
    EXPECT_EQ(entries("out"), first);
    EXPECT_EQ(read("out/summary.csv"), firstSummary);

    r = sweep({"--force", "-o", "out", "base.cnf", "TP", "5", "6"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(entries("out"), QStringList({".velarion-sweep", "1-TP=5", "2-TP=6", "summary.csv"}));
    EXPECT_EQ(summaryRows("out").size(), 2u);

    // A file of the user's beside the runs: --force leaves everything.
    write("out/notes.txt", "mine");
    r = sweep({"--force", "-o", "out", "base.cnf", "TP", "7"});
    EXPECT_EQ(r.exitCode, 73);
    EXPECT_TRUE(r.err.contains("notes.txt")) << r.err.toStdString();
    EXPECT_EQ(entries("out"),
              QStringList({".velarion-sweep", "1-TP=5", "2-TP=6", "notes.txt", "summary.csv"}));

    // A folder no sweep wrote, and a file where the folder should be.
    ASSERT_TRUE(QDir(dir.path()).mkpath("mine"));
    write("mine/data.csv", "1,2\n");
    EXPECT_EQ(sweep({"--force", "-o", "mine", "base.cnf", "TP", "7"}).exitCode, 73);
    EXPECT_EQ(read("mine/data.csv"), "1,2\n");
    write("afile", "keep");
    EXPECT_EQ(sweep({"--force", "-o", "afile", "base.cnf", "TP", "7"}).exitCode, 73);
    EXPECT_EQ(read("afile"), "keep");
}

// A folder with every program of /usr/bin but the named ones, as PATH.
QString pathWithout(const QString& folder, const QStringList& missing) {
    QDir().mkpath(folder);
    QDirIterator programs("/usr/bin", QDir::Files | QDir::System);
    while (programs.hasNext()) {
        const QFileInfo program(programs.next());
        if (!missing.contains(program.fileName())) {
            QFile::link(program.filePath(), folder + "/" + program.fileName());
        }
    }
    return folder;
}

TEST_F(SweepTest, RefusesWithItsStatusBeforeMakingAnything) {
    struct Case {
        QStringList args;
        int status;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{}, 64, "no base file"},
        {{"base.cnf", "TP"}, 64, "no values"},
        {{"-j", "0", "base.cnf", "TP", "1"}, 64, "-j"},
        {{"--sideways", "base.cnf", "TP", "1"}, 64, "--sideways"},
        {{"--wait", "base.cnf", "TP", "1"}, 64, "--slurm"},
        {{"base.cnf", "TP", "1", "--", "--partition=x"}, 64, "--slurm"},
        {{"base.cnf", "Nope", "1"}, 64, "Nope"},
        {{"base.cnf", "TJ", "1"}, 64, "TJ"},
        {{"base.cnf", "TP", "1\n2"}, 64, "line break"},
        {{"-a", "--run", "-a", "sideways", "base.cnf", "TP", "1"}, 64, "sideways"},
        {{"missing.cnf", "TP", "1"}, 66, "missing.cnf"},
        // Every value as the run will read it, and the base file's boxes too.
        {{"base.cnf", "TP=x/y", "1", "2"}, 64, "TP=x/y"},
        {{"base.cnf", "TP", "1", "abc"}, 64, "\"abc\", which is not a number here"},
        {{"base.cnf", "TP", "5,5"}, 64, "\"5,5\", which is not a number here"},
        {{"italian.cnf", "TP", "1"}, 64, "the box TV0"},
        {{"base.cnf", "CLogFile", "1", "maybe"}, 64, "CLogFile"},
        // What each run is given must make a run, and the sweep's own stay its own.
        {{"-a", "--csv", "-a", "other.csv", "base.cnf", "TP", "1"}, 64, "-a --csv"},
        {{"-a", "-C", "-a", "elsewhere", "base.cnf", "TP", "1"}, 64, "-a -C"},
        {{"-a", "--results=x.nc", "base.cnf", "TP", "1"}, 64, "-a --results"},
        {{"-a", "--threads", "-a", "1", "-a", "--threads=2", "base.cnf", "TP", "1"},
         64,
         "--threads is given more than once"},
    };
    ASSERT_EQ(batch({"--locale", "it_IT", "--save-config", "italian.cnf"}), 0);
    for (const Case& c : cases) {
        const Result r = sweep(QStringList{"-o", "out"} + c.args);
        EXPECT_EQ(r.exitCode, c.status) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(path("out"))) << c.args.join(' ').toStdString();
    }

    // The locale of the environment as velarion-batch reads it: an unknown
    // one is refused by both.
    env.insert("LANG", "xx_YY.UTF-8");
    Result unknown = sweep({"-o", "out", "base.cnf", "TP", "1"});
    EXPECT_EQ(unknown.exitCode, 64);
    EXPECT_TRUE(unknown.err.contains("unknown locale 'xx_YY'")) << unknown.err.toStdString();
    env.insert("LANG", "C");

    env.insert("VELARION_BATCH", path("nowhere/velarion-batch"));
    EXPECT_EQ(sweep({"-o", "out", "base.cnf", "TP", "1"}).exitCode, 69);
    env.insert("VELARION_BATCH", VELARION_BATCH_PATH);
    env.insert("PATH", pathWithout(path("bin"), {"parallel", "sbatch"}));
    Result r = sweep({"-o", "out", "base.cnf", "TP", "1"});
    EXPECT_EQ(r.exitCode, 69);
    EXPECT_TRUE(r.err.contains("parallel")) << r.err.toStdString();
    r = sweep({"--slurm", "-o", "out", "base.cnf", "TP", "1"});
    EXPECT_EQ(r.exitCode, 69);
    EXPECT_TRUE(r.err.contains("sbatch")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("out")));
}

// The precision run leaves no rows in psi, so its runs get neither --csv
// nor --envelope; its rows hold the value and the exit status.
TEST_F(SweepTest, SweepsThePrecisionRun) {
    const Result r = sweep({"-o", "out", "-a", "--run", "-a", "precision", "-a", "--box", "-a",
                            "TINDICE_MATRICE2=20", "base.cnf", "TP", "0", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString() << read("out/1-TP=0/stderr.txt").data();
    const auto rows = summaryRows("out");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], QList<QByteArray>({"0", "0", "", "", "", "", ""}));
    EXPECT_EQ(rows[1], QList<QByteArray>({"1", "0", "", "", "", "", ""}));
    EXPECT_TRUE(read("out/2-TP=1/stdout.txt").contains("TJ = 30\n"));
}

// The envelope columns come from each run's envelope.csv (the largest stress
// and displacement in size over the pipe) and its instability warning: a
// 100-segment column with the seed's free end is unstable within 3000
// levels, not within 500.
// With --results every run also leaves its results file, from which
// velarion-batch writes that run's own psi.csv again; the precision run's
// too. The sweep tells the version of the velarion-batch it runs.
TEST_F(SweepTest, ResultsLeaveEachRunsFile) {
    const Result r = sweep({"-o", "out", "--results", "base.cnf", "TP", "0", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    for (const QString folder : {"out/1-TP=0", "out/2-TP=1"}) {
        ASSERT_EQ(batch({"--from", folder + "/run.nc", "--csv", "again.csv"}), 0)
            << folder.toStdString();
        EXPECT_EQ(read("again.csv"), read(folder + "/psi.csv")) << folder.toStdString();
    }
    const Result precision = sweep({"-o", "p", "--results", "-a", "--run", "-a", "precision", "-a",
                                    "--box", "-a", "TINDICE_MATRICE2=20", "base.cnf", "TP", "1"});
    ASSERT_EQ(precision.exitCode, 0) << precision.err.toStdString();
    EXPECT_TRUE(QFileInfo(path("p/1-TP=1/run.nc")).size() > 0);

    QProcess version;
    version.setProcessEnvironment(env);
    version.start(VELARION_SWEEP_PATH, {"--version"});
    ASSERT_TRUE(version.waitForFinished(10000));
    QProcess batchVersion;
    batchVersion.start(VELARION_BATCH_PATH, {"--version"});
    ASSERT_TRUE(batchVersion.waitForFinished(10000));
    const QString batchLine = QString::fromLatin1(batchVersion.readAllStandardOutput());
    ASSERT_TRUE(batchLine.startsWith("velarion-batch ")) << batchLine.toStdString();
    EXPECT_EQ(QString::fromLatin1(version.readAllStandardOutput()).section(' ', 1),
              batchLine.section(' ', 1));
    EXPECT_EQ(version.exitCode(), 0);
}

TEST_F(SweepTest, SummarisesTheEnvelopeAndTheInstability) {
    const Result r =
        sweep({"-o", "out", "-a", "--box", "-a", "TINDICE_MATRICE2=100", "-a", "--box", "-a",
               "TINDICE_MATRICE1=3000", "base.cnf", "Tnitertemp", "500", "3000"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(read("out/summary.csv").startsWith(kSummaryHeader));
    const auto rows = summaryRows("out");
    ASSERT_EQ(rows.size(), 2u);
    const QStringList folders{"1-Tnitertemp=500", "2-Tnitertemp=3000"};
    for (int i = 0; i < 2; ++i) {
        double stress = 0, displacement = 0;
        const QList<QByteArray> lines = read("out/" + folders[i] + "/envelope.csv").split('\n');
        for (qsizetype k = 1; k < lines.size(); ++k) {
            const QList<QByteArray> f = lines[k].trimmed().split(',');
            if (f.size() == 5) {
                displacement =
                    std::max({displacement, std::abs(f[1].toDouble()), std::abs(f[2].toDouble())});
                stress = std::max({stress, std::abs(f[3].toDouble()), std::abs(f[4].toDouble())});
            }
        }
        ASSERT_EQ(rows[i].size(), 7) << rows[i].join(',').toStdString();
        EXPECT_GT(stress, 0);
        EXPECT_EQ(rows[i][4].toDouble(), stress);
        EXPECT_EQ(rows[i][5].toDouble(), displacement);
    }
    EXPECT_EQ(rows[0][6], "");
    const QRegularExpression warning(QStringLiteral("unstable from level (\\d+):"));
    const auto match =
        warning.match(QString::fromLocal8Bit(read("out/" + folders[1] + "/stderr.txt")));
    ASSERT_TRUE(match.hasMatch());
    EXPECT_EQ(rows[1][6], match.captured(1).toLatin1());
}

}  // namespace
