#include "matrix.h"

#include <cstdint>
#include <limits>

#include <sys/mman.h>

namespace velarion {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// Asks for huge pages on the whole 2 MiB pieces of a block.
void adviseHugePages(char* block, std::size_t bytes) {
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (address + kHugePage - 1) / kHugePage * kHugePage;
    const std::uintptr_t end = (address + bytes) / kHugePage * kHugePage;
    if (end > first) {
        // Only advice: where it is refused the pages stay 4 KiB.
        ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
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
    //
    // The first touch of those rows is most of a long run's time beyond the
    // kernel: a page fault for every 4 KiB. Huge pages cut the faults
    // 512-fold, and only the 2 MiB pieces a run reaches are allocated;
    // populating the pages ahead would touch rows a run never reaches too
    // (bench/FIGURES.md has the measurement). With transparent huge pages
    // set to "never" the advice does nothing.
    auto* block = static_cast<char*>(std::calloc(bytes + kPage, 1));
    if (block == nullptr) {
        return m;
    }
    adviseHugePages(block, bytes + kPage);
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
