#include "psi_text.h"

#include "psi_text_cells.h"

#include <sys/mman.h>

#include <algorithm>
#include <new>

namespace velarion {

void PsiTextCells::Release::operator()(void* p) const {
    ::munmap(p, bytes);
}

std::unique_ptr<PsiTextCells> PsiTextCells::tryCreate(int lastRow, int lastColumn, int storedRows,
                                                      QChar separator, std::size_t maxBytes) {
    const std::size_t width = static_cast<std::size_t>(lastColumn) + 1;
    const std::size_t cells = static_cast<std::size_t>(storedRows) * width;
    if (cells > maxBytes / sizeof(PrecisionResult)) {
        return nullptr;
    }
    try {
        auto m = std::make_unique<PsiTextCells>();
        m->lastRow = lastRow;
        m->lastColumn = lastColumn;
        m->storedRows = storedRows;
        m->separator = separator;
        const std::size_t bytes = std::max<std::size_t>(cells * sizeof(PrecisionResult), 1);
        void* memory =
            ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) {
            return nullptr;
        }
        // A result is written once and read by the next two levels: the
        // fault of each 4 KiB page was a quarter of the run, so large pages.
        ::madvise(memory, bytes, MADV_HUGEPAGE);
        m->memory_ = std::unique_ptr<void, Release>(memory, Release{bytes});
        m->filled.assign(static_cast<std::size_t>(storedRows), 0);
        return m;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

PsiText::PsiText() = default;
PsiText::PsiText(std::unique_ptr<PsiTextCells> cells) : cells_(std::move(cells)) {}
PsiText::~PsiText() = default;
PsiText::PsiText(PsiText&&) noexcept = default;
PsiText& PsiText::operator=(PsiText&&) noexcept = default;

int PsiText::lastRow() const {
    return cells_ ? cells_->lastRow : -1;
}

int PsiText::lastColumn() const {
    return cells_ ? cells_->lastColumn : -1;
}

QString PsiText::text(int i, int s) const {
    if (!cells_ || i < 0 || i >= cells_->storedRows || s < 0 ||
        s >= cells_->filled[static_cast<std::size_t>(i)]) {
        return {};
    }
    return decimalText(cells_->row(i)[s].value, cells_->separator);
}

}  // namespace velarion
