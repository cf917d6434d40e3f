#include "csv_writer.h"

#include <QDir>

#include <array>
#include <charconv>
#include <cmath>

namespace velarion {

QByteArray csvNumber(double value) {
    // What Python, R and LibreOffice read: no sign on NaN and on zero.
    if (std::isnan(value)) {
        return QByteArrayLiteral("nan");
    }
    if (value == 0) {
        return QByteArrayLiteral("0");
    }
    // to_chars ignores the C locale, unlike printf, so a comma locale cannot
    // turn the decimal point into a field separator; infinities are "inf"
    // and "-inf".
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::general, 17);
    return QByteArray(buffer.data(), result.ptr - buffer.data());
}

QByteArray csvField(const QString& text) {
    QByteArray field = text.toUtf8();
    if (!field.contains(',') && !field.contains('"') && !field.contains('\r') &&
        !field.contains('\n')) {
        return field;
    }
    field.replace("\"", "\"\"");
    return '"' + field + '"';
}

bool CsvWriter::open() {
    return file_.open();
}

void CsvWriter::writeRecord(const QStringList& fields) {
    QByteArray record;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            record += ',';
        }
        record += csvField(fields[i]);
    }
    write(record);
}

void CsvWriter::writeRecord(std::span<const double> numbers) {
    QByteArray record;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0) {
            record += ',';
        }
        record += csvNumber(numbers[i]);
    }
    write(record);
}

void CsvWriter::write(const QByteArray& record) {
    file_.write(record + "\r\n");
}

bool CsvWriter::commit() {
    return file_.commit();
}

QString CsvWriter::errorText() const {
    return QStringLiteral("The file %1 could not be written: %2.")
        .arg(QDir::toNativeSeparators(file_.path()), file_.errorString());
}

}  // namespace velarion
