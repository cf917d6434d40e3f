#include "matrix.h"

#include <cstdint>
#include <limits>

namespace velarion {

Matrix Matrix::tryCreate(std::size_t rows, std::size_t columns, std::size_t pageOffset) {
    Matrix m;
    constexpr std::size_t kLineCells = kCacheLine / sizeof(double);
    if (rows == 0 || columns == 0 || pageOffset >= kPage || pageOffset % kCacheLine != 0 ||
        columns > std::numeric_limits<std::size_t>::max() / 2 / sizeof(double)) {
        return m;
    }
    const std::size_t stride = (columns + kLineCells - 1) / kLineCells * kLineCells;
    if (rows > (std::numeric_limits<std::size_t>::max() - 2 * kPage) / sizeof(double) / stride) {
        return m;
    }
    const std::size_t bytes = rows * stride * sizeof(double);
    // calloc hands out zeroed pages lazily, so a large matrix costs only
    // the rows a run actually writes. The spare page lets the cells start
    // at the requested offset.
    //
    // No huge pages: on a virtual machine that hands freed memory back to
    // its host, a run that starts cold spends most of its time having huge
    // pages zeroed. velarion-batch, double run of 5000 x 10000 (400 MB psi),
    // Intel Xeon with AVX-512, load about 3.4 on 2 cores; hyperfine, cold =
    // after a 6 s pause, medians of 5 cold and 5 warm runs:
    //   4 KiB pages (this):   cold 0.25 s, warm 0.22 s, both 0.22 s
    //   MADV_HUGEPAGE:        cold 0.80 s, warm 0.09 s, both 0.27 s
    // An earlier run (means, load about 4.5) also tried MADV_POPULATE_WRITE:
    // cold 0.30 s, warm 0.40 s, against 0.32 s and 0.41 s for 4 KiB pages,
    // and it would touch rows a run never reaches.
    auto* block = static_cast<char*>(std::calloc(bytes + kPage, 1));
    if (block == nullptr) {
        return m;
    }
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    std::uintptr_t start = address / kPage * kPage + pageOffset;
    if (start < address) {
        start += kPage;
    }
    const std::size_t offset = start - address;
    auto* cells = reinterpret_cast<double*>(block + offset);
    m.rows_ = rows;
    m.columns_ = columns;
    m.stride_ = stride;
    m.cells_ = std::unique_ptr<double[], FreeDeleter>(cells, FreeDeleter{offset});
    return m;
}

}  // namespace velarion
