#include "matrix.h"

#include <cstdint>
#include <limits>

#include <sys/mman.h>

namespace velarion {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// A large matrix is written row after row into fresh zero pages; huge pages
// turn hundreds of page faults per snapshot run into a few. Only the whole
// huge pages inside the block are advised; where the system has no
// transparent huge pages the advice is ignored.
void adviseHugePages(void* cells, std::size_t bytes) {
    if (bytes < 2 * kHugePage) {
        return;
    }
    const auto begin = reinterpret_cast<std::uintptr_t>(cells);
    const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kHugePage - 1);
    if (last > first) {
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
}

}  // namespace

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
    adviseHugePages(cells, bytes);
    m.rows_ = rows;
    m.columns_ = columns;
    m.stride_ = stride;
    m.cells_ = std::unique_ptr<double[], FreeDeleter>(cells, FreeDeleter{offset});
    return m;
}

}  // namespace velarion
