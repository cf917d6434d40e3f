// velarion-batch's results file and what is written from it: --results,
// --from, several --plot from one run, --energy-every.
#include "app/batch_fixture.h"

#include <QImage>
#include <QSet>

#include <gtest/gtest.h>

#include <hdf5.h>

namespace {

using velarion::testing::BatchTest;
using velarion::testing::Result;

class BatchResultsTest : public BatchTest {
  protected:
    // Every file in the directory, sorted.
    QStringList files() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
};

// The files written from a saved run are the run's own, bit for bit, for
// both runs that leave rows; reading the file runs nothing and prints
// nothing on stdout.
TEST_F(BatchResultsTest, ASavedRunGivesTheRunsOwnFiles) {
    const QStringList girotondo{"--run", "girotondo",           "--box", "TN=5",
                                "--box", "TINDICE_MATRICE1=40", "--box", "Tnitertemp=40"};
    // A valve shut at t = 0 with friction: the energy has two columns more.
    const QStringList hammer{"--first-end", "closed", "--friction", "0,02", "--box", "TV0=1"};
    for (const QStringList& kind : {QStringList{"--box", "TP=1"}, girotondo, hammer}) {
        const QStringList own{"--locale", "it_IT",     "--free-end",     "restoring",
                              "--csv",    "own.csv",   "--csv-segments", "0,17,9999",
                              "--energy", "own-e.csv", "--envelope",     "own-v.csv"};
        ASSERT_EQ(run(kind + own + QStringList{"--results", "run.nc"}).exitCode, 0);
        ASSERT_TRUE(QFile::remove(logPath()));
        const Result saved = run({"--from", "run.nc", "--csv", "csv", "--csv-segments", "0,17,9999",
                                  "--energy", "e", "--envelope", "v"});
        EXPECT_EQ(saved.exitCode, 0) << saved.err.toStdString();
        EXPECT_EQ(saved.out, "");
        EXPECT_EQ(saved.err, "");
        EXPECT_FALSE(ran());
        const std::string which = kind.join(' ').toStdString();
        EXPECT_EQ(read("csv"), read("own.csv")) << which;
        EXPECT_EQ(read("e"), read("own-e.csv")) << which;
        EXPECT_EQ(read("v"), read("own-v.csv")) << which;
        EXPECT_GT(read("v").count('\n'), 10000) << which;
        EXPECT_EQ(
            read("e").startsWith("level,time,kinetic,strain,work,energy,dissipated,valve_work"),
            kind == hammer)
            << which;
    }
}

// One run, many pictures: each --plot draws its own page, from the run or
// from its file; --plot-page is the page of those that name none.
TEST_F(BatchResultsTest, SeveralPlotsOfOneRun) {
    const Result r =
        run({"--run", "girotondo", "--results", "g.nc", "--plot-page", "energy", "--plot",
             "energy.png", "--plot", "time:time.png", "--plot", "envelope:envelope.svg"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QImage(dir.filePath("energy.png")).size(), QSize(1000, 400));
    EXPECT_EQ(QImage(dir.filePath("time.png")).size(), QSize(1000, 1200));
    EXPECT_TRUE(read("envelope.svg").contains("Envelope of the stress"));

    const Result again = run({"--from", "g.nc", "--plot", "profile:profile.png", "--plot",
                              "envelope:envelope.png", "--plot", "a.svg"});
    ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_EQ(QImage(dir.filePath("profile.png")).size(), QSize(1000, 400));
    const QImage envelope(dir.filePath("envelope.png"));
    ASSERT_EQ(envelope.size(), QSize(1000, 800));
    // The kept envelope drawn, not empty charts: its lines' colours.
    QSet<QRgb> colours;
    for (int y = 0; y < envelope.height(); y += 3) {
        for (int x = 0; x < envelope.width(); x += 3) {
            colours.insert(envelope.pixel(x, y));
        }
    }
    EXPECT_GT(colours.size(), 50);
    EXPECT_TRUE(read("a.svg").contains("Displacement from rest"));

    const Result twice = run({"--plot", "same.png", "--plot", "energy:same.png"});
    EXPECT_EQ(twice.exitCode, 64);
    EXPECT_TRUE(twice.err.contains("--plot and --plot lead to the same file"))
        << twice.err.toStdString();
    EXPECT_EQ(run({"--plot", "stress:x.png"}).exitCode, 64);
}

// Files that are not results files are refused with their name and why,
// and nothing is written.
TEST_F(BatchResultsTest, FilesThatAreNotResultsFilesAreRefused) {
    ASSERT_EQ(run({"--box", "CLogFile=0", "--results", "run.nc"}).exitCode, 0);
    const QByteArray whole = read("run.nc");
    write("half.nc", whole.left(whole.size() / 2));
    write("empty.nc", QByteArray());
    write("table.nc", "row,time (s),\"psi(j, 0) (m)\"\r\n0,0,0\r\n");
    QByteArray noise(4096, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<char>(i * 7919 % 251);
    }
    write("noise.nc", noise);
    // A plain HDF5 file, no netCDF about it.
    const hid_t h5 = H5Fcreate(QFile::encodeName(dir.filePath("plain.h5")).constData(),
                               H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    ASSERT_GE(h5, 0);
    const hsize_t size = 3;
    const hid_t space = H5Screate_simple(1, &size, nullptr);
    const hid_t set =
        H5Dcreate2(h5, "values", H5T_NATIVE_DOUBLE, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
    const double values[] = {1, 2, 3};
    ASSERT_GE(H5Dwrite(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values), 0);
    H5Dclose(set);
    H5Sclose(space);
    H5Fclose(h5);

    for (const char* name :
         {"half.nc", "empty.nc", "table.nc", "noise.nc", "plain.h5", "missing.nc"}) {
        const Result r = run({"--from", name, "--csv", "out.csv", "--plot", "out.png"});
        EXPECT_EQ(r.exitCode, 66) << name;
        EXPECT_TRUE(r.err.startsWith(
            QStringLiteral("velarion-batch: --from: %1 cannot be opened as a results file: ")
                .arg(name)))
            << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(dir.filePath("out.csv"))) << name;
        EXPECT_FALSE(QFile::exists(dir.filePath("out.png"))) << name;
    }
}

// What --results and --from cannot mean is refused before anything is
// written or run.
TEST_F(BatchResultsTest, CommandLinesThatCannotBeMeantAreRefused) {
    ASSERT_EQ(run({"--box", "CLogFile=0", "--run", "precision", "--box", "TINDICE_MATRICE2=20",
                   "--results", "p.nc"})
                  .exitCode,
              0);
    const std::pair<QStringList, const char*> cases[] = {
        {{"--results", "-"}, "--results needs a file, not -"},
        {{"--results", "a.nc", "--results", "b.nc"}, "--results is given more than once"},
        {{"--from", "p.nc"}, "--from needs a file to write: --csv, --energy, --envelope or --plot"},
        {{"--from", "p.nc", "--csv", "x.csv", "--box", "TP=1"}, "--box goes with a run"},
        {{"--from", "p.nc", "--csv", "x.csv", "--results", "y.nc"}, "--results goes with a run"},
        {{"--from", "p.nc", "--csv", "p.nc"}, "--from and --csv lead to the same file"},
        {{"--from", "p.nc", "--csv", "x.csv"}, "--csv: p.nc holds a precision run"},
        {{"--from", "-", "--csv", "x.csv"}, "--from needs a file, not -"},
        {{"--energy-every", "10"}, "--energy-every goes with --energy"},
        {{"--energy", "e.csv", "--energy-every", "0"}, "--energy-every needs a whole number"},
    };
    for (const auto& [args, says] : cases) {
        const Result r = run(args);
        EXPECT_EQ(r.exitCode, 64) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("velarion-batch: ") && r.err.contains(says))
            << r.err.toStdString();
        EXPECT_FALSE(ran()) << args.join(' ').toStdString();
    }
    EXPECT_EQ(files(), QStringList{"p.nc"});
}

// --energy-every keeps the lines of every K-th level as they are, and the
// instability is found at the same level, every level checked.
TEST_F(BatchResultsTest, EnergyEveryKeepsEveryKthLevelAndChecksThemAll) {
    const QStringList unstable{"--box", "CLogFile=0",
                               "--box", "TINDICE_MATRICE2=100",
                               "--box", "TINDICE_MATRICE1=3000",
                               "--box", "Tnitertemp=3000"};
    const Result every = run(unstable + QStringList{"--energy", "all.csv"});
    const Result some = run(unstable + QStringList{"--energy", "some.csv", "--energy-every", "7"});
    ASSERT_EQ(every.exitCode, 0);
    ASSERT_EQ(some.exitCode, 0);
    ASSERT_TRUE(every.err.contains("unstable from level")) << every.err.toStdString();
    EXPECT_EQ(some.err, every.err);
    const QList<QByteArray> all = read("all.csv").split('\n');
    QByteArray expected = all[0] + '\n';
    for (qsizetype level = 7; level < all.size() - 1; level += 7) {
        expected += all[level] + '\n';
    }
    EXPECT_EQ(read("some.csv"), expected);
    EXPECT_EQ(expected.count('\n'), 1 + 3000 / 7);
}

}  // namespace
