#include "xls_sheet.h"

#include <freexl.h>

#include <bit>

namespace velarion::testing {

namespace {

XlsCell cellOf(const FreeXL_CellValue& value) {
    XlsCell cell;
    switch (value.type) {
        case FREEXL_CELL_DOUBLE:
            cell.type = XlsCell::Type::Number;
            cell.number = value.value.double_value;
            break;
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
            cell.type = XlsCell::Type::Text;
            cell.text = QString::fromUtf8(value.value.text_value);
            break;
        default:
            break;
    }
    return cell;
}

bool readRows(const void* handle, XlsSheet& sheet) {
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(handle, 0) != FREEXL_OK ||
        freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK) {
        return false;
    }
    for (unsigned int r = 0; r < rows; ++r) {
        auto& row = sheet.rows.emplace_back();
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue value{};
            if (freexl_get_cell_value(handle, r, c, &value) != FREEXL_OK) {
                return false;
            }
            row.push_back(cellOf(value));
        }
    }
    return true;
}

}  // namespace

XlsSheet readXlsSheet(const QString& path) {
    XlsSheet sheet;
    const void* handle = nullptr;
    if (freexl_open(path.toLocal8Bit().constData(), &handle) == FREEXL_OK) {
        sheet.opened = readRows(handle, sheet);
    }
    if (handle) {
        freexl_close(handle);
    }
    return sheet;
}

std::uint64_t bitsOf(double value) {
    return std::bit_cast<std::uint64_t>(value);
}

}  // namespace velarion::testing
