// Where a dialog template's controls go on a terminal. A cell spans a grid of
// dialog units: 4 across and 8 down at the coarsest, the template's own unit
// (x / 4 gives the column), finer where the terminal has room. Rows cannot
// simply be y / 8: the template places controls at 4-unit offsets and draws
// lines 2 units high between rows, which would land several things on one
// row. So each control gets the row y / grid unless something above it that
// shares a column still occupies that row; then it moves down just enough.
#pragma once

#include "term/cell_buffer.h"

enum class LayoutShape : uint8_t {
    Box,   // a button or an up-down control: cy / dluPerRow rows, at least one
    Text,  // a label, value field or check box: a row per line of text
    List,  // a list box: as many whole lines as fit inside its border
    Frame, // an etched frame: a line when 1 or 2 units thin, else an outline
};

struct LayoutItem {
    LayoutShape shape;
    int x, y, cx, cy; // dialog units
};

// Dialog units per cell, across and down.
struct Grid {
    int dluPerColumn;
    int dluPerRow;
    bool operator==(const Grid &other) const = default;
};

// The template's own unit: a quarter of the font's width and an eighth of its
// height. Every template fits its own size in cells on this grid.
constexpr Grid COARSEST_GRID{4, 8};

// The height of a line of text in dialog units: the font's height.
constexpr int TEXT_LINE_DLU = 8;

// Fills cells[i] for items[i] (relative to the window's top-left cell) and
// returns the window's size in cells (row and col 0). An outline frame's
// rectangle runs from its top edge's row to its bottom edge's row.
CellRect layoutDialog(const LayoutItem *items, int count, int width, int height, Grid grid,
                      CellRect *cells);

// The finest grid on which a dialog of width x height units fits a terminal
// of rows x cols cells; the coarsest when none does.
Grid chooseGrid(const LayoutItem *items, int count, int width, int height, int rows, int cols);

// Lines a list box of height cy shows: whole lines inside a 1-unit border, as
// Windows sizes a list box without LBS_NOINTEGRALHEIGHT.
int listBoxLines(int cy, Grid grid);
