// What `cmake --install` lays out, as the Debian package has it: the
// programs, the desktop entry, the icons, the AppStream data, the man pages,
// the bash completion and the documentation; and that the installed pieces
// find each other.
#include "window/app_icon.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Output {
    int exitCode = -1;
    QString out;
    QString err;
};

Output runProgram(const QString& program, const QStringList& args, const QString& directory,
                  const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setWorkingDirectory(directory);
    process.setProcessEnvironment(env);
    process.start(program, args);
    EXPECT_TRUE(process.waitForFinished(120000)) << program.toStdString();
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// One install into DESTDIR for the whole suite, under the prefix /usr that
// the package uses.
class InstallTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        destdir_ = std::make_unique<QTemporaryDir>();
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("DESTDIR", destdir_->path());
        installed_ = runProgram(VELARION_CMAKE_COMMAND,
                                {"--install", VELARION_BUILD_DIR, "--prefix", "/usr"},
                                destdir_->path(), env);
    }
    static void TearDownTestSuite() { destdir_.reset(); }

    void SetUp() override { ASSERT_EQ(installed_.exitCode, 0) << installed_.err.toStdString(); }
    static QString usr(const QString& path) { return destdir_->filePath("usr/" + path); }

    static std::unique_ptr<QTemporaryDir> destdir_;
    static Output installed_;
    QTemporaryDir work;
};

std::unique_ptr<QTemporaryDir> InstallTest::destdir_;
Output InstallTest::installed_;

TEST_F(InstallTest, LaysOutEveryFileWhereTheDesktopLooksForIt) {
    QStringList files;
    QDirIterator it(destdir_->path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << QDir(destdir_->path()).relativeFilePath(it.next());
    }
    files.sort();
    QStringList expected{
        "usr/bin/velarion",
        "usr/bin/velarion-batch",
        "usr/bin/velarion-sweep",
        "usr/share/applications/velarion.desktop",
        "usr/share/bash-completion/completions/velarion-batch",
        "usr/share/bash-completion/completions/velarion-sweep",
        "usr/share/doc/velarion/LICENSE",
        "usr/share/doc/velarion/README.md",
        "usr/share/doc/velarion/guide-window.png",
        "usr/share/doc/velarion/guide.md",
        "usr/share/doc/velarion/notebook-first-steps.png",
        "usr/share/doc/velarion/results-compared.png",
        "usr/share/doc/velarion/results-energy.png",
        "usr/share/doc/velarion/results-envelope.png",
        "usr/share/doc/velarion/results-profile.png",
        "usr/share/doc/velarion/results-unstable.png",
        "usr/share/doc/velarion/results-water-hammer.png",
        "usr/share/doc/velarion/results-window.png",
        "usr/share/doc/velarion/screen-unstable.png",
        "usr/share/doc/velarion/window-fresh.png",
        "usr/share/icons/hicolor/scalable/apps/velarion.svg",
        "usr/share/man/man1/velarion-batch.1",
        "usr/share/man/man1/velarion-sweep.1",
        "usr/share/man/man1/velarion.1",
        QStringLiteral("usr/share/metainfo/%1.metainfo.xml").arg(VELARION_APPSTREAM_ID),
        QStringLiteral("usr/%1/velarion/velarion-plot.so").arg(VELARION_INSTALL_LIBDIR),
    };
    for (int size : velarion::window::kAppIconSizes) {
        expected << QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/velarion.png").arg(size);
    }
#ifdef VELARION_PYTHON_MODULE
    // The Python package, where Debian's python3 finds it.
    for (const char* file : {"__init__.py", "__init__.pyi", VELARION_PYTHON_MODULE}) {
        expected << QStringLiteral("usr/lib/python3/dist-packages/velarion/%1").arg(file);
    }
#endif
    expected.sort();
    EXPECT_EQ(files, expected);
    for (const char* program : {"velarion", "velarion-batch", "velarion-sweep"}) {
        EXPECT_TRUE(QFileInfo(usr("bin/") + program).isExecutable()) << program;
    }
}

