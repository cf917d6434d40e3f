#pragma once

#include <QByteArray>
#include <QString>

#include <stdexcept>
#include <vector>

namespace velarion {

// Two columns of numbers under a header row: A1 and B1 hold the headers in
// bold blue Arial, rows 2 onwards the numbers, column A from `a`, column B
// from `b` (both the same length).
struct XlsColumns {
    QString headerA;
    QString headerB;
    std::vector<double> a;
    std::vector<double> b;
};

// Content that the workbook format cannot hold.
class XlsError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The whole .xls file: a BIFF8 workbook stream inside an OLE2 compound
// file, one worksheet, every number stored as its full IEEE double.
// Throws XlsError.
QByteArray xlsWorkbook(const XlsColumns& columns);

// Builds the workbook in memory and then replaces `path` with it in one
// step, so a failure leaves an existing file as it was. Returns the reason
// of a failure, or an empty text on success.
QString saveXlsWorkbook(const QString& path, const XlsColumns& columns);

}  // namespace velarion
