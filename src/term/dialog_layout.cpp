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

// Finest first: the grids tried across and down.
constexpr int COLUMN_STEPS[] = {2, 3, 4};
constexpr int ROW_STEPS[] = {4, 8};

bool sharesColumns(const Band &a, const Band &b) {
    return a.col < b.colEnd && b.col < a.colEnd;
}

int columnOf(int x, Grid grid) {
    return x / grid.dluPerColumn;
}

int columnEnd(int x, int cx, Grid grid) {
    return std::max(columnOf(x, grid) + 1, (x + cx) / grid.dluPerColumn);
}

// The row that holds dialog unit y: counted from the nearest band above.
int rowAt(const std::vector<Band> &bands, int y, Grid grid) {
    const Band *nearest = nullptr;
    for (const Band &b : bands)
        if (b.y <= y &&
            (nearest == nullptr || b.y > nearest->y || (b.y == nearest->y && b.row > nearest->row)))
            nearest = &b;
    if (nearest == nullptr)
        return y / grid.dluPerRow;
    return nearest->row + (y - nearest->y) / grid.dluPerRow;
}

} // namespace

int listBoxLines(int cy, Grid grid) {
    return std::max(1, (cy - 2) / grid.dluPerRow);
}

CellRect layoutDialog(const LayoutItem *items, int count, int width, int height, Grid grid,
                      CellRect *cells) {
    // Band indices per item: first and second (-1 when none).
    std::vector<Band> bands;
    std::vector<int> first(size_t(count), -1), second(size_t(count), -1);
    for (int i = 0; i < count; ++i) {
        const LayoutItem &it = items[i];
        const int col = columnOf(it.x, grid), colEnd = columnEnd(it.x, it.cx, grid);
        switch (it.shape) {
        case LayoutShape::Box:
            first[size_t(i)] = int(bands.size());
            bands.push_back({it.y, it.y + it.cy, col, colEnd, std::max(1, it.cy / grid.dluPerRow)});
            break;
        case LayoutShape::Text: // text keeps to its lines on a finer grid too
            first[size_t(i)] = int(bands.size());
            bands.push_back({it.y, it.y + it.cy, col, colEnd,
                             std::max(1, std::min(it.cy / grid.dluPerRow, it.cy / TEXT_LINE_DLU))});
            break;
        case LayoutShape::List: {
            const int lines = listBoxLines(it.cy, grid);
            first[size_t(i)] = int(bands.size());
            bands.push_back({it.y, it.y + 2 + lines * grid.dluPerRow, col, colEnd, lines});
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
        int row = b.y / grid.dluPerRow;
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
        c.col = columnOf(it.x, grid);
        c.cols = columnEnd(it.x, it.cx, grid) - c.col;
        if (first[size_t(i)] < 0) { // vertical line
            c.row = rowAt(bands, it.y, grid);
            c.rows = std::max(1, rowAt(bands, it.y + it.cy - 1, grid) - c.row + 1);
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
        rows = std::max(1, (height + grid.dluPerRow - 1) / grid.dluPerRow);
    return CellRect{0, 0, rows, (width + grid.dluPerColumn - 1) / grid.dluPerColumn};
}

Grid chooseGrid(const LayoutItem *items, int count, int width, int height, int rows, int cols) {
    Grid grid = COARSEST_GRID;
    for (int across : COLUMN_STEPS)
        if ((width + across - 1) / across <= cols) {
            grid.dluPerColumn = across;
            break;
        }
    std::vector<CellRect> cells(size_t(count > 0 ? count : 0));
    for (int down : ROW_STEPS) {
        const Grid candidate{grid.dluPerColumn, down};
        if (layoutDialog(items, count, width, height, candidate, cells.data()).rows <= rows)
            return candidate;
    }
    return grid;
}
