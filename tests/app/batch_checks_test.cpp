// velarion-batch as a process: the free end, the energy and envelope files,
// the time step's limit, the instability warning with --strict, and
// --verify.
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
        R"(\S+ to \S+ J/m2; the cause is the seed's free end, .*: the growth starts at )"
        R"(segment 100 \(try --free-end restoring\)\n$)");
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

const QString kCourantOneDotOne =
    "Courant number 1.1 > 1: the scheme is unstable; TDeltaT \u2264 4E-06 s keeps it stable";

// Above the Courant limit nothing runs when the result would be refused
// anyway: --verify (64) and --strict (3); without them the run goes on,
// warned of first, and the verdict names the time step, not the free end.
TEST_F(BatchChecksTest, ACourantNumberAboveOneIsNamedBeforeTheRun) {
    const Result verify = run({"--box", "TP=1", "--box", "TDeltaT=4.4E-06", "--verify"});
    EXPECT_EQ(verify.exitCode, 64);
    EXPECT_EQ(verify.err, "velarion-batch: --verify: " + kCourantOneDotOne + "\n");
    EXPECT_EQ(verify.out, "");
    const Result strict =
        run({"--box", "TP=1", "--box", "TDeltaT=4.4E-06", "--energy", "e.csv", "--strict"});
    EXPECT_EQ(strict.exitCode, 3);
    EXPECT_EQ(strict.err, "velarion-batch: warning: " + kCourantOneDotOne + "\n");
    EXPECT_FALSE(QFile::exists(dir.filePath("LogFile.txt")));
    EXPECT_FALSE(QFile::exists(dir.filePath("e.csv")));

    const Result fast = run({"--box", "TDeltaT=1e-3"});
    EXPECT_EQ(fast.exitCode, 0);
    EXPECT_TRUE(fast.err.contains("warning: unstable from level 1: Courant number 250 > 1"))
        << fast.err.toStdString();
    EXPECT_FALSE(fast.err.contains("free end")) << fast.err.toStdString();

    const Result failed = run({"--free-end", "restoring", "--box", "TDeltaT=1e-5", "--box",
                               "Tnitertemp=300", "--box", "TINDICE_MATRICE1=300"});
    EXPECT_EQ(failed.exitCode, 2);
    const QStringList lines = failed.err.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << failed.err.toStdString();
    EXPECT_TRUE(lines[1].startsWith("velarion-batch: Error: Level 240, segment 0: "))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("velarion-batch: the likely cause: Courant number 2.5 > 1"))
        << lines[2].toStdString();

    const Result still = run({"--box", "TDeltaT=0"});
    EXPECT_EQ(still.exitCode, 64);
    EXPECT_TRUE(
        still.err.startsWith("velarion-batch: the box TDeltaT (\"deltat  Inter.\") holds 0"))
        << still.err.toStdString();
}

