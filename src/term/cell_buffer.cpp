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
    // The bytes that the code page leaves undefined show as U+FFFD.
    return ch >= 0x80 && ch < 0xA0 ? U'\uFFFD' : ch;
}

char32_t nextUtf8(const char *text, size_t &at) {
    const auto byte = [text](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const int length = lead < 0x80                   ? 1
                       : lead >= 0xC2 && lead < 0xE0 ? 2
                       : lead >= 0xE0 && lead < 0xF0 ? 3
                       : lead >= 0xF0 && lead < 0xF5 ? 4
                                                     : 0;
    char32_t ch = length == 1   ? lead
                  : length == 2 ? lead & 0x1F
                  : length == 3 ? lead & 0x0F
                                : lead & 0x07;
    for (int k = 1; k < length; ++k) {
        if ((byte(at + size_t(k)) & 0xC0) != 0x80) {
            ++at;
            return U'\uFFFD';
        }
        ch = (ch << 6) | (byte(at + size_t(k)) & 0x3F);
    }
    // Overlong forms, surrogates and what lies beyond Unicode are not text.
    static constexpr char32_t LEAST[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (length == 0 || ch < LEAST[length] || (ch >= 0xD800 && ch < 0xE000) || ch > 0x10FFFF) {
        ++at;
        return U'\uFFFD';
    }
    at += size_t(length);
    return ch;
}

bool isUtf8Beyond7Bit(const char *text) {
    bool beyond = false;
    for (size_t at = 0; text[at] != '\0';) {
        const size_t from = at;
        const char32_t ch = nextUtf8(text, at);
        if (ch == U'\uFFFD' && at - from == 1 && static_cast<unsigned char>(text[from]) >= 0x80)
            return false;
        beyond = beyond || ch >= 0x80;
    }
    return beyond;
}

int cellWidth(char32_t ch) {
    // East Asian wide and full-width characters (Unicode's EastAsianWidth W and F).
    static constexpr char32_t WIDE[][2] = {
        {0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},
        {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
        {0xFE30, 0xFE4F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F},
        {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
    };
    for (const auto &range : WIDE)
        if (ch >= range[0] && ch <= range[1])
            return 2;
    return 1;
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

int CellBuffer::textUtf8(int row, int col, const char *utf8, int maxCols, Role role) {
    int used = 0;
    for (size_t at = 0; utf8[at] != '\0';) {
        char32_t ch = nextUtf8(utf8, at);
        if (ch < 0x20 || (ch >= 0x7F && ch < 0xA0))
            ch = U'?'; // control characters would move the terminal's cursor
        const int width = cellWidth(ch);
        if (used + width > maxCols)
            break;
        put(row, col + used, ch, role);
        if (width == 2)
            put(row, col + used + 1, RIGHT_HALF, role);
        used += width;
    }
    return used;
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
