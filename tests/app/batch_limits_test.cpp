// velarion-batch at the edges of the system: a file size limit, an address
// space limit, a pids limit, and the signals that end a program while it
// writes its files.
#include "app/batch_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using velarion::testing::BatchTest;
using velarion::testing::Result;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// A pids cgroup of its own that lets its processes have `max` tasks, threads
// included: in the cgroup v1 pids hierarchy, or in the cgroup v2 root, where
// the machine has one that this process may write (root). `reason()` says
// why not otherwise.
class PidsLimit {
  public:
    explicit PidsLimit(int max) {
        const QString name = QStringLiteral("velarion-test-%1").arg(::getpid());
        if (QFile::exists("/sys/fs/cgroup/pids/cgroup.procs")) {
            path_ = "/sys/fs/cgroup/pids/" + name;
        } else if (velarion::testing::contentsOf("/sys/fs/cgroup/cgroup.controllers")
                       .contains("pids")) {
            writeText("/sys/fs/cgroup/cgroup.subtree_control", "+pids");
            path_ = "/sys/fs/cgroup/" + name;
        } else {
            reason_ = "the machine has no pids cgroup controller";
            return;
        }
        if (::mkdir(QFile::encodeName(path_).constData(), 0755) != 0) {
            reason_ = QStringLiteral("cannot make %1: %2").arg(path_, std::strerror(errno));
            path_.clear();
        } else if (!writeText(path_ + "/pids.max", QByteArray::number(max))) {
            reason_ = QStringLiteral("cannot set %1/pids.max").arg(path_);
        }
    }
    ~PidsLimit() {
        if (!path_.isEmpty()) {
            ::rmdir(QFile::encodeName(path_).constData());
        }
    }
    PidsLimit(const PidsLimit&) = delete;
    PidsLimit& operator=(const PidsLimit&) = delete;

    const QString& reason() const { return reason_; }
    // Moves the child into the cgroup; only system calls, after fork().
    std::function<void()> childSetup() const {
        const QByteArray procs = QFile::encodeName(path_ + "/cgroup.procs");
        return [procs] {
            const int fd = ::open(procs.constData(), O_WRONLY);
            if (fd < 0 || ::write(fd, "0", 1) != 1) {
                ::_exit(125);
            }
            ::close(fd);
        };
    }

  private:
    static bool writeText(const QString& path, const QByteArray& text) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.flush();
    }

    QString path_;
    QString reason_;
};

class BatchLimits : public BatchTest {
  protected:
    // The files the last run left in the directory, hidden ones included.
    QStringList files() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    bool temporaryFileExists() const {
        return !QDir(dir.path())
                    .entryList(QStringList{".*.tmp"}, QDir::Files | QDir::Hidden)
                    .isEmpty();
    }
    // A Girotondo run of 300 000 levels whose --energy file (some 25 MB)
    // takes a while to write; returns once its temporary file is there.
    void startWritingEnergy(QProcess& process) {
        process.setWorkingDirectory(dir.path());
        process.start(
            QStringLiteral(VELARION_BATCH_PATH),
            {"--run", "girotondo", "--free-end", "restoring", "--box", "CLogFile=0", "--box",
             "TN=1000", "--box", "Tnitertemp=100", "--box", "TINDICE_MATRICE1=100", "--box",
             "TINDICE_MATRICE2=10", "--energy", "e.csv"});
        ASSERT_TRUE(process.waitForStarted());
        const QDeadlineTimer deadline(60000);
        while (!temporaryFileExists()) {
            ASSERT_FALSE(deadline.hasExpired()) << files().join(' ').toStdString();
            ASSERT_EQ(process.state(), QProcess::Running) << process.readAllStandardError().data();
            QThread::usleep(200);
        }
    }
};

const QStringList kOutputs{"--energy", "e.csv", "--envelope", "v.csv", "--csv", "c.csv"};

// Qt's raster engine hands large fills to its thread pool and waits for
// them; a thread that cannot start left the program waiting for ever. Under
// a pids limit of 1 no thread starts: the text outputs are written first,
// the output boxes printed, and the plot fails with the reason.
TEST_F(BatchLimits, APlotWithoutThreadsFailsClearlyAfterTheOtherFiles) {
    const PidsLimit limit(1);
    if (!limit.reason().isEmpty()) {
        GTEST_SKIP() << "no pids limit here: " << limit.reason().toStdString();
    }
    childSetup = limit.childSetup();
    const Result r = run(QStringList{"--box", "CLogFile=0", "--plot", "p.png"} + kOutputs);
    EXPECT_EQ(r.exitCode, 74) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("TJ = 30\n")) << r.out.toStdString();
    EXPECT_TRUE(
        r.err.contains("velarion-batch: --plot: The plot p.png could not be drawn: no "
                       "thread could be started to draw the picture"))
        << r.err.toStdString();
    EXPECT_EQ(files(), QStringList({"c.csv", "e.csv", "v.csv"}));
}

