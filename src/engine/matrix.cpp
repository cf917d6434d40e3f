#include "matrix.h"

#include <limits>

namespace velarion {

Matrix Matrix::tryCreate(std::size_t rows, std::size_t columns) {
    Matrix m;
    if (rows == 0 || columns == 0 ||
        rows > std::numeric_limits<std::size_t>::max() / sizeof(double) / columns) {
        return m;
    }
    // calloc hands out zeroed pages lazily, so a large matrix costs only
    // the rows a run actually writes.
    auto* cells = static_cast<double*>(std::calloc(rows * columns, sizeof(double)));
    if (cells == nullptr) {
        return m;
    }
    m.rows_ = rows;
    m.columns_ = columns;
    m.cells_.reset(cells);
    return m;
}

}  // namespace velarion
