#include "precision_compare.h"

#include "model/psi_text_cells.h"

#include <algorithm>

namespace velarion {

namespace {

LevelDifference compareLevel(const PrecisionResult* decimal, const double* binary, int level,
                             int segments) {
    LevelDifference d;
    d.level = level;
    for (int s = 0; s < segments; ++s) {
        const Decimal& exact = decimal[s].value;
        const Decimal gap = abs(exact - Decimal(binary[s]));
        d.largestAbsolute = std::max(d.largestAbsolute, gap.convert_to<double>());
        if (exact != 0) {
            d.largestRelative =
                std::max(d.largestRelative, (gap / abs(exact)).convert_to<double>());
        }
    }
    return d;
}

}  // namespace

std::vector<LevelDifference> compareWithDouble(const PsiText& decimal, const Matrix& psi,
                                               int lastLevel, int lastColumn) {
    std::vector<LevelDifference> levels;
    const PsiTextCells* cells = decimal.cells();
    if (cells == nullptr || psi.empty()) {
        return levels;
    }
    const int last = std::min({lastLevel, cells->storedRows - 1, psi.lastRow()});
    for (int level = 0; level <= last; ++level) {
        const int segments =
            std::min({lastColumn + 1, cells->filled[level], static_cast<int>(psi.columns())});
        levels.push_back(compareLevel(cells->row(level), psi.row(level), level, segments));
    }
    return levels;
}

}  // namespace velarion