// The links of a Markdown text that lead to files beside it: its pictures
// and the pages it points to.
QStringList localLinks(const QString& markdown) {
    QStringList links;
    static const QRegularExpression link(QStringLiteral(R"(\]\(([^)\s]+)\))"));
    for (auto match = link.globalMatch(markdown); match.hasNext();) {
        const QString target = match.next().captured(1);
        if (!target.contains(QStringLiteral("://")) && !target.startsWith('#')) {
            links << target.section('#', 0, 0);
        }
    }
    return links;
}

// The installed README and guide show their pictures and reach each other
// from the documentation folder, and every picture shipped is shown.
TEST_F(InstallTest, TheDocumentsLinksWorkWhereTheyAreInstalled) {
    const QDir doc(usr("share/doc/velarion"));
    QStringList shown;
    for (const char* name : {"README.md", "guide.md"}) {
        QFile file(doc.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        const QStringList links = localLinks(QString::fromUtf8(file.readAll()));
        EXPECT_FALSE(links.isEmpty()) << name;
        for (const QString& target : links) {
            EXPECT_TRUE(QFileInfo(doc.filePath(target)).isFile())
                << name << " links " << target.toStdString();
            shown << QFileInfo(target).fileName();
        }
    }
    for (const QString& picture : doc.entryList({"*.png"}, QDir::Files)) {
        EXPECT_TRUE(shown.contains(picture)) << picture.toStdString() << " is shown nowhere";
    }
}

// Each size in its own folder, and the scalable one drawn the same.
TEST_F(InstallTest, TheIconsAreTheWindowsIcon) {
    for (int size : velarion::window::kAppIconSizes) {
        const QImage png(
            usr(QStringLiteral("share/icons/hicolor/%1x%1/apps/velarion.png").arg(size)));
        ASSERT_EQ(png.size(), QSize(size, size));
        EXPECT_EQ(png.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                  velarion::window::appIconImage(size))
            << size;
    }
    constexpr int kSize = 64;
    QSvgRenderer svg(usr("share/icons/hicolor/scalable/apps/velarion.svg"));
    ASSERT_TRUE(svg.isValid());
    QImage drawn(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    QPainter painter(&drawn);
    svg.render(&painter);
    painter.end();
    const QImage window = velarion::window::appIconImage(kSize);
    int differing = 0;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const QColor a = drawn.pixelColor(x, y);
            const QColor b = window.pixelColor(x, y);
            differing += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                             std::abs(a.blue() - b.blue()) + std::abs(a.alpha() - b.alpha()) >
                         64;
        }
    }
    // Anti-aliased edges may round apart; the shapes and colours may not.
    EXPECT_LT(differing, kSize * kSize / 50);
}

// velarion finds the installed guide and names velarion-batch beside it;
// velarion-sweep runs the velarion-batch beside it.
TEST_F(InstallTest, TheInstalledProgramsFindEachOtherAndTheGuide) {
    const Output help = runProgram(usr("bin/velarion"), {"--help"}, work.path());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(usr("share/doc/velarion/guide.md"))) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(usr("bin/velarion-batch"))) << help.out.toStdString();

    ASSERT_EQ(
        runProgram(usr("bin/velarion-batch"), {"--save-config", "base.cnf"}, work.path()).exitCode,
        0);
    auto env = QProcessEnvironment::systemEnvironment();
    env.remove("VELARION_BATCH");
    const Output sweep = runProgram(usr("bin/velarion-sweep"), {"-o", "out", "base.cnf", "TP", "1"},
                                    work.path(), env);
    EXPECT_EQ(sweep.exitCode, 0) << sweep.err.toStdString();
    EXPECT_TRUE(sweep.err.contains("velarion-sweep: runs: 1, failed: 0"))
        << sweep.err.toStdString();
    QFile summary(work.filePath("out/summary.csv"));
    ASSERT_TRUE(summary.open(QIODevice::ReadOnly));
    EXPECT_TRUE(summary.readAll().contains("\r\n1,0,")) << "the run of TP=1 exited 0";
}