// A column at rest under a counter pressure: level 1's energy is rounding
// residue, and the run is stable.
TEST_F(BatchChecksTest, AColumnAtRestIsStable) {
    const Result r = run(kLongColumn + QStringList{"--free-end", "restoring", "--box", "TV0=0",
                                                   "--box", "TP=1", "--strict"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
}

// A time step of 1E-200 s: the kinetic energy is that of the positions'
// moves, each divided by the time step before it is squared, not NaN. Only
// segment 0, at 0, can hold a move of 5.5E-200 m; the others, a piece or
// more from it, keep their positions, as the CSV shows.
TEST_F(BatchChecksTest, ATinyTimeStepGivesAFiniteEnergy) {
    const Result r =
        run({"--box", "TDeltaT=1E-200", "--box", "TP=1", "--box", "TINDICE_MATRICE2=10", "--box",
             "Tnitertemp=50", "--box", "TINDICE_MATRICE1=50", "--energy", "e.csv", "--csv",
             "psi.csv", "--csv-segments", "0,1,2,3,4,5,6,7,8,9,10", "--strict"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList energy = lines("e.csv");
    const QStringList psi = lines("psi.csv");
    ASSERT_EQ(energy.size(), 51);
    ASSERT_EQ(psi.size(), 52);
    const QStringList row0 = psi[1].split(','), row1 = psi[2].split(',');
    double kinetic = 0;
    for (int s = 0; s <= 10; ++s) {
        const double v = (row1[2 + s].toDouble() - row0[2 + s].toDouble()) / 1e-200;
        kinetic += 0.5 * 1000 * 0.0002 * v * v;
    }
    EXPECT_NEAR(kinetic, 3.025, 1e-12);
    EXPECT_NEAR(energy[1].split(',')[2].toDouble(), kinetic, 1e-12);
    for (const QString& line : energy) {
        EXPECT_FALSE(line.contains("nan")) << line.toStdString();
    }
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

// --verify prints the grid convergence index, then the comparison with the
// exact solution, whose last line is the observed order of the RMS error.
TEST_F(BatchChecksTest, VerifyComparesThreeGridsWithTheExactSolution) {
    const Result r = run({"--box", "TP=1", "--verify"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList out = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(out.size(), 5);
    EXPECT_TRUE(out[out.size() - 5].startsWith("segments\t")) << r.out.toStdString();
    EXPECT_TRUE(out[out.size() - 4].startsWith("10000\t1E-06\t30\t")) << r.out.toStdString();
    EXPECT_TRUE(out[out.size() - 2].startsWith("40000\t2.5E-07\t120\t")) << r.out.toStdString();
    static const QRegularExpression order(R"(^observed order of accuracy: (\d\.\d\d)$)");
    const auto match = order.match(out.last());
    ASSERT_TRUE(match.hasMatch()) << out.last().toStdString();
    EXPECT_GT(match.captured(1).toDouble(), 0.8);
    EXPECT_TRUE(
        r.out.contains("peak stress of the first piece: 11305.3 Pa, the same on the "
                       "three grids"))
        << r.out.toStdString();

    // Under a locale with a decimal comma every number of the table has it.
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(VELARION_BATCH_PATH, {"--locale", "it_IT", "--box", "TP=1", "--verify"});
    ASSERT_TRUE(process.waitForFinished(120000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const Result italian{process.exitCode(),
                         QString::fromLocal8Bit(process.readAllStandardOutput()), QString()};
    EXPECT_TRUE(italian.out.contains("\n40000\t2,5E-07\t120\t")) << italian.out.toStdString();
    EXPECT_FALSE(italian.out.contains(QRegularExpression(R"(\d\.\d)")))
        << italian.out.toStdString();
    EXPECT_TRUE(QRegularExpression(R"(\nobserved order of accuracy: \d,\d\d\n$)")
                    .match(italian.out)
                    .hasMatch())
        << italian.out.toStdString();

    // Without a counter pressure there is no wave: the index alone.
    const Result noPressure = run({"--verify"});
    EXPECT_EQ(noPressure.exitCode, 0);
    EXPECT_TRUE(noPressure.out.contains("exact solution: not compared: P is 0"))
        << noPressure.out.toStdString();
    // The seed's free end blows up the column: nothing to verify.
    const Result unstable =
        run(kLongColumn + QStringList{"--box", "TP=1", "--box", "Tnitertemp=790", "--box",
                                      "TINDICE_MATRICE1=790", "--verify"});
    EXPECT_EQ(unstable.exitCode, 64);
    EXPECT_TRUE(
        unstable.err.contains("--verify: nothing verified: the case (101 segments) is "
                              "unstable from level 403"))
        << unstable.err.toStdString();
    // With the restoring end, reflections and all.
    const Result reflected =
        run({"--free-end", "restoring", "--box", "TP=1", "--box", "TINDICE_MATRICE2=100", "--box",
             "Tnitertemp=800", "--box", "TINDICE_MATRICE1=800", "--verify"});
    ASSERT_EQ(reflected.exitCode, 0) << reflected.err.toStdString();
    const auto reflectedOrder = order.match(reflected.out.split('\n', Qt::SkipEmptyParts).last());
    ASSERT_TRUE(reflectedOrder.hasMatch());
    EXPECT_GT(reflectedOrder.captured(1).toDouble(), 0.8);
}

// A water hammer over four round trips: the valve shut at t = 0, the
// reservoir at segment M. The energy file gains the dissipated energy and
// the valve's work, and --verify compares with the exact solution.
TEST_F(BatchChecksTest, TheClassicWaterHammerIsVerified) {
    const QStringList classic =
        QStringList{"--first-end", "closed", "--last-end", "restoring"} +
        QStringList{"--box", "TINDICE_MATRICE2=100", "--box", "Tnitertemp=3216"} +
        QStringList{"--box", "TINDICE_MATRICE1=3216"};
    const Result verified = run(classic + QStringList{"--energy", "e.csv", "--verify"});
    ASSERT_EQ(verified.exitCode, 0) << verified.err.toStdString();
    EXPECT_TRUE(verified.err.isEmpty()) << verified.err.toStdString();
    EXPECT_TRUE(verified.out.contains("refinement ratio 3")) << verified.out.toStdString();
    EXPECT_TRUE(verified.out.contains("\n905\t1.11111E-07\t28944\t")) << verified.out.toStdString();
    const QRegularExpression order("^observed order of accuracy: ([0-9.]+)$");
    const auto match = order.match(verified.out.split('\n', Qt::SkipEmptyParts).last());
    ASSERT_TRUE(match.hasMatch()) << verified.out.toStdString();
    EXPECT_GT(match.captured(1).toDouble(), 0.9);
    EXPECT_EQ(lines("e.csv").front(),
              "level,time,kinetic,strain,work,energy,dissipated,valve_work");

    // With friction only the grid convergence index; with a counter
    // pressure the valve refuses to run.
    const Result rough = run(classic + QStringList{"--friction", "0.02", "--verify"});
    ASSERT_EQ(rough.exitCode, 0) << rough.err.toStdString();
    EXPECT_TRUE(rough.out.contains("exact solution: not compared: with friction"))
        << rough.out.toStdString();
    const Result pushed = run(classic + QStringList{"--box", "TP=1"});
    EXPECT_EQ(pushed.exitCode, 2);
    EXPECT_TRUE(pushed.err.contains("P must be 0")) << pushed.err.toStdString();
    // --check-boxes, as a sweep asks before its runs, refuses it at once.
    const Result checked = run(classic + QStringList{"--box", "TP=1", "--check-boxes"});
    EXPECT_EQ(checked.exitCode, 64);
    EXPECT_TRUE(checked.err.startsWith("velarion-batch: a valve holds segment 0"))
        << checked.err.toStdString();
}

TEST_F(BatchChecksTest, BadCommandLinesAreRefused) {
    for (const QStringList& args :
         {QStringList{"--free-end", "sideways"}, QStringList{"--free-end"},
          QStringList{"--first-end", "valve"}, QStringList{"--first-end", "valve:0"},
          QStringList{"--first-end", "valve:soon"}, QStringList{"--first-end", "closed:1"},
          QStringList{"--first-end", "gate"}, QStringList{"--last-end", "open"},
          QStringList{"--free-end", "restoring", "--last-end", "closed"},
          QStringList{"--friction", "-0.1"}, QStringList{"--friction", "lots"},
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
