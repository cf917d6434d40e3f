#include "config/config_commands.h"
#include "model/parameter_boxes.h"
#include "support/fake_window.h"
#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace velarion {
namespace {

using testing::contentsOf;
using testing::FakeWindow;
using testing::FileSizeLimit;

// What a save of the window's eleven boxes writes: one CR LF line each.
QByteArray fileOf(const FakeWindow& window) {
    QByteArray bytes;
    for (const ParameterBox& box : parameterBoxes()) {
        bytes += window.text(box.name).toLatin1() + "\r\n";
    }
    return bytes;
}

void writeFile(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// A fresh window (Italian locale) working in an empty directory of its own.
class ConfigCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        previousDir = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
    }
    void TearDown() override { QDir::setCurrent(previousDir); }

    void save(const QString& answer) {
        window.inputAnswers = QStringList{answer};
        CSaveConfig(window, [this] {
            ++refreshes;
            beepsBeforeRefresh = window.beeps.size();
        });
    }
    QStringList entries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    void expectNothingAfterAFailedSave() const {
        EXPECT_EQ(refreshes, 0);
        EXPECT_TRUE(window.beeps.empty());
    }
    void expectOnlyAMessage(const FakeWindow& before) const {
        EXPECT_EQ(window.boxes, before.boxes);
        EXPECT_TRUE(window.statuses.isEmpty());
        EXPECT_TRUE(window.widths.empty());
        EXPECT_TRUE(window.beeps.empty());
        ASSERT_EQ(window.messages.size(), 1U);
        EXPECT_EQ(window.messages[0].title, "ERROR");
        EXPECT_EQ(window.messages[0].icon, MessageIcon::Critical);
        EXPECT_EQ(window.messages[0].buttons, MessageButtons::Ok);
    }

    QTemporaryDir dir;
    QString previousDir;
    FakeWindow window;
    int refreshes = 0;
    std::size_t beepsBeforeRefresh = 0;
};

TEST_F(ConfigCommands, AFreshWindowSavesItsInitialTextsAndListsTheFile) {
    save("default.cnf");
    EXPECT_EQ(window.inputPrompts,
              QStringList{"Enter file name (Ex:default.cnf):|Input file name"});
    EXPECT_EQ(contentsOf("default.cnf"), fileOf(window));
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(beepsBeforeRefresh, 0U);
    EXPECT_EQ(window.beeps, (std::vector<std::pair<int, int>>{{690, 50}}));
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(window.statuses.isEmpty());
    EXPECT_EQ(configFileNames(), QStringList{"default.cnf"});
}

TEST_F(ConfigCommands, SaveThenLoadRestoresTheElevenBoxesAndNothingElse) {
    const QStringList texts{
        "1,5",  "", " 2 0 ", "x,y,z",     "5,5", QString::fromUtf8("d\xC3\xA9j\xC3\xA0"),
        "0,02", "", "  ",    "-0,000001", "3 0"};
    const auto boxes = parameterBoxes();
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        window.setText(boxes[i].name, texts[static_cast<qsizetype>(i)]);
    }
    save("my set.cnf");

    FakeWindow loaded;
    loaded.setText(ctl::TPrecision, "17");
    loaded.setText(ctl::TA, "0,0003");
    loaded.setText(ctl::TLog, "log");
    loaded.tick(ctl::CLogFile, false);
    loaded.tick(ctl::CExl, true);
    Command5(loaded, "my set.cnf");
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(loaded.text(boxes[i].name), texts[static_cast<qsizetype>(i)]) << boxes[i].name;
    }
    EXPECT_EQ(loaded.boxes.size(), 14);  // the eleven and the three set above
    EXPECT_EQ(loaded.text(ctl::TPrecision), "17");
    EXPECT_EQ(loaded.text(ctl::TA), "0,0003");
    EXPECT_EQ(loaded.text(ctl::TLog), "log");
    EXPECT_FALSE(loaded.isTicked(ctl::CLogFile));
    EXPECT_FALSE(loaded.isTicked(ctl::CLogFileExc));
    EXPECT_TRUE(loaded.isTicked(ctl::CExl));
    EXPECT_EQ(loaded.beeps, (std::vector<std::pair<int, int>>{{790, 50}}));
    EXPECT_EQ(loaded.statuses, QStringList{"File : my set.cnf...loaded!"});
    EXPECT_EQ(loaded.widths, std::vector<float>{50.0F});
    EXPECT_TRUE(loaded.messages.empty());
}

