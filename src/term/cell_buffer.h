// The terminal screen as a grid of cells that remembers what the display
// already shows, so that a repaint sends only the cells that changed.
#pragma once

#include "base/code_page.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class Display;

// What a cell shows; the display chooses colours and attributes for each.
enum class Role : uint8_t {
    Desktop,       // outside every window
    Face,          // a window's background and its labels
    Disabled,      // greyed: a disabled control
    Frame,         // etched frames and lines
    Caption,       // the title in a window's top line
    Sunken,        // a value field
    List,          // a list box's lines
    ScrollBar,     // a list box's scroll bar
    Button,        // a push button's face
    ButtonFocused, // the face of the button with the focus
    Mnemonic,      // a button's mnemonic letter
    Shadow,        // below a push button
    BoxFace,       // a message box or path prompt
    BoxFrame,      // its border
    Edit,          // the path being edited
    ROLE_COUNT
};

struct Cell {
    char32_t ch = U' ';
    Role role = Role::Desktop;
    bool operator==(const Cell &other) const = default;
};

// The cell right of a wide character (CJK), which the character covers.
constexpr char32_t RIGHT_HALF = U'\0';

struct CellRect {
    int row = 0;
    int col = 0;
    int rows = 0;
    int cols = 0;
    bool contains(int r, int c) const {
        return r >= row && r < row + rows && c >= col && c < col + cols;
    }
    bool operator==(const CellRect &other) const = default;
};

// How a byte of Windows-1252 text shows on the terminal: its character, '?'
// for a control character, U+FFFD for a byte that the code page leaves undefined.
char32_t unicodeFromAnsi(unsigned char byte);

// The next character of UTF-8 text at text[at], moving at past it; for a byte
// that does not begin a valid sequence, U+FFFD and one byte.
char32_t nextUtf8(const char *text, size_t &at);
// Whether text is valid UTF-8 with at least one character beyond ASCII.
bool isUtf8Beyond7Bit(const char *text);
// The cells a character takes on a terminal: 2 for the wide ones, else 1.
int cellWidth(char32_t ch);

class CellBuffer {
  public:
    // A new size; everything is repainted on the next flush.
    void resize(int rows, int cols);
    int rows() const { return rows_; }
    int cols() const { return cols_; }

    // Writes outside the grid are dropped.
    void put(int row, int col, char32_t ch, Role role);
    void fill(const CellRect &rect, char32_t ch, Role role);
    // Code page 1252 text from col on, at most maxCols cells; returns the cells used.
    int text(int row, int col, const char *ansi, int maxCols, Role role);
    // The same for UTF-8 text (a path as the user typed it); a wide
    // character that would not fit whole is left out.
    int textUtf8(int row, int col, const char *utf8, int maxCols, Role role);
    const Cell &at(int row, int col) const;

    // Everything counts as changed: the display may have lost what it showed.
    void invalidate() { allChanged_ = true; }

    // Writes the runs of cells that differ from what the display shows (all
    // of them after a resize or invalidate); the number of cells written.
    int writeChanges(Display &display);

  private:
    int rows_ = 0;
    int cols_ = 0;
    std::vector<Cell> cells_;
    std::vector<Cell> shown_; // what the display shows, as far as we know
    bool allChanged_ = true;
};
