#include "excel_export.h"

#include "model/parameter_boxes.h"
#include "model/run_failure.h"
#include "output/xls_workbook.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace velarion {

namespace {

// Sheet row i + 1 is a 16-bit number, so time level 32766 is the last one
// that has a row.
constexpr std::int64_t kLastLevelWithARow = std::numeric_limits<std::int16_t>::max() - 1;

struct RowLimit {
    double value;
    QString text;
};

// The limit of the row loop, read once from Tnitertemp.
RowLimit rowLimit(const WindowOps& ops, const NumberText& numbers) {
    const QString text = ops.text(ctl::Tnitertemp);
    const auto limit = numbers.toDouble(text);
    if (!limit || std::isnan(*limit)) {
        throw RunFailure(
            QStringLiteral("The box %1 holds %2, %3.")
                .arg(describeBox(ctl::Tnitertemp), quotedText(text), numbers.refusalOf(text)));
    }
    return {*limit, text};
}

// The loop runs i = 1, 2, ... while i <= limit and fails at the first row
// that cannot be written: a column or level missing from psi, or a row
// number beyond 16 bits.
std::size_t checkedRowCount(const RowLimit& limit, const Matrix& psi, std::int32_t column) {
    if (!(limit.value >= 1)) {
        return 0;
    }
    if (column < 0 || static_cast<std::size_t>(column) >= psi.columns()) {
        throw RunFailure(QStringLiteral("psi has no column %1.").arg(column));
    }
    const std::int64_t count = limit.value >= kLastLevelWithARow + 1
                                   ? kLastLevelWithARow + 1
                                   : static_cast<std::int64_t>(limit.value);
    const std::int64_t firstMissing = std::max<std::int64_t>(1, psi.lastRow() + 1);
    if (count >= firstMissing && firstMissing <= kLastLevelWithARow) {
        throw RunFailure(QStringLiteral("Time level %1 is beyond the last row of psi (%2); "
                                        "Tnitertemp asks for levels up to %3.")
                             .arg(firstMissing)
                             .arg(psi.lastRow())
                             .arg(limit.text));
    }
    if (count > kLastLevelWithARow) {
        throw RunFailure(QStringLiteral("Time level 32767 would need sheet row 32768, beyond the "
                                        "last row number 32767; Tnitertemp asks for levels up "
                                        "to %1.")
                             .arg(limit.text));
    }
    return static_cast<std::size_t>(count);
}

// A cell holds a finite number only; infinity or NaN would not read back.
double finiteCell(const Matrix& psi, std::size_t i, std::size_t s) {
    const double value = psi(i, s);
    if (!std::isfinite(value)) {
        throw RunFailure(QStringLiteral("psi(%1,%2) is not a finite number.").arg(i).arg(s));
    }
    return value;
}

XlsColumns columnsOf(const FormState& form, std::size_t rows) {
    XlsColumns c;
    c.headerA = QStringLiteral("psi(i,0)");
    c.headerB = QStringLiteral("psi(i,%1)").arg(form.IndiceMatrice2);
    const auto last = static_cast<std::size_t>(form.IndiceMatrice2);
    c.a.reserve(rows);
    c.b.reserve(rows);
    for (std::size_t i = 1; i <= rows; ++i) {
        c.a.push_back(finiteCell(form.psi, i, 0));
        c.b.push_back(finiteCell(form.psi, i, last));
    }
    return c;
}

void writeWorkbook(WindowOps& ops, const FormState& form, const NumberText& numbers,
                   const QString& path) {
    const std::size_t rows = checkedRowCount(rowLimit(ops, numbers), form.psi, form.IndiceMatrice2);
    const QString failure = saveXlsWorkbook(path, columnsOf(form, rows));
    if (!failure.isEmpty()) {
        throw RunFailure(failure);
    }
}

}  // namespace

ExportOutcome save_file_excel(WindowOps& ops, const FormState& form, const NumberText& numbers,
                              const QString& path, const QString& savedDetail) {
    const QString question = QString::fromLatin1(kExcelQuestion);
    if (ops.messageBox({question, question, MessageIcon::None, MessageButtons::YesNo, {}}) !=
        MessageAnswer::Yes) {
        return ExportOutcome::Declined;
    }
    ops.setBusyCursor(true);
    ops.processEvents();
    try {
        writeWorkbook(ops, form, numbers, path);
    } catch (const RunFailure& failure) {
        ops.setBusyCursor(false);
        ops.messageBox({QStringLiteral("File LogFile.xls not saved!!!"), QStringLiteral("ERROR"),
                        MessageIcon::Critical, MessageButtons::Ok, failure.message()});
        return ExportOutcome::Failed;
    }
    ops.setBusyCursor(false);
    // The box's tip names the folder the file went to.
    ops.messageBox({QString::fromLatin1(kExcelSaved), QStringLiteral(" FILE LogFile.xls SAVED!!!"),
                    MessageIcon::None, MessageButtons::Ok, savedDetail,
                    QDir::toNativeSeparators(QFileInfo(path).absolutePath())});
    return ExportOutcome::Saved;
}

}  // namespace velarion
