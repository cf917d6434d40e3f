// velarion-batch's result files: --csv, --plot, -C, and the sweep script
// built on them.
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Result {
    int exitCode = -1;
    QString err;
};

class BatchResultsTest : public ::testing::Test {
  protected:
    Result run(const QString& program, const QStringList& args,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.setProcessEnvironment(env);
        process.start(program, args);
        EXPECT_TRUE(process.waitForFinished(120000));
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
    }
    Result batch(const QStringList& args) { return run(VELARION_BATCH_PATH, args); }
    QByteArray contents(const QString& name) const {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir;
};

TEST_F(BatchResultsTest, PlotDrawsTheThreeChartsOffscreen) {
    ASSERT_EQ(batch({"--box", "TP=1", "--plot", "plot.png"}).exitCode, 0);
    QImage image(dir.filePath("plot.png"));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(1000, 1200));
    // Not blank: the three charts' lines, axes and texts in many colours,
    // on a white ground.
    QSet<QRgb> colours;
    int inked = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            const QRgb pixel = image.pixel(x, y);
            colours.insert(pixel);
            inked += pixel != qRgb(255, 255, 255);
        }
    }
    EXPECT_GT(colours.size(), 50);
    EXPECT_GT(inked, 3000);
    EXPECT_EQ(image.pixel(2, 2), qRgb(255, 255, 255));

    ASSERT_EQ(batch({"--plot", "plot.svg"}).exitCode, 0);
    EXPECT_TRUE(contents("plot.svg").contains("<svg"));
    EXPECT_EQ(batch({"--plot", "plot.pdf"}).exitCode, 64);
}

TEST_F(BatchResultsTest, DirectoryOptionTakesEveryFileThere) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("run"));
    ASSERT_EQ(batch({"-C", "run", "--csv", "psi.csv", "--csv-segments", "5"}).exitCode, 0);
    const QList<QByteArray> lines = contents("run/psi.csv").split('\n');
    EXPECT_EQ(lines.size(), 33);
    EXPECT_EQ(lines[0], "row,time (s),\"psi(j, 5) (m)\"\r");
    EXPECT_TRUE(QFile::exists(dir.filePath("run/LogFile.txt")));
    EXPECT_FALSE(QFile::exists(dir.filePath("LogFile.txt")));

    const Result missing = batch({"-C", "nowhere"});
    EXPECT_EQ(missing.exitCode, 66);
    EXPECT_TRUE(missing.err.contains("nowhere: No such file or directory"))
        << missing.err.toStdString();
    const Result unwritable = batch({"--csv", "nowhere/psi.csv"});
    EXPECT_EQ(unwritable.exitCode, 74);
    EXPECT_TRUE(unwritable.err.contains("No such file or directory"))
        << unwritable.err.toStdString();
    EXPECT_EQ(batch({"--csv", "psi.csv", "--csv-segments", "10000"}).exitCode, 74);
    EXPECT_EQ(batch({"--csv", "psi.csv", "--csv-segments", "x"}).exitCode, 64);
}

// Three counter pressures: the first segment feels them, the last one is
// too far away within 30 levels to notice.
TEST_F(BatchResultsTest, SweepRunsOneDirectoryPerValue) {
    ASSERT_EQ(batch({"--locale", "C", "--save-config", "base.cnf"}).exitCode, 0);
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("VELARION_BATCH", VELARION_BATCH_PATH);
    const Result sweep =
        run(VELARION_SWEEP_PATH,
            {"-o", "out", "-j", "2", "-a", "--locale", "-a", "C", "base.cnf", "TP", "0", "1", "2"},
            env);
    ASSERT_EQ(sweep.exitCode, 0) << sweep.err.toStdString();
    const QStringList runs = QDir(dir.filePath("out")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    EXPECT_EQ(runs, QStringList({"01-TP=0", "02-TP=1", "03-TP=2"}));
    QList<QByteArray> rows = contents("out/summary.csv").split('\n');
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[0], "value,exit status,\"psi(J, 0)\",\"psi(J, M)\"\r");
    std::vector<double> first, last;
    for (int i = 1; i <= 3; ++i) {
        const QList<QByteArray> fields = rows[i].trimmed().split(',');
        ASSERT_EQ(fields.size(), 4) << rows[i].toStdString();
        EXPECT_EQ(fields[0].toInt(), i - 1);
        EXPECT_EQ(fields[1], "0");
        first.push_back(fields[2].toDouble());
        last.push_back(fields[3].toDouble());
    }
    EXPECT_NEAR(first[0], -1.65e-4, 1e-12);
    EXPECT_NEAR(first[1], -1.59505e-4, 1e-9);
    EXPECT_GT(first[2], first[1]);
    EXPECT_EQ(last[0], last[1]);
    EXPECT_EQ(last[1], last[2]);
}

}  // namespace
