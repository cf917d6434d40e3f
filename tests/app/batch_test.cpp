// velarion-batch as a process: runs, configuration files, result files,
// Ctrl-C; and its window operations, BatchHost, directly.
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

#include <cmath>

#include <csignal>

#include <sys/types.h>

namespace {

using velarion::controlName;
using velarion::ParameterBox;
using velarion::parameterBoxes;

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

class BatchTest : public ::testing::Test {
  protected:
    Result runProgram(const QString& program, const QStringList& args,
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                      const QString& stdoutFile = QString()) {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.setProcessEnvironment(env);
        if (!stdoutFile.isEmpty()) {
            process.setStandardOutputFile(stdoutFile);
        }
        process.start(program, args);
        EXPECT_TRUE(process.waitForFinished(120000));
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }
    Result run(const QStringList& args, const QString& stdoutFile = QString()) {
        return runProgram(QStringLiteral(VELARION_BATCH_PATH), args,
                          QProcessEnvironment::systemEnvironment(), stdoutFile);
    }
    QString logPath() const { return dir.filePath("LogFile.txt"); }
    bool ran() const { return QFile::exists(logPath()); }
    void write(const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray read(const QString& name) const {
        return velarion::testing::contentsOf(dir.filePath(name));
    }

    // A Girotondo run of half a second or more per snapshot, so that its first pump
    // point (the tenth snapshot) is seconds away; returns at its first record.
    void startSlowGirotondo(QProcess& process, const QString& snapshots) {
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(VELARION_BATCH_PATH),
                      {"--locale", "en_US", "--run", "girotondo", "--box", "TV0=0", "--box",
                       "TN=10000", "--box", "TINDICE_MATRICE2=29999", "--box",
                       "TINDICE_MATRICE1=" + snapshots, "--box", "Tnitertemp=" + snapshots});
        ASSERT_TRUE(process.waitForStarted());
        const QDeadlineTimer deadline(60000);
        while (QFileInfo(logPath()).size() == 0) {
            ASSERT_FALSE(deadline.hasExpired());
            QThread::msleep(10);
        }
    }
    // Sends Ctrl-C and waits until the process says it has taken it; what
    // it wrote to stderr so far stays in `err`.
    void interrupt(QProcess& process) {
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        process.setReadChannel(QProcess::StandardError);
        while (!err.contains("Ctrl-C again")) {
            ASSERT_TRUE(process.waitForReadyRead(10000)) << err.toStdString();
            err += process.readAllStandardError();
        }
    }

    QTemporaryDir dir;
    QByteArray err;
};

TEST_F(BatchTest, PrintsTheOutputBoxesAndWritesTheLog) {
    const Result r = run({"--locale", "it_IT"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7) << r.out.toStdString();
    static const QRegularExpression box(R"(^(TA|TF|Ttot|TB|TL0|TJ) = \S+$)");
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(box.match(lines[i]).hasMatch()) << lines[i].toStdString();
    }
    EXPECT_EQ(lines[5], "TJ = 30");
    EXPECT_TRUE(lines[6].startsWith("Elaboration : 0,")) << lines[6].toStdString();
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
          QStringList{"--run", "triple"}, QStringList{"--run", "precision", "--csv", "psi.csv"}}) {
        const Result r = run(args);
        EXPECT_EQ(r.exitCode, 64) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
        EXPECT_FALSE(QFile::exists(logPath()));
    }
}

