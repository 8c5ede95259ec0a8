// Where a dialog template's controls go on a terminal. One cell is 4 x 8
// dialog units, the template's own unit: x / 4 gives the column. Rows cannot
// simply be y / 8: the template places controls at 4-unit offsets and draws
// lines 2 units high between rows, which would land several things on one
// row. So each control gets the row y / 8 unless something above it that
// shares a column still occupies that row; then it moves down just enough.
#pragma once

#include "term/cell_buffer.h"

enum class LayoutShape : uint8_t {
    Box,   // an ordinary control: cy / 8 rows, at least one
    List,  // a list box: as many whole lines as fit inside its border
    Frame, // an etched frame: a line when 1 or 2 units thin, else an outline
};

struct LayoutItem {
    LayoutShape shape;
    int x, y, cx, cy; // dialog units
};

constexpr int DLU_PER_COLUMN = 4;
constexpr int DLU_PER_ROW = 8;

// Fills cells[i] for items[i] (relative to the window's top-left cell) and
// returns the window's size in cells (row and col 0). An outline frame's
// rectangle runs from its top edge's row to its bottom edge's row.
CellRect layoutDialog(const LayoutItem *items, int count, int width, int height, CellRect *cells);

// Lines a list box of height cy shows: whole lines inside a 1-unit border, as
// Windows sizes a list box without LBS_NOINTEGRALHEIGHT.
int listBoxLines(int cy);
