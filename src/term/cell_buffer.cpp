#include "term/cell_buffer.h"

#include "term/display.h"

#include <cstddef>

namespace {

// Code page 1252's 0x80..0x9F; the rest of its upper half is Latin-1.
// Undefined bytes show as U+FFFD.
constexpr char32_t CP1252_HIGH[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

const Cell OUTSIDE{};

} // namespace

char32_t unicodeFromAnsi(unsigned char byte) {
    if (byte < 0x20 || byte == 0x7F)
        return U'?'; // control characters would move the terminal's cursor
    if (byte >= 0x80 && byte < 0xA0)
        return CP1252_HIGH[byte - 0x80];
    return byte;
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
