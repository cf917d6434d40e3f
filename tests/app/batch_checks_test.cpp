// velarion-batch as a process: the free end, the energy and envelope files,
// the instability warning with --strict, and --verify.
#include "support/files.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

class BatchChecksTest : public ::testing::Test {
  protected:
    Result run(const QStringList& args) {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(VELARION_BATCH_PATH), QStringList{"--locale", "en_US"} + args);
        EXPECT_TRUE(process.waitForFinished(120000));
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }
    QStringList lines(const QString& name) const {
        return QString::fromLatin1(velarion::testing::contentsOf(dir.filePath(name)))
            .split("\r\n", Qt::SkipEmptyParts);
    }

    QTemporaryDir dir;
};

// The column of 100 pieces over 3000 levels, as a new user first tried it.
const QStringList kLongColumn{"--box", "TINDICE_MATRICE2=100", "--box", "Tnitertemp=3000",
                              "--box", "TINDICE_MATRICE1=3000"};

TEST_F(BatchChecksTest, TheSeedFreeEndWarnsAndStrictMakesItAFailure) {
    const Result seed = run(kLongColumn);
    EXPECT_EQ(seed.exitCode, 0);
    static const QRegularExpression warning(
        R"(^velarion-batch: warning: unstable from level \d+: the energy (grew|fell) from )"
        R"(\S+ to \S+ J/m2; the seed's free end, .* is the likely cause )"
        R"(\(try --free-end restoring\)\n$)");
    EXPECT_TRUE(warning.match(seed.err).hasMatch()) << seed.err.toStdString();

    const Result strict = run(kLongColumn + QStringList{"--strict"});
    EXPECT_EQ(strict.exitCode, 3);
    EXPECT_EQ(strict.err, seed.err);
    // The warning goes to stderr alone: the output boxes are as before.
    EXPECT_EQ(strict.out.section('\n', 0, 5), seed.out.section('\n', 0, 5));

    const Result restoring = run(kLongColumn + QStringList{"--strict", "--free-end", "restoring"});
    EXPECT_EQ(restoring.exitCode, 0);
    EXPECT_EQ(restoring.err, "");
}

TEST_F(BatchChecksTest, EnergyAndEnvelopeFiles) {
    const Result r = run(
        kLongColumn + QStringList{"--run", "girotondo", "--box", "TN=10", "--box", "Tnitertemp=100",
                                  "--box", "TINDICE_MATRICE1=100", "--free-end", "restoring",
                                  "--energy", "energy.csv", "--envelope", "envelope.csv"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList energy = lines("energy.csv");
    ASSERT_EQ(energy.size(), 1 + 2999);
    EXPECT_EQ(energy[0], "level,time,kinetic,strain,work,energy");
    const QStringList first = energy[1].split(',');
    ASSERT_EQ(first.size(), 6);
    EXPECT_EQ(first[0], "1");
    EXPECT_EQ(first[1].toDouble(), 1e-6);
    // The column at rest moves at 5.5 m/s: 101 segments of 1000 x 0.0002 kg/m2.
    EXPECT_NEAR(first[2].toDouble(), 101 * 0.5 * 1000 * 0.0002 * 5.5 * 5.5, 1e-9);
    EXPECT_TRUE(energy.last().startsWith("2999,"));

    const QStringList envelope = lines("envelope.csv");
    ASSERT_EQ(envelope.size(), 1 + 101);
    EXPECT_EQ(envelope[0], "segment,min_displacement,max_displacement,min_stress,max_stress");
    // 2999 levels at 5.5 m/s and 1 us: every segment moves 2999 x 5.5e-6 m.
    EXPECT_NEAR(envelope[1].split(',')[1].toDouble(), -2999 * 5.5e-6, 1e-12);
    EXPECT_TRUE(envelope.last().startsWith("100,"));
    EXPECT_TRUE(envelope.last().endsWith(",,")) << envelope.last().toStdString();

    const Result unwritable = run({"--energy", dir.filePath("no/such/dir/e.csv")});
    EXPECT_EQ(unwritable.exitCode, 74);
    EXPECT_TRUE(unwritable.err.startsWith("velarion-batch: --energy: "))
        << unwritable.err.toStdString();
}

TEST_F(BatchChecksTest, VerifyOnTheDefaultsWithAPressureIsFirstOrder) {
    const Result r = run({"--box", "TP=1", "--verify"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList out = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(out.size(), 5);
    EXPECT_TRUE(out[out.size() - 5].startsWith("last segment\t")) << r.out.toStdString();
    EXPECT_TRUE(out[out.size() - 4].startsWith("9999\t")) << r.out.toStdString();
    EXPECT_TRUE(out[out.size() - 2].startsWith("39996\t")) << r.out.toStdString();
    static const QRegularExpression order(R"(^observed order of accuracy: (\d\.\d\d)$)");
    const auto match = order.match(out.last());
    ASSERT_TRUE(match.hasMatch()) << out.last().toStdString();
    EXPECT_GT(match.captured(1).toDouble(), 0.8);
    EXPECT_LT(match.captured(1).toDouble(), 1.3);

    const Result noPressure = run({"--verify"});
    EXPECT_EQ(noPressure.exitCode, 64);
    EXPECT_TRUE(noPressure.err.startsWith("velarion-batch: --verify: no comparison: P is 0"))
        << noPressure.err.toStdString();
    const Result reflected = run(kLongColumn + QStringList{"--box", "TP=1", "--verify"});
    EXPECT_EQ(reflected.exitCode, 64);
    EXPECT_TRUE(reflected.err.contains("reflected at the free end")) << reflected.err.toStdString();
}

TEST_F(BatchChecksTest, BadCommandLinesAreRefused) {
    for (const QStringList& args :
         {QStringList{"--free-end", "sideways"}, QStringList{"--free-end"},
          QStringList{"--run", "precision", "--energy", "e.csv"},
          QStringList{"--run", "precision", "--strict"},
          QStringList{"--run", "girotondo", "--verify"}}) {
        const Result r = run(args);
        EXPECT_EQ(r.exitCode, 64) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("velarion-batch: ")) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(dir.filePath("LogFile.txt"))) << args.join(' ').toStdString();
    }
}

}  // namespace
