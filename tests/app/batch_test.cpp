// velarion-batch as a process: runs, configuration files, result files,
// Ctrl-C; and its window operations, BatchHost, directly.
#include "app/batch_fixture.h"
#include "app/batch_host.h"
#include "model/parameter_boxes.h"
#include "runs/run_control.h"
#include "support/files.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstring>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

using velarion::controlName;
using velarion::ParameterBox;
using velarion::parameterBoxes;
using velarion::testing::BatchTest;
using velarion::testing::Result;

// A directory with little room left: a small tmpfs mounted on it where the
// process may mount (root, as in CI); elsewhere a file size limit in the
// child process, under which velarion-batch's writes fail with "File too
// large".
class NearlyFullDirectory {
  public:
    explicit NearlyFullDirectory(const QString& path) : path_(path) {
        QDir().mkpath(path);
        mounted_ =
            ::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", 0, "size=256k") == 0;
    }
    ~NearlyFullDirectory() {
        if (mounted_) {
            ::umount2(QFile::encodeName(path_).constData(), MNT_DETACH);
        }
    }
    NearlyFullDirectory(const NearlyFullDirectory&) = delete;
    NearlyFullDirectory& operator=(const NearlyFullDirectory&) = delete;

    // Fills the tmpfs until `bytes` are left, or limits every file to them.
    void leaveFree(qint64 bytes) {
        room_ = bytes;
        struct statvfs fs {};
        if (!mounted_ || ::statvfs(QFile::encodeName(path_).constData(), &fs) != 0) {
            return;
        }
        QFile filler(path_ + "/filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const qint64 free = static_cast<qint64>(fs.f_bavail) * static_cast<qint64>(fs.f_frsize);
        ASSERT_EQ(filler.write(QByteArray(free - bytes, '\0')), free - bytes);
    }
    std::function<void()> childSetup() const {
        if (mounted_) {
            return {};
        }
        const auto room = static_cast<rlim_t>(room_);
        return [room] {
            const rlimit limit{room, room};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        };
    }
    QString reason() const { return mounted_ ? "No space left on device" : "File too large"; }
    bool isMounted() const { return mounted_; }

  private:
    QString path_;
    bool mounted_ = false;
    qint64 room_ = 0;
};

bool isFileType(const QString& path, mode_t type) {
    struct stat s {};
    return ::lstat(QFile::encodeName(path).constData(), &s) == 0 && (s.st_mode & S_IFMT) == type;
}

TEST_F(BatchTest, PrintsTheOutputBoxesAndWritesTheLog) {
    const Result r = run({"--locale", "it_IT"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 9) << r.out.toStdString();
    static const QRegularExpression box(R"(^(TA|TF|Ttot|TB|TL0|TJ) = \S+$)");
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(box.match(lines[i]).hasMatch()) << lines[i].toStdString();
    }
    EXPECT_EQ(lines[5], "TJ = 30");
    // What Ttot and TL0 leave unsaid: the time psi reaches and the column's
    // length, 9999 pieces of ltot / 10000.
    EXPECT_EQ(lines[6], "simulated time = 3E-05 s (level 30)");
    EXPECT_EQ(lines[7], "column length = 1,9998 m (9999 pieces of 0,0002 m)");
    EXPECT_TRUE(lines[8].startsWith("Elaboration : 0,")) << lines[8].toStdString();
    QFile log(logPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count("\r\n"), 58);
}

// A run refused before it showed anything prints only its status, and every
// line of its message carries the program's name.
TEST_F(BatchTest, AFailedRunExitsNonZeroWithTheMessage) {
    const Result r = run({"--locale", "en_US", "--box", "TV0=5,5"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.indexOf("The box TV0 (\"V0 m/s\") holds \"5,5\""), -1) << r.err.toStdString();
    EXPECT_EQ(r.out, "Error!\n");
    for (const QString& line : r.err.split('\n', Qt::SkipEmptyParts)) {
        EXPECT_TRUE(line.startsWith("velarion-batch: ")) << line.toStdString();
    }
}

TEST_F(BatchTest, BadCommandLinesAreRefused) {
    for (const QStringList& args :
         {QStringList{"--box", "Nope=1"}, QStringList{"--box", "TP"},
          QStringList{"--locale", "xx_notalocale"}, QStringList{"stray"},
          QStringList{"--run", "triple"}, QStringList{"--run", "precision", "--csv", "psi.csv"},
          QStringList{"--threads", "0"}, QStringList{"--threads", "2x"},
          QStringList{"--threads", "257"}}) {
        const Result r = run(args);
        EXPECT_EQ(r.exitCode, 64) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
        EXPECT_FALSE(QFile::exists(logPath()));
    }
}

// What the command line means cannot be guessed: a check box's other value,
// an output box, a single-valued option given twice (one silently won), an
// option that goes with another missing, a blank name, a directory where a
// file goes. Each is refused before the run, naming what it refuses.
TEST_F(BatchTest, AmbiguousCommandLinesAreRefusedBeforeTheRun) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    const std::pair<QStringList, const char*> cases[] = {
        {{"--box", "CLogFile=maybe"}, "CLogFile"},
        {{"--box", "CLogFileExc=00"}, "CLogFileExc"},
        {{"--box", "CLogFileExc="}, "CLogFileExc"},
        {{"--box", "TA=5"}, "TA is an output box"},
        {{"--csv", "a.csv", "--csv", "b.csv"}, "--csv is given more than once"},
        {{"--run", "double", "--run", "girotondo"}, "--run is given more than once"},
        {{"--csv-segments", "0"}, "--csv-segments goes with --csv"},
        {{"--csv", ""}, "--csv needs a file name"},
        {{"--energy", " "}, "--energy needs a file name"},
        {{"--save-config", " \t "}, "--save-config needs a file name"},
        {{"--config", "."}, "--config: . is a directory"},
        {{"--csv", "folder"}, "--csv: folder is a directory"},
        {{"--box", "CLogFileExc=1", "-C", "folder", "-C", ".."}, ""},
    };
    ASSERT_TRUE(QDir(dir.path()).mkdir("LogFile.xls"));
    for (const auto& [args, says] : cases) {
        const Result r = run(args);
        const QString expected = *says ? QString::fromLatin1(says) : "LogFile.xls is a directory";
        EXPECT_EQ(r.exitCode, 64) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("velarion-batch: ") && r.err.contains(expected))
            << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_FALSE(ran()) << args.join(' ').toStdString();
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// Check boxes take 1 or 0 and their words, in any case.
TEST_F(BatchTest, CheckBoxesTakeTheirWords) {
    EXPECT_EQ(run({"--box", "CLogFile=No", "--box", "CLogFileExc=OFF"}).exitCode, 0);
    EXPECT_FALSE(ran());
    EXPECT_EQ(run({"--box", "CLogFile=yes", "--box", "CLogFileExc=false"}).exitCode, 0);
    EXPECT_TRUE(ran());
    EXPECT_FALSE(QFile::exists(dir.filePath("LogFile.xls")));
}

// One rule for the locale, wherever it is named: a name Qt does not know is
// refused, not read as C.
TEST_F(BatchTest, AnUnknownLocaleInTheEnvironmentIsRefused) {
    auto env = QProcessEnvironment::systemEnvironment();
    env.remove("LC_ALL");
    env.remove("LC_NUMERIC");
    env.insert("LANG", "xx_YY.UTF-8");
    const QString program = QStringLiteral(VELARION_BATCH_PATH);
    const Result refused = runProgram(program, {}, env);
    EXPECT_EQ(refused.exitCode, 64);
    EXPECT_TRUE(refused.err.startsWith("velarion-batch: unknown locale 'xx_YY.UTF-8' in LANG"))
        << refused.err.toStdString();
    EXPECT_FALSE(ran());
    EXPECT_EQ(runProgram(program, {"--locale", "C", "--box", "CLogFile=0"}, env).exitCode, 0);
    env.insert("LC_NUMERIC", "it_IT.UTF-8");
    const Result italian = runProgram(program, {"--box", "CLogFile=0"}, env);
    EXPECT_EQ(italian.exitCode, 0) << italian.err.toStdString();
    EXPECT_TRUE(italian.out.contains("Elaboration : 0,")) << italian.out.toStdString();
}

// --check-boxes reads every box the run reads, as the run reads it, and
// runs nothing; with --save-config the file is written only when they read.
TEST_F(BatchTest, CheckBoxesReadsTheBoxesWithoutARun) {
    const QStringList english{"--locale", "en_US", "--check-boxes"};
    EXPECT_EQ(run(english + QStringList{"--box", "TP=5.5"}).exitCode, 0);
    const Result comma = run(english + QStringList{"--box", "TP=5,5", "--save-config", "p.cnf"});
    EXPECT_EQ(comma.exitCode, 64);
    EXPECT_TRUE(comma.err.startsWith("velarion-batch: the box TP (") &&
                comma.err.contains("holds \"5,5\", which is not a number here"))
        << comma.err.toStdString();
    const Result n = run(english + QStringList{"--run", "girotondo", "--box", "TN=40000"});
    EXPECT_EQ(n.exitCode, 64);
    EXPECT_TRUE(n.err.contains("outside the range -32768 to 32767")) << n.err.toStdString();
    // The double run never reads TN; the decimal run reads TD beyond the doubles.
    EXPECT_EQ(run(english + QStringList{"--box", "TN=40000"}).exitCode, 0);
    EXPECT_EQ(run(english + QStringList{"--run", "precision", "--box", "TD=1e400"}).exitCode, 0);
    EXPECT_EQ(run(english + QStringList{"--box", "TD=1e400"}).exitCode, 64);
    EXPECT_FALSE(ran());
    EXPECT_FALSE(QFile::exists(dir.filePath("p.cnf")));
}

// A thread count in the environment that cannot be read is named, and the
// run goes on; --threads overrides it without a word.
TEST_F(BatchTest, AnUnreadableThreadCountInTheEnvironmentIsNamed) {
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("VELARION_THREADS", "two");
    const QString program = QStringLiteral(VELARION_BATCH_PATH);
    const Result warned = runProgram(program, {"--box", "CLogFile=0"}, env);
    EXPECT_EQ(warned.exitCode, 0);
    EXPECT_TRUE(warned.err.contains("VELARION_THREADS holds 'two'")) << warned.err.toStdString();
    const Result overridden = runProgram(program, {"--box", "CLogFile=0", "--threads", "1"}, env);
    EXPECT_EQ(overridden.exitCode, 0);
    EXPECT_EQ(overridden.err, "");
    // One reading for both: blanks around the number are allowed.
    env.insert("VELARION_THREADS", " 3");
    const Result padded = runProgram(program, {"--box", "CLogFile=0"}, env);
    EXPECT_EQ(padded.exitCode, 0);
    EXPECT_EQ(padded.err, "");
    EXPECT_EQ(run({"--box", "CLogFile=0", "--threads", " 2"}).exitCode, 0);
}

// Whatever the thread count, the same files, stderr and output boxes (the
// elapsed time aside): a Girotondo run whose seed end grows unstable, and a
// double run that fails beyond the Courant limit.
TEST_F(BatchTest, AnyThreadCountWritesTheSameFilesAndMessages) {
    const QStringList girotondo{"--run",      "girotondo",
                                "--box",      "TP=1",
                                "--box",      "TN=60",
                                "--box",      "TINDICE_MATRICE2=2100",
                                "--box",      "TINDICE_MATRICE1=80",
                                "--box",      "Tnitertemp=80",
                                "--envelope", "envelope.csv"};
    const QStringList failing{"--run", "double",
                              "--box", "TP=1",
                              "--box", "TDeltaT=0.000006",
                              "--box", "TINDICE_MATRICE2=3000",
                              "--box", "TINDICE_MATRICE1=500",
                              "--box", "Tnitertemp=500"};
    const QStringList files{"LogFile.txt", "energy.csv", "envelope.csv", "psi.csv"};
    for (const QStringList& runArgs : {girotondo, failing}) {
        QString firstOut, firstErr;
        QList<QByteArray> firstFiles;
        for (const char* threads : {"1", "2", "3"}) {
            const QString where = QStringLiteral("threads%1").arg(threads);
            ASSERT_TRUE(QDir(dir.path()).mkpath(where));
            const Result r =
                run(runArgs + QStringList{"-C", dir.filePath(where), "--threads", threads,
                                          "--energy", "energy.csv", "--csv", "psi.csv"});
            const QString out = r.out.section(QStringLiteral("Elaboration"), 0, 0);
            QList<QByteArray> written;
            for (const QString& file : files) {
                written.append(read(where + QLatin1Char('/') + file));
            }
            if (firstFiles.isEmpty()) {
                ASSERT_FALSE(r.err.isEmpty()) << "the run should warn or fail";
                firstOut = out;
                firstErr = r.err;
                firstFiles = written;
                continue;
            }
            EXPECT_EQ(out, firstOut) << threads << " threads";
            EXPECT_EQ(r.err, firstErr) << threads << " threads";
            for (qsizetype i = 0; i < files.size(); ++i) {
                EXPECT_TRUE(written[i] == firstFiles[i])
                    << files[i].toStdString() << ", " << threads << " threads";
            }
        }
    }
}

TEST_F(BatchTest, GirotondoRunsHeadless) {
    const Result r = run({"--locale", "it_IT", "--run", "girotondo"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("TJ = 30\nTK = 3\n")) << r.out.toStdString();
    EXPECT_TRUE(read("LogFile.txt").startsWith("1) -6,05"));
    // Ttot counts N · nitertemp time steps; the rows reach level 3·N·30 − 1.
    EXPECT_TRUE(r.out.contains("Ttot = 0,00012\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("simulated time = 0,000359 s (level 359)\n")) << r.out.toStdString();

    const Result failed =
        run({"--locale", "it_IT", "--run", "girotondo", "--box", "Tnitertemp=31"});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_TRUE(failed.err.startsWith("velarion-batch: Error: Snapshot 31 does not fit"))
        << failed.err.toStdString();
}

TEST_F(BatchTest, ASecondCtrlCEndsTheRunAtOnceLeavingWholeRecords) {
    QProcess process;
    ASSERT_NO_FATAL_FAILURE(startSlowGirotondo(process, "30"));
    ASSERT_NO_FATAL_FAILURE(interrupt(process));
    EXPECT_EQ(process.state(), QProcess::Running);  // the first waits for a pump point
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 130);
    QFile log(logPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString records = QString::fromLatin1(log.readAll());
    EXPECT_TRUE(QRegularExpression(R"(\A(\d+\) \S+ \t\S+\r\n\r\n)+\z)").match(records).hasMatch())
        << records.toStdString();
}

TEST_F(BatchTest, ARunThatEndsAfterACtrlCIsNotReportedAsCompleted) {
    QProcess process;
    ASSERT_NO_FATAL_FAILURE(startSlowGirotondo(process, "2"));  // ends before any pump point
    ASSERT_NO_FATAL_FAILURE(interrupt(process));
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 1);
    err += process.readAllStandardError();
    EXPECT_TRUE(err.contains("interrupted, but the run came to its end")) << err.toStdString();
}

TEST_F(BatchTest, AFailedWriteToStdoutIsAFailure) {
    for (const QStringList& args : {QStringList{"--box", "CLogFile=0"}, QStringList{"--help"}}) {
        const Result r = run(args, "/dev/full");
        EXPECT_EQ(r.exitCode, 74) << args.join(' ').toStdString();
        EXPECT_NE(r.err.indexOf("stdout"), -1) << r.err.toStdString();
    }
}

TEST_F(BatchTest, PrecisionRunPrintsTheLogLinesThenTheBoxes) {
    const Result r = run({"--locale", "it_IT", "--run", "precision", "--box", "TINDICE_MATRICE2=50",
                          "--box", "CLogFileExc=1"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err,
              "velarion-batch: CLogFileExc is ignored: the precision run never writes "
              "LogFile.xls\n");
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 35) << r.out.toStdString();
    EXPECT_EQ(lines[0], "2) -0,000011");
    EXPECT_EQ(lines[28], "30) -0,000165");
    EXPECT_TRUE(lines[29].startsWith("TA = 0,000314159265358979")) << lines[29].toStdString();
    EXPECT_EQ(lines[34], "TJ = 30");
    EXPECT_EQ(read("LogFile.txt").count("\r\n"), 58);

    const Result failed = run({"--locale", "it_IT", "--run", "precision", "--box", "Tltot=0"});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_TRUE(failed.err.contains("Divide: division by zero at level 2, segment 0"))
        << failed.err.toStdString();
}

// The comparison runs the double model without a log, so LogFile.txt keeps
// the decimal records.
TEST_F(BatchTest, CompareDoublePrintsAFiniteWorstDifference) {
    const Result r = run({"--locale", "it_IT", "--run", "precision", "--compare-double"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QRegularExpression worst(
        QStringLiteral(R"(worst absolute difference (\S+) at level (\d+); worst relative )"
                       R"(difference (\S+) at level \d+\n\z)"));
    const auto match = worst.match(r.out);
    ASSERT_TRUE(match.hasMatch()) << r.out.right(300).toStdString();
    const double absolute = QLocale(QLocale::Italian).toDouble(match.captured(1));
    EXPECT_TRUE(std::isfinite(absolute) && absolute > 0 && absolute < 1e-9) << absolute;
    EXPECT_EQ(r.out.count(QRegularExpression(QStringLiteral("(?m)^\\d+\t"))),
              31);  // levels 0 to 30
    QFile log(logPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().startsWith("2) -0,000011\r\n\r\n"));
    EXPECT_EQ(run({"--compare-double"}).exitCode, 64);
}

// The precision run cannot be stopped, so Ctrl-C ends the program at once;
// each record is written whole, so the log ends on a record's end.
TEST_F(BatchTest, InterruptEndsThePrecisionRunAtOnceWithWholeRecords) {
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(
        QStringLiteral(VELARION_BATCH_PATH),
        {"--locale", "it_IT", "--run", "precision", "--box", "TP=1", "--box",
         "TINDICE_MATRICE1=3000", "--box", "Tnitertemp=3000", "--box", "TINDICE_MATRICE2=1000"});
    // Level 3 on stdout: the record of level 2 is in the file.
    QByteArray out;
    while (out.count('\n') < 2 && process.waitForReadyRead(30000)) {
        out += process.readAllStandardOutput();
    }
    ASSERT_GE(out.count('\n'), 2);
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
    QFile log(logPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray bytes = log.readAll();
    EXPECT_TRUE(bytes.startsWith("2) -0,00001095\r\n\r\n")) << bytes.left(40).toStdString();
    EXPECT_TRUE(bytes.endsWith("\r\n\r\n"));
    EXPECT_LT(bytes.count("\r\n\r\n"), 2999);
}

// The export answers its question itself and says where it saved, once; a
// failed export fails the program even though the run completed.
TEST_F(BatchTest, ExportsLogFileXlsNextToTheLog) {
    const QStringList args{"--locale", "it_IT", "--box", "CLogFileExc=1"};
    childSetup = [] {
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    };
    const Result blocked = run(args);
    EXPECT_EQ(blocked.exitCode, 74);
    EXPECT_EQ(blocked.err,
              "velarion-batch: ERROR: File LogFile.xls not saved!!! (LogFile.xls: File too "
              "large)\n");
    EXPECT_FALSE(QFile::exists(dir.filePath("LogFile.xls")));

    childSetup = {};
    const Result saved = run(args);
    EXPECT_EQ(saved.exitCode, 0) << saved.err.toStdString();
    EXPECT_EQ(saved.err, "velarion-batch: LogFile.xls saved in " +
                             QFileInfo(dir.path()).canonicalFilePath() + "\n");
    EXPECT_GT(QFile(dir.filePath("LogFile.xls")).size(), 0);
    EXPECT_TRUE(QFile::exists(logPath()));
}

// On a disk that fills, every output keeps its old file byte for byte, the
// message gives the system's reason and no temporary file is left behind.
TEST_F(BatchTest, AFullDiskKeepsEveryOldFileAndSaysWhy) {
    NearlyFullDirectory disk(dir.filePath("full"));
    const QStringList names{"LogFile.xls", "psi.csv", "plot.png", "plot.svg", "base.cnf", "run.nc"};
    for (const QString& name : names) {
        write("full/" + name, "old " + name.toLatin1());
    }
    ASSERT_NO_FATAL_FAILURE(disk.leaveFree(8192));
    childSetup = disk.childSetup();
    const QStringList onDisk{"-C", "full", "--box", "CLogFile=0"};
    const QStringList longRun{"--box", "TINDICE_MATRICE1=3000", "--box", "Tnitertemp=3000"};

    Result r = run(onDisk + longRun +
                   QStringList{"--box", "CLogFileExc=1", "--csv", "psi.csv", "--plot", "plot.png",
                               "--results", "run.nc"});
    EXPECT_EQ(r.exitCode, 74);
    // Under a file size limit the results file's netCDF scratch file fails
    // first, in the library's words.
    EXPECT_GE(r.err.count(disk.reason()), disk.isMounted() ? 4 : 3) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("velarion-batch: --results: ")) << r.err.toStdString();
    r = run(onDisk + longRun + QStringList{"--plot", "plot.svg"});
    EXPECT_EQ(r.exitCode, 74);
    EXPECT_TRUE(r.err.contains(disk.reason())) << r.err.toStdString();
    r = run(onDisk +
            QStringList{"--box", "TD=" + QString(20000, '1'), "--save-config", "base.cnf"});
    EXPECT_EQ(r.exitCode, 73);
    EXPECT_TRUE(r.err.contains(disk.reason())) << r.err.toStdString();

    for (const QString& name : names) {
        EXPECT_EQ(read("full/" + name), "old " + name.toLatin1()) << name.toStdString();
    }
    EXPECT_EQ(QDir(dir.filePath("full")).entryList(QDir::Files | QDir::Hidden).size(),
              names.size() + (disk.isMounted() ? 1 : 0));
}

// Device nodes are written into, never replaced: a twin of /dev/null takes
// every output, a twin of /dev/full refuses with the system's reason.
TEST_F(BatchTest, DevicesAreWrittenInPlace) {
    const QStringList nulls{"null.csv", "null.png", "LogFile.xls"};
    for (const QString& name : nulls + QStringList{"full.cnf"}) {
        const dev_t device = name == "full.cnf" ? makedev(1, 7) : makedev(1, 3);
        if (::mknod(QFile::encodeName(dir.filePath(name)).constData(), S_IFCHR | 0666, device) !=
            0) {
            GTEST_SKIP() << "no device nodes here: mknod: " << std::strerror(errno);
        }
    }
    const Result r = run({"--box", "CLogFileExc=1", "--csv", "null.csv", "--plot", "null.png"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const Result full = run({"--save-config", "full.cnf"});
    EXPECT_EQ(full.exitCode, 73);
    EXPECT_TRUE(full.err.contains("No space left on device")) << full.err.toStdString();
    for (const QString& name : nulls + QStringList{"full.cnf"}) {
        EXPECT_TRUE(isFileType(dir.filePath(name), S_IFCHR)) << name.toStdString();
    }
}

// A FIFO and the standard output take the CSV as it is written; the FIFO
// stays a FIFO, and with --csv - the output boxes go to stderr.
TEST_F(BatchTest, PipesTakeTheCsvInPlace) {
    ASSERT_EQ(run({"--csv", "psi.csv"}).exitCode, 0);
    const QByteArray csv = read("psi.csv");
    const QByteArray fifo = QFile::encodeName(dir.filePath("fifo.csv"));
    const QByteArray sameFifo = QFile::encodeName(dir.filePath("fifo.keep"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0666), 0);
    ASSERT_EQ(::link(fifo.constData(), sameFifo.constData()), 0);
    QByteArray received;
    std::atomic<bool> done = false;
    std::thread reader([&] {
        received = velarion::testing::contentsOf(QFile::decodeName(fifo));
        done = true;
    });
    const Result r = run({"--csv", "fifo.csv"});
    // A reader that no writer reached gets its end of file.
    while (!done) {
        const int fd = ::open(sameFifo.constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            ::close(fd);
        }
        QThread::msleep(10);
    }
    reader.join();
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(received, csv);
    EXPECT_TRUE(isFileType(QFile::decodeName(fifo), S_IFIFO));

    const Result piped = run({"--csv", "-"});
    EXPECT_EQ(piped.exitCode, 0) << piped.err.toStdString();
    EXPECT_EQ(piped.out.toLatin1(), csv);
    EXPECT_TRUE(piped.err.contains("\nTJ = 30\n")) << piped.err.toStdString();
}

// A link to a regular file keeps leading there, to the new file with the
// old one's mode; a link to nothing is refused, naming both.
TEST_F(BatchTest, LinksKeepLeadingToTheirFiles) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("other"));
    write("other/victim.txt", "victim");
    const QString victim = dir.filePath("other/victim.txt");
    ASSERT_EQ(::chmod(QFile::encodeName(victim).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link("other/victim.txt", dir.filePath("LogFile.xls")));
    ASSERT_TRUE(QFile::link("gone.csv", dir.filePath("link.csv")));

    const Result r = run({"--box", "CLogFileExc=1"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QFileInfo(dir.filePath("LogFile.xls")).symLinkTarget(), victim);
    EXPECT_TRUE(read("other/victim.txt").startsWith("\xD0\xCF\x11\xE0"));
    struct stat s {};
    ASSERT_EQ(::stat(QFile::encodeName(victim).constData(), &s), 0);
    EXPECT_EQ(s.st_mode & 0777, 0640u);

    // A link to nothing is refused before the run, the log's as well.
    const Result dangling = run({"--csv", "link.csv"});
    EXPECT_EQ(dangling.exitCode, 64);
    EXPECT_TRUE(
        dangling.err.contains("link.csv is a symbolic link to gone.csv, which does not exist"))
        << dangling.err.toStdString();
    EXPECT_TRUE(dangling.out.isEmpty()) << dangling.out.toStdString();  // never ran
    ASSERT_TRUE(QFile::remove(logPath()));
    ASSERT_TRUE(QFile::link("nowhere.txt", logPath()));
    const Result log = run({});
    EXPECT_EQ(log.exitCode, 64);
    EXPECT_TRUE(
        log.err.contains("LogFile.txt is a symbolic link to nowhere.txt, which does not exist"))
        << log.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("gone.csv")));
    EXPECT_FALSE(QFile::exists(dir.filePath("nowhere.txt")));
}

// "-" is the standard output for every output that can stream; the output
// boxes then go to stderr. Two outputs there would mix, so they are refused.
TEST_F(BatchTest, DashIsTheStandardOutputForEveryOutputThatStreams) {
    const QStringList quiet{"--box", "CLogFile=0"};
    ASSERT_EQ(run(quiet + QStringList{"--energy", "e.csv", "--envelope", "v.csv"}).exitCode, 0);
    for (const auto& [option, file] : {std::pair{"--energy", "e.csv"}, {"--envelope", "v.csv"}}) {
        const Result r = run(quiet + QStringList{option, "-"});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out.toLatin1(), read(file)) << option;
        EXPECT_TRUE(r.err.contains("\nTJ = 30\n")) << r.err.toStdString();
    }
    ASSERT_EQ(run({"--box", "TP=2", "--save-config", "p.cnf"}).exitCode, 0);
    const Result saved = run({"--box", "TP=2", "--save-config", "-"});
    EXPECT_EQ(saved.exitCode, 0);
    EXPECT_EQ(saved.out.toLatin1(), read("p.cnf"));
    EXPECT_FALSE(QFile::exists(dir.filePath("-")));

    for (const QStringList& args : {QStringList{"--energy", "-", "--envelope", "-"},
                                    QStringList{"--energy", "/dev/stdout", "--csv", "-"},
                                    QStringList{"--csv", "-", "--verify"}}) {
        const Result r = run(args);
        EXPECT_EQ(r.exitCode, 64) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("both write to the standard output")) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_FALSE(ran());
}

// The temporary file beside an output has a short name of its own, so any
// name the file system takes for the output is written.
TEST_F(BatchTest, AnyNameTheFileSystemTakesIsWritten) {
    const QString name = QString(251, 'y') + ".csv";  // NAME_MAX, 255 bytes
    const Result r = run({"--box", "CLogFile=0", "--csv", name});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
}

// Two outputs that lead to one file are refused before the run, links
// followed; the standard output counts when it is a file.
TEST_F(BatchTest, OutputsNamingTheSameFileAreRefusedBeforeTheRun) {
    ASSERT_TRUE(QFile::link("LogFile.txt", dir.filePath("log.png")));
    for (const QStringList& args : {QStringList{"--csv", "LogFile.txt"},
                                    QStringList{"--csv", "same.png", "--plot", "same.png"},
                                    QStringList{"--box", "CLogFileExc=1", "--csv", "./LogFile.xls"},
                                    QStringList{"--plot", "log.png"}}) {
        const Result r = run(args);
        EXPECT_EQ(r.exitCode, 64) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("lead to the same file")) << r.err.toStdString();
    }
    const Result toStdout = run({"--csv", "out.txt"}, dir.filePath("out.txt"));
    EXPECT_EQ(toStdout.exitCode, 64);
    EXPECT_TRUE(toStdout.err.contains("--csv and the standard output lead to the same file"))
        << toStdout.err.toStdString();
    EXPECT_FALSE(ran());
    EXPECT_FALSE(QFile::exists(dir.filePath("same.png")));
    EXPECT_EQ(run({"--box", "CLogFile=0", "--csv", "LogFile.txt"}).exitCode, 0);
}

// The help names every box and check box --box takes.
TEST_F(BatchTest, HelpAndVersionRunNothing) {
    for (const char* help : {"--help", "--help-all"}) {
        const Result r = run({help});
        EXPECT_EQ(r.exitCode, 0) << help;
        EXPECT_NE(r.out.indexOf("--save-config"), -1) << help;
        for (const ParameterBox& box : parameterBoxes()) {
            EXPECT_TRUE(r.out.contains(QStringLiteral("\n  %1 ").arg(controlName(box.name))))
                << controlName(box.name).toStdString();
        }
        EXPECT_TRUE(r.out.contains("\n  CLogFile ")) << help;
        EXPECT_TRUE(r.out.contains("\n  CLogFileExc ")) << help;
    }
    const Result version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "velarion-batch " VELARION_VERSION "\n");
    EXPECT_FALSE(ran());
}

TEST_F(BatchTest, ConfigIsLoadedFirstAndBoxesOverrideIt) {
    write("base.cnf", QByteArray("7\n8\n9\n10\n11\n12\n13\n14\n15\n16\n17\nignored\n"));
    const Result r = run({"--box", "TP=2", "--config", "base.cnf", "--save-config", "sweep 2.cnf"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(read("sweep 2.cnf"),
              "7\r\n8\r\n9\r\n10\r\n11\r\n12\r\n13\r\n14\r\n15\r\n2\r\n17\r\n");
    EXPECT_TRUE(r.out.isEmpty());  // a save does not run
    EXPECT_FALSE(ran());
}

TEST_F(BatchTest, ASavedConfigDrivesTheRun) {
    const QStringList locale{"--locale", "en_US"};
    ASSERT_EQ(run(locale +
                  QStringList{"--box", "TP=1", "--box", "Tnitertemp=20", "--save-config", "p1.cnf"})
                  .exitCode,
              0);
    const Result r = run(locale + QStringList{"--config", "p1.cnf", "--box", "CLogFile=0"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("TA = 0.0003\nTF = 3.1416\n")) << r.out.toStdString();
    EXPECT_NE(r.out.indexOf("TJ = 20\n"), -1) << r.out.toStdString();
    EXPECT_FALSE(ran());
}

TEST_F(BatchTest, AConfigThatCannotBeLoadedStopsBeforeTheRun) {
    write("short.cnf", "30\r\n9999\r\n");
    Result r;
    for (const char* name : {"short.cnf", "missing.cnf"}) {
        r = run({"--config", name, "--save-config", "out.cnf"});
        EXPECT_EQ(r.exitCode, 66) << name;
        EXPECT_NE(r.err.indexOf(QStringLiteral("\"%1\" could not be loaded").arg(name)), -1)
            << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_FALSE(QFile::exists(dir.filePath("out.cnf")));
        EXPECT_FALSE(ran());
    }
    EXPECT_NE(r.err.indexOf("No such file"), -1) << r.err.toStdString();
}

TEST_F(BatchTest, ASaveThatFailsIsReported) {
    Result r = run({"--save-config", "no/such/dir/x.cnf"});
    EXPECT_EQ(r.exitCode, 73);
    EXPECT_NE(r.err.indexOf("\"no/such/dir/x.cnf\" could not be saved"), -1) << r.err.toStdString();
    r = run({"--box", QString::fromUtf8("TRho=1\xE2\x82\xAC"), "--save-config", "e.cnf"});
    EXPECT_EQ(r.exitCode, 73);
    EXPECT_NE(r.err.indexOf("The box TRho"), -1) << r.err.toStdString();
    for (const char* blank : {"", " \t "}) {
        r = run({"--save-config", blank});
        EXPECT_EQ(r.exitCode, 64) << '"' << blank << '"';
        EXPECT_NE(r.err.indexOf("--save-config needs a file name"), -1) << r.err.toStdString();
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

// Under cron or sudo XDG_RUNTIME_DIR is not set; the plot needs none and
// says nothing about it.
TEST_F(BatchTest, PlotDrawsTheThreeChartsOffscreen) {
    auto env = QProcessEnvironment::systemEnvironment();
    env.remove("XDG_RUNTIME_DIR");
    const Result plotted = runProgram(QStringLiteral(VELARION_BATCH_PATH),
                                      {"--box", "TP=1", "--plot", "plot.png"}, env);
    ASSERT_EQ(plotted.exitCode, 0);
    EXPECT_EQ(plotted.err, "");
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

    ASSERT_EQ(run({"--plot", "plot.svg"}).exitCode, 0);
    EXPECT_TRUE(read("plot.svg").contains("<svg"));
    EXPECT_EQ(run({"--plot", "plot.pdf"}).exitCode, 64);
}

// --plot-page draws one tab of the results window: one chart a third of
// the default picture's height, two for the envelope, which the Girotondo
// run then keeps.
TEST_F(BatchTest, PlotPageDrawsOneTabOfTheResults) {
    ASSERT_EQ(run({"--plot", "energy.png", "--plot-page", "energy"}).exitCode, 0);
    EXPECT_EQ(QImage(dir.filePath("energy.png")).size(), QSize(1000, 400));
    ASSERT_EQ(run({"--plot", "profile.png", "--plot-page", "profile"}).exitCode, 0);
    EXPECT_EQ(QImage(dir.filePath("profile.png")).size(), QSize(1000, 400));
    ASSERT_EQ(
        run({"--run", "girotondo", "--plot", "envelope.svg", "--plot-page", "envelope"}).exitCode,
        0);
    const QByteArray svg = read("envelope.svg");
    EXPECT_TRUE(svg.contains("height=\"800\"")) << svg.left(400).toStdString();
    EXPECT_TRUE(svg.contains("Envelope of the stress"));

    const Result unknown = run({"--plot", "x.png", "--plot-page", "stress"});
    EXPECT_EQ(unknown.exitCode, 64);
    EXPECT_TRUE(unknown.err.contains("unknown plot page 'stress'")) << unknown.err.toStdString();
    EXPECT_EQ(run({"--plot-page", "energy"}).exitCode, 64);
    EXPECT_FALSE(QFile::exists(dir.filePath("x.png")));
}

TEST_F(BatchTest, DirectoryOptionTakesEveryFileThere) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("run"));
    ASSERT_EQ(run({"-C", "run", "--csv", "psi.csv", "--csv-segments", "5"}).exitCode, 0);
    const QList<QByteArray> lines = read("run/psi.csv").split('\n');
    EXPECT_EQ(lines.size(), 33);
    EXPECT_EQ(lines[0], "row,time (s),\"psi(j, 5) (m)\"\r");
    EXPECT_TRUE(QFile::exists(dir.filePath("run/LogFile.txt")));
    EXPECT_FALSE(QFile::exists(dir.filePath("LogFile.txt")));

    // Each -C is taken in the one before, as make has it.
    ASSERT_TRUE(QDir(dir.path()).mkpath("run/inner"));
    ASSERT_EQ(run({"-C", "run", "-C", "inner", "--box", "CLogFile=0", "--csv", "psi.csv"}).exitCode,
              0);
    EXPECT_TRUE(QFile::exists(dir.filePath("run/inner/psi.csv")));

    const Result missing = run({"-C", "nowhere"});
    EXPECT_EQ(missing.exitCode, 66);
    EXPECT_TRUE(missing.err.contains("nowhere: No such file or directory"))
        << missing.err.toStdString();
    const Result unwritable = run({"--csv", "nowhere/psi.csv"});
    EXPECT_EQ(unwritable.exitCode, 74);
    EXPECT_TRUE(unwritable.err.contains("No such file or directory"))
        << unwritable.err.toStdString();
    EXPECT_EQ(run({"--csv", "psi.csv", "--csv-segments", "x"}).exitCode, 64);
}

// The segments are checked against the boxes as set, before the run.
TEST_F(BatchTest, CsvSegmentsBeyondTheLastAreRefusedBeforeTheRun) {
    for (const auto& [boxes, range] :
         {std::pair{QStringList{}, "0 to 9999"},
          std::pair{QStringList{"--box", "TINDICE_MATRICE2=50"}, "0 to 50"}}) {
        const Result r = run(boxes + QStringList{"--csv", "psi.csv", "--csv-segments", "0,10000"});
        EXPECT_EQ(r.exitCode, 64);
        EXPECT_TRUE(r.err.startsWith(
            QStringLiteral("velarion-batch: --csv-segments: \"10000\" is not a segment: "
                           "segments run from %1\n")
                .arg(range)))
            << r.err.toStdString();
        EXPECT_FALSE(ran());
    }
}

// The batch host's own answers: boxes and check boxes by name, questions
// declined unless accepted, TLog's new lines on stdout without their CRs.
TEST(BatchHost, HoldsTheControlsAnswersAndPrintsTheLog) {
    velarion::BatchHost host(QLocale::c());
    QString error;
    EXPECT_TRUE(host.assign("TV0", "7", error));
    EXPECT_EQ(host.text(velarion::ctl::TV0), "7");
    EXPECT_FALSE(host.assign("Nope", "1", error));
    EXPECT_FALSE(host.assign("TJ", "1", error));
    EXPECT_TRUE(host.isTicked(velarion::ctl::CLogFile));
    for (const char* off : {"0", " OFF ", "no", "false"}) {
        ASSERT_TRUE(host.assign("CLogFile", "1", error));
        ASSERT_TRUE(host.assign("CLogFile", off, error));
        EXPECT_FALSE(host.isTicked(velarion::ctl::CLogFile)) << off;
    }
    // Any other value is refused and changes nothing.
    for (const char* unclear : {"", "00", "0.0", "n", "x", "maybe", "2"}) {
        EXPECT_FALSE(host.assign("CLogFile", unclear, error)) << unclear;
        EXPECT_TRUE(error.contains("CLogFile")) << error.toStdString();
        EXPECT_FALSE(host.isTicked(velarion::ctl::CLogFile)) << unclear;
    }

    using velarion::MessageAnswer;
    using velarion::MessageButtons;
    const velarion::MessageRequest question{
        "Export?", "Q", velarion::MessageIcon::None, MessageButtons::YesNo, {}};
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(host.messageBox(question), MessageAnswer::No);
    EXPECT_EQ(host.messageBox({"Failed", "ERROR", {}, MessageButtons::Ok, "why\nand how"}),
              MessageAnswer::Ok);
    host.acceptQuestion("Export?");
    EXPECT_EQ(host.messageBox(question), MessageAnswer::Yes);
    host.silenceMessage("Done");
    EXPECT_EQ(host.messageBox({"Done", "OK", {}, MessageButtons::Ok, {}}), MessageAnswer::Ok);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "velarion-batch: Q: Export?\nvelarion-batch: ERROR: Failed (why and how)\n");

    ::testing::internal::CaptureStdout();
    host.setText(velarion::ctl::TLog, "2) a\r\n");
    host.setText(velarion::ctl::TLog, "2) a\r\n3) b\r\n");
    host.setText(velarion::ctl::TLog, "");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "2) a\n3) b\n");
}

// A first Ctrl-C during the run only asks it to stop: the process goes on,
// and the request outlasts the run's clearing StopFlag.
TEST(BatchHost, ACtrlCActsAsStopForTheWholeProcess) {
    velarion::BatchHost host(QLocale::c());
    EXPECT_FALSE(host.stopFlag());
    velarion::BatchHost::handleInterrupts();
    velarion::BatchHost::setRunUnderWay(true);
    ASSERT_EQ(::raise(SIGINT), 0);
    EXPECT_TRUE(velarion::BatchHost::processInterrupted());
    host.setStopFlag(false);
    EXPECT_TRUE(host.stopFlag());
    velarion::BatchHost::setRunUnderWay(false);
}

// The Girotondo end sequence on the batch host: tone, wait, tone. Silent and
// without waits by default; with tones they take at least their length.
TEST(BatchHostTones, SkippedUnlessAskedForAndTheWaitsWithThem) {
    velarion::BatchHost host(QLocale::c());
    const auto endSequenceMs = [&host] {
        const std::int64_t before = host.tickCountMs();
        host.beep(790, 50);
        velarion::AttendiMs(host, 30);
        host.beep(690, 50);
        return host.tickCountMs() - before;
    };
    EXPECT_LT(endSequenceMs(), 130);
    host.setTones(true);
    EXPECT_GE(endSequenceMs(), 130);
}

// Off a terminal the progress is silent unless --progress asks for it;
// then its first line comes at the first pump point, with the part done.
TEST_F(BatchTest, ProgressLinesOnlyWhenAskedForOffATerminal) {
    const QStringList levels{
        "--locale",      "C", "--box", "CLogFile=0", "--box", "TINDICE_MATRICE1=300", "--box",
        "Tnitertemp=300"};
    const Result quiet = run(levels);
    ASSERT_EQ(quiet.exitCode, 0) << quiet.err.toStdString();
    EXPECT_EQ(quiet.err, "");
    const Result told = run(levels + QStringList{"--progress"});
    ASSERT_EQ(told.exitCode, 0) << told.err.toStdString();
    EXPECT_TRUE(told.err.startsWith("velarion-batch: progress: 3.3 %, J = 10\n"))
        << told.err.toStdString();
    EXPECT_TRUE(told.out.contains("TJ = 300\n")) << told.out.toStdString();
}

}  // namespace