// Under a small address space limit the plot is drawn or refused for want
// of memory, and the program ends either way: it neither waits for ever nor
// crashes.
TEST_F(BatchLimits, APlotUnderAnAddressSpaceLimitEnds) {
    if (kAddressSanitizer) {
        GTEST_SKIP() << "AddressSanitizer needs terabytes of address space";
    }
    childSetup = [] {
        const rlimit limit{100'000 * 1024, 100'000 * 1024};  // ulimit -v 100000
        ::setrlimit(RLIMIT_AS, &limit);
    };
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.setChildProcessModifier(childSetup);
    process.start(QStringLiteral(VELARION_BATCH_PATH), {"--box", "CLogFile=0", "--plot", "p.png"});
    ASSERT_TRUE(process.waitForFinished(60000)) << "still running after a minute";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "signal " << process.exitCode();
    const QString said = QString::fromLocal8Bit(process.readAllStandardError());
    if (process.exitCode() == 74) {
        EXPECT_TRUE(said.startsWith("velarion-batch: --plot: ")) << said.toStdString();
        EXPECT_FALSE(QFile::exists(dir.filePath("p.png")));
    } else {
        EXPECT_EQ(process.exitCode(), 0) << said.toStdString();
        EXPECT_FALSE(QImage(dir.filePath("p.png")).isNull());
    }
}

// A line of 32767 segments is drawn with at most four points a pixel
// column of the picture (1000), not with every point: the first, the
// lowest, the highest and the last of each. The SVG draws a line as one
// two-point polyline a step, beside a few dozen for the grid.
TEST_F(BatchLimits, APlotThinsItsLinesToThePicturesColumns) {
    const Result r = run({"--box", "CLogFile=0", "--box", "TP=1", "--box", "TINDICE_MATRICE2=32766",
                          "--plot", "profile.svg", "--plot-page", "profile"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const qsizetype steps = read("profile.svg").count("<polyline ");
    EXPECT_GT(steps, 1000);  // a point a column at least
    EXPECT_LT(steps, 4100);
}

// A file size limit (ulimit -f) makes a write fail with "File too large":
// SIGXFSZ no longer ends the program, so the old file stays, no temporary
// file is left, the results file's failure ends the program cleanly, and
// the log ends on a whole record.
TEST_F(BatchLimits, AFileSizeLimitIsAWriteFailureNotASignal) {
    write("c.csv", "OLD\n");
    childSetup = [] {
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{20 * 1024, 20 * 1024};  // ulimit -f 20
        ::setrlimit(RLIMIT_FSIZE, &limit);
    };
    const QStringList longRun{"--free-end", "restoring",      "--box", "TINDICE_MATRICE1=3000",
                              "--box",      "Tnitertemp=3000"};
    const Result csv = run(longRun + QStringList{"--box", "CLogFile=0", "--csv", "c.csv"});
    EXPECT_EQ(csv.exitCode, 74);
    EXPECT_TRUE(csv.err.contains("--csv: The file c.csv could not be written: File too large"))
        << csv.err.toStdString();
    EXPECT_EQ(read("c.csv"), "OLD\n");
    EXPECT_EQ(files(), QStringList{"c.csv"});

    // The results file fails while NetCDF makes it, and the program ends
    // with its message, not in the HDF5 library's clean-up at exit.
    write("r.nc", "OLD\n");
    const Result results = run({"--box", "CLogFile=0", "--results", "r.nc"});
    EXPECT_EQ(results.exitCode, 74);
    EXPECT_TRUE(results.err.contains("--results: The results file r.nc could not be made"))
        << results.err.toStdString();
    EXPECT_EQ(read("r.nc"), "OLD\n");
    EXPECT_EQ(files(), (QStringList{"c.csv", "r.nc"}));

    const Result log = run(longRun);
    EXPECT_EQ(log.exitCode, 2);
    EXPECT_TRUE(log.err.contains("LogFile.txt cannot be written: File too large"))
        << log.err.toStdString();
    const QByteArray records = read("LogFile.txt");
    EXPECT_TRUE(
        QRegularExpression(R"(\A(\d+\) \S+\r\n\r\n)+\z)").match(QString(records)).hasMatch())
        << records.right(80).toStdString();
}

// SIGTERM (kill, scancel, a time limit) and SIGHUP (a closed terminal) end
// the program as before, by the signal, and Ctrl-C twice with status 130;
// the temporary file of the output being written goes with it.
TEST_F(BatchLimits, SignalsLeaveNoTemporaryFile) {
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        QProcess process;
        ASSERT_NO_FATAL_FAILURE(startWritingEnergy(process));
        ::kill(static_cast<pid_t>(process.processId()), signal);
        if (signal == SIGINT) {
            ::kill(static_cast<pid_t>(process.processId()), signal);
        }
        ASSERT_TRUE(process.waitForFinished(30000));
        if (signal == SIGINT) {
            EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(process.exitCode(), 130);
        } else {
            EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
            EXPECT_EQ(process.exitCode(), signal);
        }
        EXPECT_EQ(files(), QStringList()) << files().join(' ').toStdString();
    }
}

// Once the run is over there is nothing left to stop: a Ctrl-C while the
// program waits for a reader of its FIFO ends it at once.
TEST_F(BatchLimits, ACtrlCAfterTheRunEndsTheProgram) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo.csv")).constData(), 0666), 0);
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(QStringLiteral(VELARION_BATCH_PATH),
                  {"--box", "CLogFile=0", "--energy", "e.csv", "--envelope", "fifo.csv"});
    ASSERT_TRUE(process.waitForStarted());
    // The energy is written, then the envelope waits for a reader.
    const QDeadlineTimer deadline(60000);
    while (!QFile::exists(dir.filePath("e.csv"))) {
        ASSERT_FALSE(deadline.hasExpired());
        QThread::msleep(10);
    }
    QThread::msleep(100);
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(10000)) << "still waiting for a reader";
    EXPECT_EQ(process.exitCode(), 130);
    EXPECT_EQ(process.readAllStandardError(), "\nvelarion-batch: interrupted\n");
}

}  // namespace
