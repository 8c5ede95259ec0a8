#include "win32/window_painter.h"

#include <algorithm>

namespace winlayer {

namespace {

// The etched lines of one window, collected before they are drawn, so that
// lines that meet get the junction of all of them (├ ┬ ┼ ...) whatever the
// order in which the template lists them.
class LineMask {
  public:
    static constexpr uint8_t UP = 1, DOWN = 2, LEFT = 4, RIGHT = 8;

    explicit LineMask(const CellRect &window)
        : window_(window), mask_(size_t(window.rows) * size_t(window.cols), 0) {}

    void horizontal(int row, int col, int cols) {
        for (int c = col; c < col + cols; ++c)
            add(row, c, uint8_t((c > col ? LEFT : 0) | (c < col + cols - 1 ? RIGHT : 0)));
    }

    void vertical(int row, int col, int rows) {
        for (int r = row; r < row + rows; ++r)
            add(r, col, uint8_t((r > row ? UP : 0) | (r < row + rows - 1 ? DOWN : 0)));
    }

    // An etched frame: a line when it is 1 or 2 units thin, else an outline.
    void frame(const Window &control) {
        const CellRect &r = control.cells;
        if (control.cx <= 2) {
            vertical(r.row, r.col, r.rows);
        } else if (control.cy <= 2) {
            horizontal(r.row, r.col, r.cols);
        } else {
            horizontal(r.row, r.col, r.cols);
            horizontal(r.row + r.rows - 1, r.col, r.cols);
            vertical(r.row, r.col, r.rows);
            vertical(r.row, r.col + r.cols - 1, r.rows);
        }
    }

    void draw(CellBuffer &buffer) const {
        for (int r = 0; r < window_.rows; ++r)
            for (int c = 0; c < window_.cols; ++c)
                if (const uint8_t m = mask_[size_t(r) * size_t(window_.cols) + size_t(c)])
                    buffer.put(window_.row + r, window_.col + c, glyph(m), Role::Frame);
    }

  private:
    void add(int row, int col, uint8_t directions) {
        if (row < 0 || row >= window_.rows || col < 0 || col >= window_.cols)
            return;
        // A line of one cell still needs a direction to be seen.
        if (directions == 0)
            directions = LEFT | RIGHT;
        mask_[size_t(row) * size_t(window_.cols) + size_t(col)] |= directions;
    }

    // A line's end with nothing beyond it is drawn as the whole line.
    static char32_t glyph(uint8_t m) {
        if ((m & (UP | DOWN)) == 0)
            m |= LEFT | RIGHT;
        if ((m & (LEFT | RIGHT)) == 0)
            m |= UP | DOWN;
        static constexpr char32_t GLYPHS[16] = {
            U' ', U'│', U'│', U'│', U'─', U'┘', U'┐', U'┤',
            U'─', U'└', U'┌', U'├', U'─', U'┴', U'┬', U'┼',
        };
        return GLYPHS[m];
    }

