#include "output/xls_workbook.h"
#include "output/csv_writer.h"
#include "support/files.h"
#include "support/xls_sheet.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace velarion {
namespace {

using testing::bitsOf;
using testing::readXlsSheet;

// Texts beyond Latin-1 are stored as UTF-16, extreme doubles keep every
// bit, and content the format cannot hold is refused before the file is
// touched.
TEST(XlsWorkbook, WideTextsExactNumbersAndRefusals) {
    QTemporaryDir dir;
    const QString path = dir.filePath("LogFile.xls");
    const double tiny = 4.9406564584124654e-324;
    const XlsColumns columns{QStringLiteral("psi(i,0) °"),
                             QStringLiteral("ψ(i,1) €"),
                             {tiny, -0.0, 1.0 / 3.0},
                             {1.7976931348623157e308, 123456789.0, -2.5}};
    ASSERT_EQ(saveXlsWorkbook(path, columns), QString());
    const auto sheet = readXlsSheet(path);
    ASSERT_TRUE(sheet.opened);
    ASSERT_EQ(sheet.rows.size(), 4u);
    EXPECT_EQ(sheet.rows[0][0].text, columns.headerA);
    EXPECT_EQ(sheet.rows[0][1].text, columns.headerB);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(bitsOf(sheet.rows[i + 1][0].number), bitsOf(columns.a[i])) << i;
        EXPECT_EQ(bitsOf(sheet.rows[i + 1][1].number), bitsOf(columns.b[i])) << i;
    }

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    XlsColumns uneven = columns;
    uneven.b.pop_back();
    XlsColumns longHeader = columns;
    longHeader.headerB = QString(256, QChar('x'));
    for (const XlsColumns& bad : {uneven, longHeader}) {
        EXPECT_THROW(xlsWorkbook(bad), XlsError);
        EXPECT_FALSE(saveXlsWorkbook(path, bad).isEmpty());
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

// A disk that fills while a new file is written must leave the old file as
// it was, for the workbook and the CSV alike.
TEST(WholeFileWriters, AFullDiskKeepsTheOldFile) {
    QTemporaryDir dir;
    const XlsColumns columns{QStringLiteral("a"), QStringLiteral("b"), {1, 2}, {3, 4}};
    const QString xls = dir.filePath("LogFile.xls");
    const QString csv = dir.filePath("psi.csv");
    for (const QString& path : {xls, csv}) {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    QString xlsFailure;
    bool csvSaved = true;
    {
        const testing::FileSizeLimit full(100);
        xlsFailure = saveXlsWorkbook(xls, columns);
        CsvWriter writer(csv);
        csvSaved = writer.open();
        for (int i = 0; i < 20; ++i) {
            writer.writeRecord(std::vector<double>{0.1 * i, 1.0 / 3, 2.0 / 3});
        }
        csvSaved = writer.commit() && csvSaved;
    }
    EXPECT_FALSE(xlsFailure.isEmpty());
    EXPECT_FALSE(csvSaved);
    EXPECT_EQ(testing::contentsOf(xls), "old");
    EXPECT_EQ(testing::contentsOf(csv), "old");
}

}  // namespace
}  // namespace velarion
