#pragma once

#include "precision_number.h"

#include <QChar>

#include <cstddef>
#include <memory>
#include <vector>

namespace velarion {

// The storage behind PsiText. Only rows 0 to storedRows - 1 have cells:
// a run writes no row beyond max(1, nitertemp), so the rows after it stay
// empty without costing memory. In a stored row the entries 0 to
// filled[i] - 1 hold results, the others are empty.
struct PsiTextCells {
    int lastRow = 0;
    int lastColumn = 0;
    int storedRows = 0;
    QChar separator;  // of the component that made the results
    std::vector<PrecisionResult> values;
    std::vector<int> filled;

    // Nothing when the cells would take more than maxBytes or cannot be had.
    static std::unique_ptr<PsiTextCells> tryCreate(int lastRow, int lastColumn, int storedRows,
                                                   QChar separator, std::size_t maxBytes);

    std::size_t width() const { return static_cast<std::size_t>(lastColumn) + 1; }
    PrecisionResult* row(int i) { return values.data() + static_cast<std::size_t>(i) * width(); }
    const PrecisionResult* row(int i) const {
        return values.data() + static_cast<std::size_t>(i) * width();
    }
};

}  // namespace velarion