TEST_F(ConfigCommands, NamesAreUsedExactlyAsTyped) {
    save("params");
    save(" with blanks .cnf");
    EXPECT_EQ(contentsOf("params"), fileOf(window));
    EXPECT_EQ(contentsOf(" with blanks .cnf"), fileOf(window));
    EXPECT_EQ(entries(), (QStringList{" with blanks .cnf", "params"}));
    EXPECT_EQ(configFileNames(), QStringList{" with blanks .cnf"});
    EXPECT_EQ(window.beeps.size(), 2U);
}

TEST_F(ConfigCommands, ABlankOrCancelledNameDoesNothing) {
    for (const QString& answer : {QString(""), QString("  \t "), QString()}) {
        save(answer);
    }
    EXPECT_EQ(window.inputPrompts.size(), 3);
    EXPECT_TRUE(entries().isEmpty());
    EXPECT_TRUE(window.messages.empty());
    expectNothingAfterAFailedSave();
}

TEST_F(ConfigCommands, SavingOverAFileReplacesAllOfIt) {
    writeFile("default.cnf", QByteArray("a much longer older content\r\n").repeated(20));
    save("default.cnf");
    EXPECT_EQ(contentsOf("default.cnf"), fileOf(window));
    EXPECT_EQ(entries(), QStringList{"default.cnf"});
}

TEST_F(ConfigCommands, LoadingWithNothingSelectedOnlySaysSo) {
    writeFile("default.cnf", fileOf(window));
    const FakeWindow before = window;
    for (const QString& selected : {QString(), QString("   ")}) {
        window.messages.clear();
        Command5(window, selected);
        expectOnlyAMessage(before);
        EXPECT_EQ(window.messages[0].text, "Select file");
    }
}

TEST_F(ConfigCommands, AShortOrVanishedFileChangesNoBox) {
    writeFile("short.cnf", "1\r\n2\r\n3\r\n");
    const FakeWindow before = window;
    Command5(window, "short.cnf");
    expectOnlyAMessage(before);
    EXPECT_EQ(window.messages[0].text, "The configuration file \"short.cnf\" could not be loaded.");
    EXPECT_EQ(window.messages[0].detail, "The file has only 3 lines; a configuration file has 11.");

    window.messages.clear();
    Command5(window, "gone.cnf");
    expectOnlyAMessage(before);
    EXPECT_TRUE(window.messages[0].text.contains("\"gone.cnf\""));
    EXPECT_FALSE(window.messages[0].detail.isEmpty());
}

TEST_F(ConfigCommands, AFailedWriteKeepsTheOldFileAndSoundsNoTone) {
    const QByteArray old = "old\r\n";
    writeFile("old.cnf", old);
    {
        const FileSizeLimit full(8);
        save("old.cnf");
    }
    EXPECT_EQ(contentsOf("old.cnf"), old);
    EXPECT_EQ(entries(), QStringList{"old.cnf"});  // no temporary file left behind
    ASSERT_EQ(window.messages.size(), 1U);
    EXPECT_EQ(window.messages[0].text, "The configuration file \"old.cnf\" could not be saved.");
    EXPECT_EQ(window.messages[0].icon, MessageIcon::Critical);
    EXPECT_FALSE(window.messages[0].detail.isEmpty());
    expectNothingAfterAFailedSave();

    // A missing folder, and a name taken by a folder: refused even for root.
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.cnf"));
    for (const char* name : {"no/such/folder/x.cnf", "taken.cnf"}) {
        save(name);
        expectNothingAfterAFailedSave();
    }
    EXPECT_EQ(window.messages.size(), 3U);
    EXPECT_TRUE(QFileInfo("taken.cnf").isDir());
    EXPECT_EQ(entries(), (QStringList{"old.cnf", "taken.cnf"}));
}

TEST_F(ConfigCommands, ATextOutsideLatin1IsRefusedNotChanged) {
    window.setText(ctl::TV0, QString::fromUtf8("5\xE2\x82\xAC"));
    save("euro.cnf");
    EXPECT_FALSE(QFile::exists("euro.cnf"));
    EXPECT_EQ(window.messages.size(), 1U);
    expectNothingAfterAFailedSave();
}

}  // namespace
}  // namespace velarion