    CellRect window_;
    std::vector<uint8_t> mask_;
};

CellRect onScreen(const Window &window, const Window &control) {
    const CellRect &c = control.cells;
    return {window.cells.row + c.row, window.cells.col + c.col, c.rows, c.cols};
}

// How far a label may write: its own cells, and then the cells to its right
// up to the next thing on its rows. The template was laid out for a
// proportional font, in which most labels take fewer cells than letters.
int labelWidth(const Window &window, const Window &label) {
    const CellRect &l = label.cells;
    const int end = l.col + l.cols;
    int limit = window.cells.cols;
    for (HWND handle : window.children) {
        const Window *c = findWindow(handle);
        if (c == nullptr || c == &label || !isVisible(*c))
            continue;
        const CellRect &r = c->cells;
        if (r.row >= l.row + l.rows || l.row >= r.row + r.rows)
            continue;
        const bool frame = c->kind == Kind::Static && (c->style & SS_TYPEMASK) == SS_ETCHEDFRAME;
        const bool outline = frame && c->cx > 2 && c->cy > 2;
        // An outline blocks with its sides only; anything else with its whole rectangle.
        const int edges[2] = {r.col, r.col + r.cols - 1};
        for (int e = 0; e < (outline ? 2 : 1); ++e) {
            const int from = edges[e], to = outline ? edges[e] + 1 : r.col + r.cols;
            if (from >= end)
                limit = std::min(limit, from);
            else if (to > l.col)
                limit = std::min(limit, end); // overlaps the label itself
        }
    }
    return std::max(l.cols, limit - l.col);
}

void paintStatic(CellBuffer &buffer, const Window &window, const Window &control) {
    const CellRect r = onScreen(window, control);
    const uint32_t type = control.style & SS_TYPEMASK;
    if (type == SS_ETCHEDFRAME)
        return; // drawn with the window's other lines
    const bool sunken = (control.style & SS_SUNKEN) != 0;
    const Role role = sunken ? Role::Sunken : isEnabled(control) ? Role::Face : Role::Disabled;
    if (sunken)
        buffer.fill(r, U' ', role);
    int mnemonic = -1;
    const std::string text = (control.style & SS_NOPREFIX) != 0
                                 ? control.text
                                 : withoutMnemonic(control.text, &mnemonic);
    const bool right = type == SS_RIGHT;
    const int width = sunken || right ? r.cols : labelWidth(window, control);
    const auto lines = wrapText(text, width, type != SS_LEFTNOWORDWRAP);
    for (int i = 0; i < r.rows && i < int(lines.size()); ++i) {
        const std::string &line = lines[size_t(i)];
        const int used = std::min(int(line.size()), width);
        buffer.text(r.row + i, right ? r.col + r.cols - used : r.col, line.c_str(), width, role);
    }
}

// A 3-state box: "[x]" where its width is three cells, a single mark where
// it is less (by its width, not by its cells, so that boxes of one size look
// alike whatever columns they happen to span).
void paintCheckBox(CellBuffer &buffer, const Window &window, const Window &control) {
    const CellRect r = onScreen(window, control);
    const Role role = isEnabled(control) ? Role::Face : Role::Disabled;
    static constexpr char32_t WIDE[3] = {U' ', U'x', U'■'};
    static constexpr char32_t NARROW[3] = {U'☐', U'☒', U'▣'};
    const int state = std::clamp(control.check, 0, 2);
    int used = 1;
    if (r.cols >= 3 && control.cx / window.grid.dluPerColumn >= 3) {
        buffer.put(r.row, r.col, U'[', role);
        buffer.put(r.row, r.col + 1, WIDE[state], role);
        buffer.put(r.row, r.col + 2, U']', role);
        used = 3;
    } else {
        buffer.put(r.row, r.col, NARROW[state], role);
    }
    if (!control.text.empty() && r.cols > used + 1) {
        int mnemonic = -1;
        buffer.text(r.row, r.col + used + 1, withoutMnemonic(control.text, &mnemonic).c_str(),
                    r.cols - used - 1, role);
    }
}

void paintPushButton(CellBuffer &buffer, const Window &window, const Window &control) {
    const ButtonLook look = !isEnabled(control)             ? ButtonLook::Disabled
                            : layer().focus == control.self ? ButtonLook::Focused
                                                            : ButtonLook::Normal;
    drawButton(buffer, onScreen(window, control), control.text.c_str(), look);
}

void paintList(CellBuffer &buffer, const Window &window, const Window &control) {
    const CellRect r = onScreen(window, control);
    buffer.fill(r, U' ', Role::List);
    const auto &items = control.list.items;
    const bool bar = (control.style & WS_VSCROLL) != 0 && int(items.size()) > r.rows;
    const int width = bar ? r.cols - 1 : r.cols;
    for (int i = 0; i < r.rows; ++i) {
        const size_t item = size_t(control.list.top + i);
        if (item < items.size())
            buffer.text(r.row + i, r.col, items[item].c_str(), width, Role::List);
    }
    if (!bar)
        return;
    const int col = r.col + r.cols - 1;
    const int thumb = listThumbRow(control);
    for (int i = 0; i < r.rows; ++i) {
        const char32_t ch = i == 0 ? U'▲' : i == r.rows - 1 ? U'▼' : i == thumb ? U'█' : U'░';
        buffer.put(r.row + i, col, ch, Role::ScrollBar);
    }
}

// UDS_HORZ: two arrow buttons side by side.
void paintUpDown(CellBuffer &buffer, const Window &window, const Window &control) {
    const CellRect r = onScreen(window, control);
    const ButtonLook look = isEnabled(control) ? ButtonLook::Normal : ButtonLook::Disabled;
    const int half = r.cols / 2;
    drawArrowButton(buffer, {r.row, r.col, r.rows, half}, U'◄', look);
    drawArrowButton(buffer, {r.row, r.col + half, r.rows, r.cols - half}, U'►', look);
}

void paintControl(CellBuffer &buffer, const Window &window, const Window &control) {
    switch (control.kind) {
    case Kind::Static: paintStatic(buffer, window, control); break;
    case Kind::Button:
        if ((control.style & BS_TYPEMASK) == BS_3STATE)
            paintCheckBox(buffer, window, control);
        else
            paintPushButton(buffer, window, control);
        break;
    case Kind::ListBox: paintList(buffer, window, control); break;
    case Kind::UpDown: paintUpDown(buffer, window, control); break;
    case Kind::TopLevel: break;
    }
}

// The caption in the window's top line, over whatever frame runs there, and
// the close box of a window with a system menu.
void paintCaption(CellBuffer &buffer, const Window &window) {
    const CellRect &w = window.cells;
    if ((window.style & WS_CAPTION) == WS_CAPTION && !window.text.empty()) {
        const std::string title = " " + window.text + " ";
        const int cols = std::min(int(title.size()), w.cols - 8);
        buffer.text(w.row, w.col + (w.cols - cols) / 2, title.c_str(), cols, Role::Caption);
    }
    const int close = closeBoxColumn(window);
    if (close >= 0) {
        buffer.put(w.row, w.col + close, U'[', Role::Caption);
        buffer.put(w.row, w.col + close + 1, U'×', Role::Caption);
        buffer.put(w.row, w.col + close + 2, U']', Role::Caption);
    }
}

} // namespace

void paintWindow(CellBuffer &buffer, const Window &window) {
    buffer.fill(window.cells, U' ', Role::Face);
    LineMask lines(window.cells);
    for (HWND handle : window.children) {
        const Window *c = findWindow(handle);
        if (c != nullptr && isVisible(*c) && c->kind == Kind::Static &&
            (c->style & SS_TYPEMASK) == SS_ETCHEDFRAME)
            lines.frame(*c);
    }
    lines.draw(buffer);
    // Transparent controls come after their siblings, which show through them.
    for (int pass = 0; pass < 2; ++pass) {
        for (HWND handle : window.children) {
            const Window *c = findWindow(handle);
            if (c == nullptr || !isVisible(*c))
                continue;
            const bool transparent = (c->exStyle & WS_EX_TRANSPARENT) != 0;
            if (transparent == (pass == 1))
                paintControl(buffer, window, *c);
        }
    }
    paintCaption(buffer, window);
}

} // namespace winlayer
