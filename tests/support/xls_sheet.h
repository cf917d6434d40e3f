#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace velarion::testing {

// One cell as an independent reader (FreeXL) sees it.
struct XlsCell {
    enum class Type { Other, Number, Text } type = Type::Other;
    double number = 0;  // when Number
    QString text;       // when Text
};

// The first worksheet of an .xls file, row by row; `opened` is false when
// the reader refuses the file.
struct XlsSheet {
    bool opened = false;
    std::vector<std::vector<XlsCell>> rows;
};

XlsSheet readXlsSheet(const QString& path);

// The bits of a double, for comparisons that must be exact.
std::uint64_t bitsOf(double value);

}  // namespace velarion::testing
