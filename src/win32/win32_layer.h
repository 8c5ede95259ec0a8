// Inside the Win32 layer: the windows it owns, looked up by handle, and the
// one state of the layer (classes, focus, queue, terminal). Shared by the
// layer's own files only; the application sees platform/win32.h.
#pragma once

#include "base/code_page.h"
#include "term/cell_buffer.h"
#include "term/dialog_layout.h"
#include "term/display.h"
#include "term/modal_box.h"
#include "win32/win32.h"

#include <deque>
#include <string>
#include <vector>

namespace winlayer {

// Stops the program: a call, message, style or class the layer does not
// implement. The terminal is restored first so that the message is seen.
[[noreturn]] void layerFailure(const char *format, ...) __attribute__((format(printf, 1, 2)));

enum class Kind : uint8_t { TopLevel, Static, Button, ListBox, UpDown };

constexpr int MAX_WINDOWS = 1024;
constexpr int MAX_CLASSES = 16;

struct ListBoxState {
    std::vector<std::string> items;
    int top = 0; // first line shown
};

// Windows' defaults: the range runs from 100 down to 0.
struct UpDownState {
    int lower = 100;
    int upper = 0;
    int pos = 0;
    int base = 10;
    UDACCEL accel = {0, 1};
};

struct Window {
    bool used = false;
    uint16_t generation = 0;
    Kind kind = Kind::Static;
    HWND self = nullptr;
    HWND parent = nullptr;
    WNDPROC proc = nullptr;       // a top-level window's class procedure
    DLGPROC dialogProc = nullptr; // kept as Windows keeps it; only DefDlgProc would call it
    int id = 0;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0; // dialog units, from the template
    CellRect cells;                   // where it is drawn, relative to its window
    TerminalSize laidOutFor;          // a top-level window: the terminal it was laid out on
    Grid grid = COARSEST_GRID;        // and the dialog units of its cells
    std::string text;
    int check = BST_UNCHECKED;
    ListBoxState list;
    UpDownState updown;
    std::vector<HWND> children; // a top-level window's controls, in template order
};

struct WindowClass {
    bool used = false;
    char name[64] = "";
    WNDPROC proc = nullptr;
    int windowExtra = 0;
    ATOM atom = 0;
};

// What the dialog manager keeps for the whole process.
struct LayerState {
    Window windows[MAX_WINDOWS];
    WindowClass classes[MAX_CLASSES];
    bool commonControls = false; // InitCommonControls has registered msctls_updown32
    std::deque<MSG> queue;
    bool quitPending = false;
    int quitCode = 0;
    HWND focus = nullptr;     // a control, a top-level window itself, or null
    HWND active = nullptr;    // the top-level window that was shown last: drawn, clicked
    HWND activated = nullptr; // the window told WM_ACTIVATE; none while a modal box is up
    Display *display = nullptr;
    void (*restoreTerminal)() = nullptr; // before a failure message is printed
    bool inputClosed = false;
    bool interrupted = false;   // Ctrl-C, not yet turned into Esc for the window
    std::string keyHelp;        // the text of the keys box, from the program
    std::string openPromptNote; // what the program asks for in an Open prompt
};

LayerState &layer();

// Back to the state of a new process: no windows, classes, messages or terminal.
void resetLayer();

// The live window behind a handle, or null for a stale or foreign handle.
Window *findWindow(HWND handle);

// A new window object; fails loudly when the table is full.
Window &newWindow(Kind kind);

// A registered class by name; null if none.
const WindowClass *findClass(const char *name);

// Calls the window's procedure: the class procedure of a top-level window,
// the control's own behaviour otherwise.
LRESULT callProcedure(Window &window, UINT message, WPARAM wParam, LPARAM lParam);

// The control procedures (win32_controls.cpp).
LRESULT controlProcedure(Window &control, UINT message, WPARAM wParam, LPARAM lParam);

// WM_GETTEXT: at most size - 1 characters and a NUL; the count copied.
LRESULT copyWindowText(const Window &window, char *out, WPARAM size);

// Places a top-level window and its controls on the finest grid that fits the
// terminal, centred; without a terminal, on the template's own grid.
void layoutWindow(Window &window);

// The child of dialog with id, or null.
Window *dialogItem(Window &dialog, int id);

// The WS_VISIBLE and WS_DISABLED bits of the window itself: a control of a
// hidden dialog still counts as visible, as Windows' dialog manager sees it.
bool isEnabled(const Window &window);
bool isVisible(const Window &window);

// Focus, for keyboard handling and painting. A control's window is activated
// first if it is not, as SetFocus does on Windows.
void setFocus(HWND window);

// Activation as Windows goes about it: WM_ACTIVATE to the window that loses
// it, then to the one that gains it, whose default procedure takes the focus.
void activate(HWND window);

// A modal box takes the activation from the window that has it while it is
// up (the window hears WM_ACTIVATE both ways, as under a real message box).
class ModalActivation {
  public:
    ModalActivation();
    ~ModalActivation();
    ModalActivation(const ModalActivation &) = delete;
    ModalActivation &operator=(const ModalActivation &) = delete;

  private:
    HWND previous_;
};

// Sends WM_COMMAND for a pressed button to its parent, taking the focus first
// as a click on a Windows button does.
void pressButton(Window &button);

// One user step of an up-down control (+1 towards the upper end of the arrows).
void stepUpDown(Window &updown, int direction);

// An up-down control's move to the upper or the lower end of its range, asked
// of the parent like a step.
void moveUpDownToEnd(Window &updown, bool upper);

// Scrolls a list box by lines, kept inside its contents.
void scrollList(Window &list, int lines);

// Lines of a list box that its height shows.
int visibleLines(const Window &list);

// The row of the scroll bar's thumb inside a list box, or -1 when the bar
// has no track (all lines fit, or the box is too short).
int listThumbRow(const Window &list);

// The terminal side (terminal.cpp): painting and input for the message loop.
// Paints every visible window and any modal box, then sends what changed.
void paintScreen();
// Shows box above everything until it is done (terminal.cpp).
void runModal(ModalBox &box);
// The box that lists the keys (F1, ?), if the program has given their text;
// false when it has not.
bool showKeyHelp();
// Waits up to timeoutMs (-1: for ever) for the user; false if nothing came.
bool readInput(InputEvent &event, int timeoutMs);
// Whether the terminal is too small to show the windows, which are then not
// drawn: a notice says so, and only keys that end the program count.
bool screenTooSmall();
// The top-level window at a screen cell and the cell inside it, or null.
Window *windowAtCell(int row, int col, int *localRow, int *localCol);
// The control of window under a cell inside it that takes the mouse, or null.
Window *controlAtCell(Window &window, int row, int col);
// Where a window's close box is, in its own cells (-1 when it has none).
int closeBoxColumn(const Window &window);

// The character a key press produced, carried in the scan-code byte of the
// WM_KEYDOWN lParam: a terminal reports characters, not key positions.
// Bit 25, reserved on Windows, carries Shift for Shift-Tab.
constexpr LPARAM KEY_SHIFT = LPARAM(1) << 25;
constexpr LPARAM KEY_ALT = LPARAM(1) << 29; // the context code of WM_SYSKEYDOWN
constexpr LPARAM keyLParam(unsigned char character) {
    return LPARAM(1) | (LPARAM(character) << 16);
}
constexpr unsigned char keyCharacter(LPARAM lParam) {
    return static_cast<unsigned char>((lParam >> 16) & 0xFF);
}

} // namespace winlayer