TEST_F(BatchTest, GirotondoRunsHeadless) {
    const Result r = run({"--locale", "it_IT", "--run", "girotondo"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("TJ = 30\nTK = 3\n")) << r.out.toStdString();
    EXPECT_TRUE(read("LogFile.txt").startsWith("1) -6,05"));

    const Result failed =
        run({"--locale", "it_IT", "--run", "girotondo", "--box", "Tnitertemp=31"});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_TRUE(failed.err.contains(
        "velarion-batch: Error: Error\nvelarion-batch: Snapshot 31 does not fit"))
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
    const Result r =
        run({"--locale", "it_IT", "--run", "precision", "--box", "TINDICE_MATRICE2=50"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
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

// The export answers its question itself; a failed export fails the
// program even though the run completed.
TEST_F(BatchTest, ExportsLogFileXlsNextToTheLog) {
    const QStringList args{"--locale", "it_IT", "--box", "CLogFileExc=1"};
    ASSERT_TRUE(QDir(dir.path()).mkdir("LogFile.xls"));
    const Result blocked = run(args);
    EXPECT_EQ(blocked.exitCode, 74);
    EXPECT_TRUE(blocked.err.contains(
        "velarion-batch: ERROR: File LogFile.xls not saved!!!\nvelarion-batch: LogFile.xls: "))
        << blocked.err.toStdString();

    ASSERT_TRUE(QDir(dir.path()).rmdir("LogFile.xls"));
    const Result saved = run(args);
    EXPECT_EQ(saved.exitCode, 0) << saved.err.toStdString();
    EXPECT_GT(QFile(dir.filePath("LogFile.xls")).size(), 0);
    EXPECT_TRUE(QFile::exists(logPath()));
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
        EXPECT_EQ(r.exitCode, 73) << '"' << blank << '"';
        EXPECT_NE(r.err.indexOf("blank"), -1) << r.err.toStdString();
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

TEST_F(BatchTest, DirectoryOptionTakesEveryFileThere) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("run"));
    ASSERT_EQ(run({"-C", "run", "--csv", "psi.csv", "--csv-segments", "5"}).exitCode, 0);
    const QList<QByteArray> lines = read("run/psi.csv").split('\n');
    EXPECT_EQ(lines.size(), 33);
    EXPECT_EQ(lines[0], "row,time (s),\"psi(j, 5) (m)\"\r");
    EXPECT_TRUE(QFile::exists(dir.filePath("run/LogFile.txt")));
    EXPECT_FALSE(QFile::exists(dir.filePath("LogFile.txt")));

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

// Three counter pressures: the first segment feels them, the last one is
// too far away within 30 levels to notice.
TEST_F(BatchTest, SweepRunsOneDirectoryPerValue) {
    ASSERT_EQ(run({"--locale", "C", "--save-config", "base.cnf"}).exitCode, 0);
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("VELARION_BATCH", VELARION_BATCH_PATH);
    const Result sweep = runProgram(
        VELARION_SWEEP_PATH,
        {"-o", "out", "-j", "2", "-a", "--locale", "-a", "C", "base.cnf", "TP", "0", "1", "2"},
        env);
    ASSERT_EQ(sweep.exitCode, 0) << sweep.err.toStdString();
    const QStringList runs = QDir(dir.filePath("out")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    EXPECT_EQ(runs, QStringList({"01-TP=0", "02-TP=1", "03-TP=2"}));
    QList<QByteArray> rows = read("out/summary.csv").split('\n');
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

// The batch host's own answers: boxes and check boxes by name, questions
// declined unless accepted, TLog's new lines on stdout without their CRs.
TEST(BatchHost, HoldsTheControlsAnswersAndPrintsTheLog) {
    velarion::BatchHost host(QLocale::c());
    EXPECT_TRUE(host.assign("TV0", "7"));
    EXPECT_EQ(host.text(velarion::ctl::TV0), "7");
    EXPECT_FALSE(host.assign("Nope", "1"));
    EXPECT_TRUE(host.isTicked(velarion::ctl::CLogFile));
    for (const char* off : {"0", " OFF ", "no", "false"}) {
        ASSERT_TRUE(host.assign("CLogFile", "1"));
        ASSERT_TRUE(host.assign("CLogFile", off));
        EXPECT_FALSE(host.isTicked(velarion::ctl::CLogFile)) << off;
    }

    using velarion::MessageAnswer;
    using velarion::MessageButtons;
    const velarion::MessageRequest question{
        "Export?", "Q", velarion::MessageIcon::None, MessageButtons::YesNo, {}};
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(host.messageBox(question), MessageAnswer::No);
    EXPECT_EQ(host.messageBox({"Failed", "ERROR", {}, MessageButtons::Ok, "why"}),
              MessageAnswer::Ok);
    host.acceptQuestion("Export?");
    EXPECT_EQ(host.messageBox(question), MessageAnswer::Yes);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "velarion-batch: Q: Export?\nvelarion-batch: ERROR: Failed\nvelarion-batch: why\n");

    ::testing::internal::CaptureStdout();
    host.setText(velarion::ctl::TLog, "2) a\r\n");
    host.setText(velarion::ctl::TLog, "2) a\r\n3) b\r\n");
    host.setText(velarion::ctl::TLog, "");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "2) a\n3) b\n");
}

// A first Ctrl-C only asks the run to stop: the process goes on, and the
// request outlasts a run's start clearing StopFlag.
TEST(BatchHost, ACtrlCActsAsStopForTheWholeProcess) {
    velarion::BatchHost host(QLocale::c());
    EXPECT_FALSE(host.stopFlag());
    velarion::BatchHost::handleInterrupts();
    ASSERT_EQ(::raise(SIGINT), 0);
    EXPECT_TRUE(velarion::BatchHost::processInterrupted());
    host.setStopFlag(false);
    EXPECT_TRUE(host.stopFlag());
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

}  // namespace
