#pragma once

#include <cassert>
#include <cstddef>
#include <cstdlib>
#include <memory>

namespace velarion {

// A matrix of Doubles with rows 0..lastRow and columns 0..lastColumn,
// stored row after row so that each time level is one contiguous span.
// Every row starts on a cache line (the row stride is rounded up to whole
// lines), so the kernel's vector loads and stores stay inside lines.
// A new matrix holds 0.0 everywhere.
class Matrix {
  public:
    static constexpr std::size_t kPage = 4096;
    static constexpr std::size_t kCacheLine = 64;

    // Returns an empty matrix (no cells) when the memory cannot be had.
    // The cells start `pageOffset` bytes (a multiple of kCacheLine below
    // kPage) after a 4 KiB boundary.
    static Matrix tryCreate(std::size_t rows, std::size_t columns, std::size_t pageOffset = 0);

    // The page offset for row i of a set of `count` single-row matrices used
    // together, spread evenly over the page: when a load and an earlier
    // store lie at the same offset within a 4 KiB page, the processor
    // treats the load as if it depended on the store.
    static std::size_t spreadPageOffset(std::size_t i, std::size_t count) {
        return i * kPage / count / kCacheLine * kCacheLine;
    }

    Matrix() = default;

    bool empty() const { return cells_ == nullptr; }
    std::size_t rows() const { return rows_; }
    std::size_t columns() const { return columns_; }
    int lastRow() const { return static_cast<int>(rows_) - 1; }

    double* row(std::size_t i) {
        assert(i < rows_);
        return cells_.get() + i * stride_;
    }
    const double* row(std::size_t i) const {
        assert(i < rows_);
        return cells_.get() + i * stride_;
    }
    double& operator()(std::size_t i, std::size_t s) { return row(i)[s]; }
    double operator()(std::size_t i, std::size_t s) const { return row(i)[s]; }

  private:
    // The cells start on a cache line inside a larger block; the deleter
    // knows where the block begins.
    struct FreeDeleter {
        std::size_t offset;  // bytes from the block start to the cells
        void operator()(double* p) const { std::free(reinterpret_cast<char*>(p) - offset); }
    };

    std::size_t rows_ = 0;
    std::size_t columns_ = 0;
    std::size_t stride_ = 0;  // doubles from one row to the next
    std::unique_ptr<double[], FreeDeleter> cells_;
};

}  // namespace velarion
