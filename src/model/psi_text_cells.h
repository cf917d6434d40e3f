#pragma once

#include "precision_number.h"

#include <QChar>

#include <cstddef>
#include <memory>
#include <type_traits>
#include <vector>

namespace velarion {

// The storage behind PsiText. Only rows 0 to storedRows - 1 have cells:
// a run writes no row beyond max(1, nitertemp), so the rows after it stay
// empty without costing memory. In a stored row the entries 0 to
// filled[i] - 1 hold results, the others are empty.
//
// The cells are raw memory until their one write, which builds the result
// in place: `new (c.slot(i, s)) PrecisionResult(m.Add(...))`. So a new
// matrix costs no pass over its cells, and a result is never copied into
// them. Results need no destruction.
struct PsiTextCells {
    static_assert(std::is_trivially_destructible_v<PrecisionResult>);

    int lastRow = 0;
    int lastColumn = 0;
    int storedRows = 0;
    QChar separator;  // of the component that made the results
    std::vector<int> filled;

    // Nothing when the cells would take more than maxBytes or cannot be had.
    static std::unique_ptr<PsiTextCells> tryCreate(int lastRow, int lastColumn, int storedRows,
                                                   QChar separator, std::size_t maxBytes);

    std::size_t width() const { return static_cast<std::size_t>(lastColumn) + 1; }
    // The written entries of row i (see filled).
    const PrecisionResult* row(int i) const {
        return cells() + static_cast<std::size_t>(i) * width();
    }
    void* slot(int i, int s) {
        return cells() + static_cast<std::size_t>(i) * width() + static_cast<std::size_t>(s);
    }

  private:
    // The cells are mapped from the system in one block, in 2 MiB pages
    // where it grants them.
    struct Release {
        std::size_t bytes;
        void operator()(void* p) const;
    };
    PrecisionResult* cells() const { return static_cast<PrecisionResult*>(memory_.get()); }
    std::unique_ptr<void, Release> memory_;
};

}  // namespace velarion
