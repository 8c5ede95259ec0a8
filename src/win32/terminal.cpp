// The layer's side of the terminal: composing the screen from the visible
// windows and the modal boxes, reading input, and finding what is under the
// mouse. Only the cells that changed since the last paint reach the display.
#include "win32/terminal.h"

#include "term/display.h"
#include "term/modal_box.h"
#include "win32/window_painter.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace winlayer {

namespace {

CellBuffer screen;
std::vector<ModalBox *> modals; // innermost last

// The cells every visible window needs, from the screen's top-left corner.
TerminalSize neededSize() {
    TerminalSize need;
    for (const Window &w : layer().windows)
        if (w.used && w.kind == Kind::TopLevel && isVisible(w)) {
            need.rows = std::max(need.rows, w.cells.row + w.cells.rows);
            need.cols = std::max(need.cols, w.cells.col + w.cells.cols);
        }
    return need;
}

// Said in the middle of a terminal too small for the window, as fully as
// the terminal has room for; the window comes back as soon as the terminal
// is large enough again.
void paintTooSmall(const TerminalSize &need, const TerminalSize &have) {
    const Window *active = findWindow(layer().active);
    const std::string caption = active != nullptr ? active->text + " " : "";
    const std::string ends = modals.empty() ? "Esc or Ctrl-C ends it." : "Ctrl-C ends it.";
    const std::string wanted = std::to_string(need.cols) + "x" + std::to_string(need.rows);
    const std::string variants[] = {
        caption + "needs a terminal of at least " + std::to_string(need.cols) + " x " +
            std::to_string(need.rows) + "; this one is " + std::to_string(have.cols) + " x " +
            std::to_string(have.rows) + ". " + ends,
        "Needs " + wanted + ". " + ends,
        "Needs " + wanted + ".",
        wanted,
    };
    // The longest that fits, with a blank column each side if there is room.
    std::vector<std::string> lines;
    for (const std::string &text : variants) {
        for (const int width : {have.cols - 2, have.cols}) {
            lines = wrapText(text, std::max(1, width), true);
            if (int(lines.size()) <= have.rows)
                break;
        }
        if (int(lines.size()) <= have.rows)
            break;
    }
    const int shown = std::min(int(lines.size()), have.rows);
    const int top = (have.rows - shown) / 2;
    for (int i = 0; i < shown; ++i) {
        const int cols = std::min(int(lines[size_t(i)].size()), have.cols);
        screen.text(top + i, (have.cols - cols) / 2, lines[size_t(i)].c_str(), cols, Role::Desktop);
    }
}

// Where modal boxes are centred: the active window, or the whole screen.
CellRect modalArea(const TerminalSize &size) {
    const Window *active = findWindow(layer().active);
    if (active != nullptr && isVisible(*active))
        return active->cells;
    return CellRect{0, 0, size.rows, size.cols};
}

} // namespace

void paintScreen() {
    Display *display = layer().display;
    if (display == nullptr)
        return;
    const TerminalSize size = display->size();
    if (screen.rows() != size.rows || screen.cols() != size.cols)
        screen.resize(size.rows, size.cols);
    for (Window &w : layer().windows) // a new size: laid out afresh
        if (w.used && w.kind == Kind::TopLevel && !(w.laidOutFor == size))
            layoutWindow(w);
    screen.fill({0, 0, size.rows, size.cols}, U' ', Role::Desktop);
    const TerminalSize need = neededSize();
    int cursorRow = 0, cursorCol = 0;
    bool cursor = false;
    if (size.rows < need.rows || size.cols < need.cols) {
        paintTooSmall(need, size);
    } else {
        for (const Window &w : layer().windows)
            if (w.used && w.kind == Kind::TopLevel && isVisible(w))
                paintWindow(screen, w);
        for (ModalBox *box : modals)
            box->paint(screen, modalArea(size));
        cursor = !modals.empty() && modals.back()->cursor(&cursorRow, &cursorCol);
    }
    screen.writeChanges(*display);
    display->setCursor(cursorRow, cursorCol, cursor);
    display->flush();
}

bool screenTooSmall() {
    const Display *display = layer().display;
    if (display == nullptr)
        return false;
    const TerminalSize size = display->size(), need = neededSize();
    return size.rows < need.rows || size.cols < need.cols;
}

bool readInput(InputEvent &event, int timeoutMs) {
    if (!layer().display->readEvent(event, timeoutMs))
        return false;
    if (event.type == InputEvent::Type::Resize)
        screen.invalidate(); // the terminal may have lost what it showed
    return true;
}

Window *windowAtCell(int row, int col, int *localRow, int *localCol) {
    Window *active = findWindow(layer().active);
    if (active == nullptr || !isVisible(*active) || !active->cells.contains(row, col))
        return nullptr;
    *localRow = row - active->cells.row;
    *localCol = col - active->cells.col;
    return active;
}

Window *controlAtCell(Window &window, int row, int col) {
    for (HWND handle : window.children) {
        Window *c = findWindow(handle);
        // Statics let clicks through to what lies beneath, as on Windows.
        if (c != nullptr && c->kind != Kind::Static && isVisible(*c) && isEnabled(*c) &&
            c->cells.contains(row, col))
            return c;
    }
    return nullptr;
}

int closeBoxColumn(const Window &window) {
    return (window.style & WS_SYSMENU) != 0 && window.cells.cols >= 8 ? 2 : -1;
}

bool ModalBox::cursor(int *, int *) const {
    return false;
}

void runModal(ModalBox &box) {
    modals.push_back(&box);
    for (;;) {
        // Ctrl-C closes every box as Esc does, and then the window.
        if (layer().interrupted) {
            InputEvent escape;
            escape.key = VK_ESCAPE;
            escape.character = 0x1B;
            if (box.handle(escape))
                break;
        }
        paintScreen();
        InputEvent event;
        if (!readInput(event, -1))
            continue;
        if (event.type == InputEvent::Type::Resize)
            continue;
        if (event.type == InputEvent::Type::Interrupt) {
            layer().interrupted = true;
            continue;
        }
        if (event.type == InputEvent::Type::Closed)
            layer().inputClosed = true;
        else if (screenTooSmall())
            continue; // a box that cannot be seen cannot be answered
        if (box.handle(event))
            break;
    }
    modals.pop_back();
}

bool showKeyHelp() {
    LayerState &s = layer();
    if (s.keyHelp.empty() || s.display == nullptr || s.inputClosed)
        return false;
    ModalActivation modal;
    static const char *const OK[] = {"OK"};
    askMessage(runModal, "Keys", s.keyHelp.c_str(), OK, 1, 0);
    return true;
}

} // namespace winlayer

void setKeyHelp(const char *text) {
    winlayer::layer().keyHelp = text != nullptr ? text : "";
}

void setOpenPromptNote(const char *text) {
    winlayer::layer().openPromptNote = text != nullptr ? text : "";
}

void attachTerminal(Display *display, void (*restore)()) {
    winlayer::layer().display = display;
    winlayer::layer().restoreTerminal = restore;
    winlayer::layer().inputClosed = false;
    winlayer::screen.resize(0, 0);
}

void detachTerminal() {
    winlayer::layer().display = nullptr;
    winlayer::layer().restoreTerminal = nullptr;
}
