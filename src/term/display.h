// The terminal as the layer sees it: a grid of cells to write, a cursor, and
// the user's keys, clicks and size changes. The ncurses implementation runs
// the real terminal; tests use a recording one.
#pragma once

#include "term/cell_buffer.h"
#include "term/keys.h"

struct InputEvent {
    enum class Type : uint8_t {
        Key,
        Mouse,
        Resize,    // the terminal has a new size(); everything is repainted
        Closed,    // no more input will come: the terminal has gone
        Interrupt, // Ctrl-C: the user wants out
    };
    enum class Button : uint8_t { Left, WheelUp, WheelDown };

    Type type = Type::Key;
    // Key: a virtual key (VK_TAB, VK_LEFT...) for keys that are not
    // characters, and the character typed (code page 1252) for those that are;
    // Enter, Tab, Esc, Backspace and Space carry both.
    unsigned key = 0;
    unsigned char character = 0;
    char32_t text = 0; // the character typed as Unicode, for text that is kept as typed
    bool shift = false;
    bool alt = false;
    // Mouse: where, in screen cells.
    Button button = Button::Left;
    int row = 0;
    int col = 0;
};

struct TerminalSize {
    int rows = 0;
    int cols = 0;
    bool operator==(const TerminalSize &other) const = default;
};

class Display {
  public:
    virtual ~Display() = default;
    virtual TerminalSize size() const = 0;
    // Shows count cells from (row, col) on; they lie on one row.
    virtual void write(int row, int col, const Cell *cells, int count) = 0;
    virtual void setCursor(int row, int col, bool visible) = 0;
    virtual void flush() = 0;
    // The next event; false when none came within timeoutMs (-1 waits).
    virtual bool readEvent(InputEvent &event, int timeoutMs) = 0;
};
