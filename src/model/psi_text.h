#pragma once

#include <QString>

#include <memory>

namespace velarion {

struct PsiTextCells;

// psiText(i, s), the matrix of texts of the arbitrary-precision run: rows
// 0 to lastRow(), columns 0 to lastColumn(), every entry empty when the
// matrix is created. The run keeps each entry as the number component's
// result; text() is that result's text, which reads back to the same value.
class PsiText {
  public:
    PsiText();
    explicit PsiText(std::unique_ptr<PsiTextCells> cells);
    ~PsiText();
    PsiText(PsiText&&) noexcept;
    PsiText& operator=(PsiText&&) noexcept;

    bool empty() const { return cells_ == nullptr; }
    int lastRow() const;
    int lastColumn() const;
    // The empty text for an entry that holds no result.
    QString text(int i, int s) const;

    PsiTextCells* cells() { return cells_.get(); }
    const PsiTextCells* cells() const { return cells_.get(); }

  private:
    std::unique_ptr<PsiTextCells> cells_;
};

}  // namespace velarion
