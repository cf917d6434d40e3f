#pragma once

#include <cassert>
#include <cstddef>
#include <cstdlib>
#include <memory>

namespace velarion {

// A matrix of Doubles with rows 0..lastRow and columns 0..lastColumn,
// stored row after row so that each time level is one contiguous span.
// A new matrix holds 0.0 everywhere.
class Matrix {
  public:
    // Returns an empty matrix (no cells) when the memory cannot be had.
    static Matrix tryCreate(std::size_t rows, std::size_t columns);

    Matrix() = default;

    bool empty() const { return cells_ == nullptr; }
    std::size_t rows() const { return rows_; }
    std::size_t columns() const { return columns_; }
    int lastRow() const { return static_cast<int>(rows_) - 1; }

    double* row(std::size_t i) {
        assert(i < rows_);
        return cells_.get() + i * columns_;
    }
    const double* row(std::size_t i) const {
        assert(i < rows_);
        return cells_.get() + i * columns_;
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
    std::unique_ptr<double[], FreeDeleter> cells_;
};

}  // namespace velarion
