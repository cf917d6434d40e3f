#pragma once

#include "whole_file.h"

#include <QString>
#include <QStringList>

#include <span>

namespace velarion {

// A CSV file as RFC 4180 has it: fields separated by commas, records ended
// by CR LF, a field in double quotes (its quotes doubled) when it holds a
// comma, a quote or a line break. Numbers carry the decimal point under
// every locale and 17 significant digits, so each double reads back
// bit-identical. The file appears whole at commit() or not at all (a
// device or a pipe takes the records as they come).
class CsvWriter {
  public:
    explicit CsvWriter(const QString& path) : file_(path) {}

    bool open();
    void writeRecord(const QStringList& fields);
    void writeRecord(std::span<const double> numbers);
    bool commit();

    // Why open() or commit() failed: the path and the system's reason.
    QString errorText() const;

  private:
    void write(const QByteArray& record);

    WholeFile file_;
};

// A double with 17 significant digits and the decimal point ("0.25",
// "-5.5000000000000004e-06"); "nan", "inf" and "-inf" for the non-finite,
// and "0" for either zero.
QByteArray csvNumber(double value);
// A text field, quoted when RFC 4180 asks for it.
QByteArray csvField(const QString& text);

}  // namespace velarion