// The installed velarion-batch links no widgets and finds the chart module
// of --plot in its installed folder; alone, it still runs, and --plot then
// fails before the run with one line that names the module.
TEST_F(InstallTest, TheInstalledBatchLoadsTheChartsOnlyForAPlot) {
    const Output libraries = runProgram("ldd", {usr("bin/velarion-batch")}, work.path());
    ASSERT_EQ(libraries.exitCode, 0);
    EXPECT_TRUE(libraries.out.contains("libQt6Core")) << libraries.out.toStdString();
    EXPECT_FALSE(libraries.out.contains("libQt6Widgets")) << libraries.out.toStdString();

    auto env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    const Output plotted = runProgram(usr("bin/velarion-batch"),
                                      {"--box", "TP=1", "--plot", "plot.png"}, work.path(), env);
    ASSERT_EQ(plotted.exitCode, 0) << plotted.err.toStdString();
    EXPECT_EQ(QImage(work.filePath("plot.png")).size(), QSize(1000, 1200));

    QTemporaryDir lone;
    const QString alone = lone.filePath("velarion-batch");
    ASSERT_TRUE(QFile::copy(usr("bin/velarion-batch"), alone));
    const Output missing = runProgram(alone, {"--plot", "alone.png"}, lone.path());
    EXPECT_EQ(missing.exitCode, 74);
    EXPECT_EQ(missing.err.count('\n'), 1) << missing.err.toStdString();
    EXPECT_TRUE(missing.err.startsWith("velarion-batch: --plot: ")) << missing.err.toStdString();
    EXPECT_TRUE(missing.err.contains("velarion-plot.so")) << missing.err.toStdString();
    EXPECT_FALSE(QFile::exists(lone.filePath("LogFile.txt"))) << "the run began";
    EXPECT_EQ(runProgram(alone, {}, lone.path()).exitCode, 0);
    EXPECT_TRUE(QFile::exists(lone.filePath("LogFile.txt")));
}

// The options of velarion-batch --help, as "--name" or "-C".
QStringList batchOptions() {
    const Output help = runProgram(VELARION_BATCH_PATH, {"--help"}, QDir::tempPath());
    // Only the Options section: the description above it has indented
    // tables that name options too.
    const qsizetype start = help.out.indexOf(QStringLiteral("\nOptions:\n"));
    const QString section =
        help.out.mid(start, help.out.indexOf(QStringLiteral("\n\n"), start) - start);
    QStringList options;
    static const QRegularExpression option(
        QStringLiteral(R"((?m)^  (-\w), (--[\w-]+)|^  (-?-[\w-]+))"));
    for (auto match = option.globalMatch(section); match.hasNext();) {
        const auto m = match.next();
        for (int group : {1, 2, 3}) {
            if (!m.captured(group).isEmpty()) {
                options << m.captured(group);
            }
        }
    }
    return options;
}

