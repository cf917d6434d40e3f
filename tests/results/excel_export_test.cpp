#include "results/excel_export.h"
#include "support/files.h"
#include "support/run_fixture.h"
#include "support/xls_sheet.h"

#include <cmath>
#include <limits>

namespace velarion {
namespace {

using testing::bitsOf;
using testing::contentsOf;
using testing::readXlsSheet;
using testing::XlsCell;

class ExcelExportTest : public testing::RunFixture {
  protected:
    ExcelExportTest() {
        window.tick(ctl::CLogFileExc, true);
        window.answer = MessageAnswer::Yes;
        window.tickStep = 1;  // the Girotondo end tones wait on the clock
    }

    template <class Run>
    void runAndExport() {
        Run run(window, form, numbers, logPath());
        run.setExport([this] { outcome = save_file_excel(window, form, numbers, xlsPath()); });
        ASSERT_EQ(run.run(), RunOutcome::Completed);
    }

    ExportOutcome exportTo(const QString& path) {
        return save_file_excel(window, form, numbers, path);
    }

    // The sheet holds the header row and psi(i, 0), psi(i, IndiceMatrice2)
    // for i = 1..levels, every number exactly as psi holds it.
    void expectSheetOfPsi(int levels) const {
        const auto sheet = readXlsSheet(xlsPath());
        ASSERT_TRUE(sheet.opened);
        ASSERT_EQ(sheet.rows.size(), static_cast<std::size_t>(levels) + 1);
        const auto& header = sheet.rows[0];
        ASSERT_EQ(header.size(), 2u);
        EXPECT_EQ(header[0].text, "psi(i,0)");
        EXPECT_EQ(header[1].text, QStringLiteral("psi(i,%1)").arg(form.IndiceMatrice2));
        const auto last = static_cast<std::size_t>(form.IndiceMatrice2);
        for (int i = 1; i <= levels; ++i) {
            const auto& row = sheet.rows[static_cast<std::size_t>(i)];
            ASSERT_EQ(row[0].type, XlsCell::Type::Number) << "row " << i + 1;
            ASSERT_EQ(row[1].type, XlsCell::Type::Number) << "row " << i + 1;
            EXPECT_EQ(bitsOf(row[0].number), bitsOf(form.psi(i, 0))) << "row " << i + 1;
            EXPECT_EQ(bitsOf(row[1].number), bitsOf(form.psi(i, last))) << "row " << i + 1;
        }
    }

    QString xlsPath() const { return dir.filePath("LogFile.xls"); }

    ExportOutcome outcome = ExportOutcome::Declined;
};

TEST_F(ExcelExportTest, BothRunsExportPsiBitForBit) {
    struct Case {
        const char* name;
        bool girotondo;
        QString TP;
        QString Tnitertemp;
        int levels;
    };
    for (const Case& c :
         {Case{"defaults", false, "0", "30", 30}, Case{"TP 1", false, "1", "30", 30},
          Case{"Girotondo", true, "1", "30", 30}, Case{"no level", false, "0", "0", 0}}) {
        SCOPED_TRACE(c.name);
        window.setText(ctl::TP, c.TP);
        window.setText(ctl::Tnitertemp, c.Tnitertemp);
        window.messages.clear();
        window.busyCursor.clear();
        c.girotondo ? runAndExport<GirotondoRun>() : runAndExport<DoubleRun>();

        EXPECT_EQ(outcome, ExportOutcome::Saved);
        expectSheetOfPsi(c.levels);
        if (c.levels > 0) {
            // The run left a moving column: the check above compared real data.
            EXPECT_NE(form.psi(c.levels, 0), 0.0);
        }
        EXPECT_EQ(window.busyCursor, (std::vector<bool>{true, false}));
        const auto& question = window.messages.at(window.messages.size() - 2);
        EXPECT_EQ(question.text, "Do you wanna build excel file?");
        EXPECT_EQ(question.title, question.text);
        EXPECT_EQ(question.buttons, MessageButtons::YesNo);
        EXPECT_EQ(question.icon, MessageIcon::None);
        const auto& saved = window.messages.back();
        EXPECT_EQ(saved.text, "File LogFile.xls Saved!!!");
        EXPECT_EQ(saved.title, " FILE LogFile.xls SAVED!!!");
        EXPECT_EQ(saved.buttons, MessageButtons::Ok);
        EXPECT_EQ(saved.icon, MessageIcon::None);
    }
}

// Each failure says why in the box's details, restores the pointer and
// leaves the file of an earlier export exactly as it was.
TEST_F(ExcelExportTest, FailuresLeaveTheOldFileAndGiveTheReason) {
    const QByteArray old = "an earlier workbook";
    QFile file(xlsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
    file.close();
    QFile plain(dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();

    struct Case {
        const char* name;
        int lastRow;
        QString Tnitertemp;
        QString path;
        const char* reason;
    };
    const QString underAFile = dir.filePath("plain/LogFile.xls");
    for (const Case& c : {Case{"not a number", 30, "trenta", xlsPath(), "\"trenta\""},
                          Case{"beyond psi", 30, "31", xlsPath(), "Time level 31"},
                          Case{"beyond row 32767", 40000, "40000", xlsPath(), "row 32768"},
                          Case{"not finite", 30, "30", xlsPath(), "psi(30,1)"},
                          Case{"unwritable", 30, "30", underAFile, "plain/LogFile.xls"}}) {
        SCOPED_TRACE(c.name);
        form.IndiceMatrice2 = 1;
        form.psi = Matrix::tryCreate(static_cast<std::size_t>(c.lastRow) + 1, 2);
        form.psi(30, 1) =
            c.name == std::string("not finite") ? std::numeric_limits<double>::quiet_NaN() : 1.0;
        window.setText(ctl::Tnitertemp, c.Tnitertemp);
        window.messages.clear();
        window.busyCursor.clear();
        const int pumps = window.pumps;

        EXPECT_EQ(exportTo(c.path), ExportOutcome::Failed);
        EXPECT_EQ(window.pumps, pumps + 1);  // one pass of events under the hourglass
        ASSERT_EQ(window.messages.size(), 2u);
        const auto& error = window.messages[1];
        EXPECT_EQ(error.text, "File LogFile.xls not saved!!!");
        EXPECT_EQ(error.title, "ERROR");
        EXPECT_EQ(error.icon, MessageIcon::Critical);
        EXPECT_EQ(error.buttons, MessageButtons::Ok);
        EXPECT_TRUE(error.detail.contains(QString::fromUtf8(c.reason)))
            << error.detail.toStdString();
        EXPECT_EQ(window.busyCursor, (std::vector<bool>{true, false}));
        EXPECT_EQ(contentsOf(xlsPath()), old);
    }
    EXPECT_EQ(contentsOf(dir.filePath("plain")), QByteArray());

    // No: nothing else is asked, shown or touched.
    window.answer = MessageAnswer::No;
    window.messages.clear();
    window.busyCursor.clear();
    window.setText(ctl::Tnitertemp, "30");
    EXPECT_EQ(exportTo(xlsPath()), ExportOutcome::Declined);
    EXPECT_EQ(window.messages.size(), 1u);
    EXPECT_TRUE(window.busyCursor.empty());
    EXPECT_EQ(contentsOf(xlsPath()), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);  // no temporary file left
}

}  // namespace
}  // namespace velarion
