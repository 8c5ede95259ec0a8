#include "term/cell_buffer.h"

#include "base/code_page.h"
#include "term/display.h"

#include <cstddef>

namespace {

const Cell OUTSIDE{};

} // namespace

char32_t unicodeFromAnsi(unsigned char byte) {
    if (byte < 0x20 || byte == 0x7F)
        return U'?'; // control characters would move the terminal's cursor
    const char32_t ch = unicodeOfAnsi(byte);
    return ch >= 0x80 && ch < 0xA0 ? U'\uFFFD' : ch; // the bytes the code page leaves undefined
}

void CellBuffer::resize(int rows, int cols) {
    rows_ = rows > 0 ? rows : 0;
    cols_ = cols > 0 ? cols : 0;
    cells_.assign(size_t(rows_) * size_t(cols_), Cell{});
    shown_.assign(cells_.size(), Cell{});
    allChanged_ = true;
}

void CellBuffer::put(int row, int col, char32_t ch, Role role) {
    if (row < 0 || row >= rows_ || col < 0 || col >= cols_)
        return;
    cells_[size_t(row) * size_t(cols_) + size_t(col)] = Cell{ch, role};
}

void CellBuffer::fill(const CellRect &rect, char32_t ch, Role role) {
    for (int r = rect.row; r < rect.row + rect.rows; ++r)
        for (int c = rect.col; c < rect.col + rect.cols; ++c)
            put(r, c, ch, role);
}

int CellBuffer::text(int row, int col, const char *ansi, int maxCols, Role role) {
    int n = 0;
    for (; ansi[n] != '\0' && n < maxCols; ++n)
        put(row, col + n, unicodeFromAnsi(static_cast<unsigned char>(ansi[n])), role);
    return n;
}

const Cell &CellBuffer::at(int row, int col) const {
    if (row < 0 || row >= rows_ || col < 0 || col >= cols_)
        return OUTSIDE;
    return cells_[size_t(row) * size_t(cols_) + size_t(col)];
}

int CellBuffer::writeChanges(Display &display) {
    int sent = 0;
    for (int r = 0; r < rows_; ++r) {
        const size_t base = size_t(r) * size_t(cols_);
        int c = 0;
        while (c < cols_) {
            if (!allChanged_ && cells_[base + size_t(c)] == shown_[base + size_t(c)]) {
                ++c;
                continue;
            }
            int end = c + 1;
            while (end < cols_ &&
                   (allChanged_ || !(cells_[base + size_t(end)] == shown_[base + size_t(end)])))
                ++end;
            display.write(r, c, &cells_[base + size_t(c)], end - c);
            for (int k = c; k < end; ++k)
                shown_[base + size_t(k)] = cells_[base + size_t(k)];
            sent += end - c;
            c = end;
        }
    }
    allChanged_ = false;
    return sent;
}