// Every option of --help has its paragraph, and groff reads each page
// without a warning.
TEST_F(InstallTest, TheManPagesCoverEveryOptionAndRenderCleanly) {
    const QStringList options = batchOptions();
    ASSERT_GE(options.size(), 14) << options.join(' ').toStdString();
    QFile page(usr("share/man/man1/velarion-batch.1"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString roff = QString::fromUtf8(page.readAll());
    for (const QString& option : options) {
        QString escaped = option;
        escaped.replace('-', QStringLiteral("\\-"));
        EXPECT_TRUE(QRegularExpression(QStringLiteral("(?m)^\\.[BI]+ [^\\n]*") +
                                       QRegularExpression::escape(escaped) + "\\b")
                        .match(roff)
                        .hasMatch())
            << option.toStdString() << " has no paragraph in velarion-batch(1)";
    }
    for (const char* name : {"velarion", "velarion-batch", "velarion-sweep"}) {
        const QString path = usr(QStringLiteral("share/man/man1/%1.1").arg(name));
        const Output groff =
            runProgram("groff", {"-man", "-ww", "-z", "-rCHECKSTYLE=3", path}, work.path());
        EXPECT_EQ(groff.exitCode, 0) << name;
        EXPECT_EQ(groff.err, "") << name;
    }
}

// Completes `line` (the cursor at its end) with the completion script
// `completion`; the candidates, sorted and joined by blanks.
std::string complete(const QString& completion, const QString& line, const QString& directory,
                     const QString& function = QStringLiteral("_velarion_batch")) {
    const QString script = QStringLiteral(R"(
source /usr/share/bash-completion/bash_completion
source "$1"
COMP_LINE=$2
COMP_POINT=${#COMP_LINE}
read -ra COMP_WORDS <<<"$COMP_LINE"
[[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 ))
"$3" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}" 2>/dev/null
printf '%s\n' "${COMPREPLY[@]}")");
    const Output out =
        runProgram("bash", {"-c", script, "bash", completion, line, function}, directory);
    QStringList candidates = out.out.split('\n', Qt::SkipEmptyParts);
    candidates.sort();
    return candidates.join(' ').toStdString();
}

// The completion reads the options and the box names from --help, so it
// offers exactly those, and files, folders or runs where an option takes one.
TEST_F(InstallTest, BashCompletionOffersOptionsBoxesRunsAndFiles) {
    const QString batch = VELARION_BATCH_PATH;
    const auto complete = [](const QString& line, const QString& directory) {
        return ::complete(usr("share/bash-completion/completions/velarion-batch"), line, directory);
    };
    QStringList options = batchOptions();
    options.sort();
    EXPECT_EQ(complete(batch + " ", work.path()), options.join(' ').toStdString());
    EXPECT_EQ(complete(batch + " --c", work.path()),
              "--check-boxes --compare-double --config --csv --csv-segments");
    EXPECT_EQ(complete(batch + " --box CLog", work.path()), "CLogFile= CLogFileExc=");
    EXPECT_EQ(complete(batch + " --box CLogFile=", work.path()), "CLogFile=0 CLogFile=1");
    EXPECT_EQ(complete(batch + " --box TD", work.path()), "TD= TDeltaT=");
    EXPECT_EQ(complete(batch + " --run ", work.path()), "double girotondo precision");
    EXPECT_EQ(complete(batch + " --plot-page e", work.path()), "energy envelope");

    ASSERT_TRUE(QDir(work.path()).mkdir("runs"));
    QFile(work.filePath("base.cnf")).open(QIODevice::WriteOnly);
    EXPECT_EQ(complete(batch + " --config ", work.path()), "base.cnf runs");
    EXPECT_EQ(complete(batch + " -C ", work.path()), "runs");
    QFile(work.filePath("a.png")).open(QIODevice::WriteOnly);
    EXPECT_EQ(complete(batch + " --plot ", work.path()),
              "a.png energy: envelope: profile: runs time:");
    EXPECT_EQ(complete(batch + " --plot energy:", work.path()), "energy:a.png energy:runs");
    EXPECT_EQ(complete(batch + " --first-end c", work.path()), "closed counter-pressure");
    EXPECT_EQ(complete(batch + " --last-end ", work.path()), "closed restoring seed");
}

// The sweep's completion: its options, a base file, then the box names of
// the velarion-batch beside it.
TEST_F(InstallTest, BashCompletionOfTheSweep) {
    const QString sweep = usr("bin/velarion-sweep");
    const auto complete = [&](const QString& line) {
        return ::complete(usr("share/bash-completion/completions/velarion-sweep"), line,
                          work.path(), QStringLiteral("_velarion_sweep"));
    };
    QFile(work.filePath("base.cnf")).open(QIODevice::WriteOnly);
    EXPECT_EQ(complete(sweep + " --"), "--force --help --results --slurm --version --wait");
    EXPECT_EQ(complete(sweep + " -o out "), "base.cnf");
    EXPECT_EQ(complete(sweep + " base.cnf TV"), "TV0 TVFase");
    EXPECT_EQ(complete(sweep + " -a --re"), "--results");
}

}  // namespace
