#include "term/dialog_layout.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int THIN = 2; // frames this thin or thinner are lines

// One horizontal strip that a control occupies: most controls have one, an
// outline frame two (its top and bottom edges), a vertical line none.
struct Band {
    int y;      // top, dialog units
    int bottom; // where the next thing below may start, dialog units
    int col;
    int colEnd;
    int rows;
    int row = 0;
};

bool sharesColumns(const Band &a, const Band &b) {
    return a.col < b.colEnd && b.col < a.colEnd;
}

int columnOf(int x) {
    return x / DLU_PER_COLUMN;
}

int columnEnd(int x, int cx) {
    return std::max(columnOf(x) + 1, (x + cx) / DLU_PER_COLUMN);
}

// The row that holds dialog unit y: counted from the nearest band above.
int rowAt(const std::vector<Band> &bands, int y) {
    const Band *nearest = nullptr;
    for (const Band &b : bands)
        if (b.y <= y &&
            (nearest == nullptr || b.y > nearest->y || (b.y == nearest->y && b.row > nearest->row)))
            nearest = &b;
    if (nearest == nullptr)
        return y / DLU_PER_ROW;
    return nearest->row + (y - nearest->y) / DLU_PER_ROW;
}

} // namespace

int listBoxLines(int cy) {
    return std::max(1, (cy - 2) / DLU_PER_ROW);
}

CellRect layoutDialog(const LayoutItem *items, int count, int width, int height, CellRect *cells) {
    // Band indices per item: first and second (-1 when none).
    std::vector<Band> bands;
    std::vector<int> first(size_t(count), -1), second(size_t(count), -1);
    for (int i = 0; i < count; ++i) {
        const LayoutItem &it = items[i];
        const int col = columnOf(it.x), colEnd = columnEnd(it.x, it.cx);
        switch (it.shape) {
        case LayoutShape::Box:
            first[size_t(i)] = int(bands.size());
            bands.push_back({it.y, it.y + it.cy, col, colEnd, std::max(1, it.cy / DLU_PER_ROW)});
            break;
        case LayoutShape::List: {
            const int lines = listBoxLines(it.cy);
            first[size_t(i)] = int(bands.size());
            bands.push_back({it.y, it.y + 2 + lines * DLU_PER_ROW, col, colEnd, lines});
            break;
        }
        case LayoutShape::Frame:
            if (it.cx <= THIN) // vertical line: spans rows, but stacks nothing
                break;
            first[size_t(i)] = int(bands.size());
            bands.push_back({it.y, it.y + std::min(it.cy, THIN), col, colEnd, 1});
            if (it.cy > THIN) {
                second[size_t(i)] = int(bands.size());
                const int edge = it.y + it.cy - THIN;
                bands.push_back({edge, edge + THIN, col, colEnd, 1});
            }
            break;
        }
    }

    // Top to bottom: each band below everything that ends above it in a shared column.
    std::vector<size_t> order(bands.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return bands[a].y < bands[b].y; });
    for (size_t k = 0; k < order.size(); ++k) {
        Band &b = bands[order[k]];
        int row = b.y / DLU_PER_ROW;
        for (size_t j = 0; j < k; ++j) {
            const Band &a = bands[order[j]];
            if (a.bottom <= b.y && sharesColumns(a, b))
                row = std::max(row, a.row + a.rows);
        }
        b.row = row;
    }

    int rows = 0;
    for (const Band &b : bands)
        rows = std::max(rows, b.row + b.rows);
    for (int i = 0; i < count; ++i) {
        const LayoutItem &it = items[i];
        CellRect &c = cells[i];
        c.col = columnOf(it.x);
        c.cols = columnEnd(it.x, it.cx) - c.col;
        if (first[size_t(i)] < 0) { // vertical line
            c.row = rowAt(bands, it.y);
            c.rows = std::max(1, rowAt(bands, it.y + it.cy - 1) - c.row + 1);
            c.cols = 1;
        } else {
            const Band &top = bands[size_t(first[size_t(i)])];
            c.row = top.row;
            c.rows = second[size_t(i)] < 0 ? top.rows
                                           : bands[size_t(second[size_t(i)])].row - top.row + 1;
        }
        rows = std::max(rows, c.row + c.rows);
    }
    if (rows == 0)
        rows = std::max(1, (height + DLU_PER_ROW - 1) / DLU_PER_ROW);
    return CellRect{0, 0, rows, (width + DLU_PER_COLUMN - 1) / DLU_PER_COLUMN};
}
