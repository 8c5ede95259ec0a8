#include "term/ncurses_display.h"

#include "base/code_page.h"
#include "term/escape_keys.h"

#define NCURSES_WIDECHAR 1
#include <curses.h>

#include <clocale>
#include <csignal>
#include <cstring>
#include <langinfo.h>
#include <poll.h>
#include <unistd.h>

// The layer's virtual keys (the same values as Win32's VK_ codes); curses.h
// and the Win32 header both define TRUE, so the header stays out of here.
namespace {

enum : unsigned {
    KEY_TAB_VK = 0x09,
    KEY_BACK_VK = 0x08,
    KEY_RETURN_VK = 0x0D,
    KEY_ESCAPE_VK = 0x1B,
    KEY_SPACE_VK = 0x20,
    KEY_PRIOR_VK = 0x21,
    KEY_NEXT_VK = 0x22,
    KEY_END_VK = 0x23,
    KEY_HOME_VK = 0x24,
    KEY_LEFT_VK = 0x25,
    KEY_UP_VK = 0x26,
    KEY_RIGHT_VK = 0x27,
    KEY_DOWN_VK = 0x28,
    KEY_DELETE_VK = 0x2E,
    KEY_F1_VK = 0x70,
};

struct RoleLook {
    short foreground;
    short background;
    attr_t colourAttributes; // with colours
    attr_t plainAttributes;  // on a terminal without them
};

// Indexed by Role. Grey (8) needs a 16-colour terminal; see lookOf.
constexpr short GREY = 8;
constexpr RoleLook LOOKS[int(Role::ROLE_COUNT)] = {
    {-1, -1, A_NORMAL, A_NORMAL},                                 // Desktop
    {COLOR_BLACK, COLOR_WHITE, A_NORMAL, A_NORMAL},               // Face
    {GREY, COLOR_WHITE, A_NORMAL, A_DIM},                         // Disabled
    {GREY, COLOR_WHITE, A_NORMAL, A_NORMAL},                      // Frame
    {COLOR_WHITE, COLOR_BLUE, A_BOLD, A_REVERSE | A_BOLD},        // Caption
    {COLOR_BLACK, COLOR_CYAN, A_NORMAL, A_UNDERLINE},             // Sunken
    {COLOR_BLACK, COLOR_CYAN, A_NORMAL, A_NORMAL},                // List
    {COLOR_BLUE, COLOR_CYAN, A_NORMAL, A_NORMAL},                 // ScrollBar
    {COLOR_BLACK, COLOR_GREEN, A_NORMAL, A_REVERSE},              // Button
    {COLOR_WHITE, COLOR_GREEN, A_BOLD, A_REVERSE | A_BOLD},       // ButtonFocused
    {COLOR_YELLOW, COLOR_GREEN, A_BOLD, A_REVERSE | A_UNDERLINE}, // Mnemonic
    {COLOR_BLACK, COLOR_WHITE, A_NORMAL, A_NORMAL},               // Shadow
    {COLOR_BLACK, COLOR_WHITE, A_NORMAL, A_NORMAL},               // BoxFace
    {COLOR_WHITE, COLOR_WHITE, A_BOLD, A_BOLD},                   // BoxFrame
    {COLOR_WHITE, COLOR_BLUE, A_BOLD, A_UNDERLINE},               // Edit
};

// Without a UTF-8 locale: the terminal's own line drawing, else plain ASCII.
chtype narrowGlyph(char32_t ch) {
    switch (ch) {
    case U'─':
    case U'═': return ACS_HLINE;
    case U'│':
    case U'║': return ACS_VLINE;
    case U'┌':
    case U'╔': return ACS_ULCORNER;
    case U'┐':
    case U'╗': return ACS_URCORNER;
    case U'└':
    case U'╚': return ACS_LLCORNER;
    case U'┘':
    case U'╝': return ACS_LRCORNER;
    case U'├': return ACS_LTEE;
    case U'┤': return ACS_RTEE;
    case U'┬': return ACS_TTEE;
    case U'┴': return ACS_BTEE;
    case U'┼': return ACS_PLUS;
    case U'█': return ACS_BLOCK;
    case U'░': return ACS_CKBOARD;
    case U'▲': return '^';
    case U'▼': return 'v';
    case U'◄': return '<';
    case U'►': return '>';
    case U'☐': return '.';
    case U'☒':
    case U'×': return 'x';
    case U'▣':
    case U'■': return '#';
    case U'▄':
    case U'▀': return ' ';
    default: return ch < 0x80 ? chtype(ch) : chtype('?');
    }
}

InputEvent key(unsigned vk, unsigned char character = 0) {
    InputEvent e;
    e.type = InputEvent::Type::Key;
    e.key = vk;
    e.character = character;
    return e;
}

// Keys that ncurses reports as KEY_ codes.
bool specialKey(wint_t code, InputEvent &event) {
    switch (code) {
    case KEY_UP: event = key(KEY_UP_VK); return true;
    case KEY_DOWN: event = key(KEY_DOWN_VK); return true;
    case KEY_LEFT: event = key(KEY_LEFT_VK); return true;
    case KEY_RIGHT: event = key(KEY_RIGHT_VK); return true;
    case KEY_HOME: event = key(KEY_HOME_VK); return true;
    case KEY_END: event = key(KEY_END_VK); return true;
    case KEY_PPAGE: event = key(KEY_PRIOR_VK); return true;
    case KEY_NPAGE: event = key(KEY_NEXT_VK); return true;
    case KEY_DC: event = key(KEY_DELETE_VK); return true;
    case KEY_F(1): event = key(KEY_F1_VK); return true;
    case KEY_BACKSPACE: event = key(KEY_BACK_VK, 0x08); return true;
    case KEY_ENTER: event = key(KEY_RETURN_VK, '\r'); return true;
    case KEY_BTAB:
        event = key(KEY_TAB_VK, '\t');
        event.shift = true;
        return true;
    default: return false;
    }
}

bool mouseEvent(InputEvent &event) {
    MEVENT m;
    if (getmouse(&m) != OK)
        return false;
    event.type = InputEvent::Type::Mouse;
    event.row = m.y;
    event.col = m.x;
    if ((m.bstate & BUTTON1_PRESSED) != 0)
        event.button = InputEvent::Button::Left;
    else if ((m.bstate & BUTTON4_PRESSED) != 0)
        event.button = InputEvent::Button::WheelUp;
    else if ((m.bstate & BUTTON5_PRESSED) != 0)
        event.button = InputEvent::Button::WheelDown;
    else
        return false;
    return true;
}

// A character key; false for control characters that mean nothing here.
bool characterKey(wint_t ch, InputEvent &event) {
    switch (ch) {
    case '\t': event = key(KEY_TAB_VK, '\t'); return true;
    case '\r':
    case '\n': event = key(KEY_RETURN_VK, '\r'); return true;
    case 0x08:
    case 0x7F: event = key(KEY_BACK_VK, 0x08); return true;
    case ' ': event = key(KEY_SPACE_VK, ' '); return true;
    default: break;
    }
    if (ch < 0x20)
        return false;
    event = key(0, static_cast<unsigned char>(ansiFromCodePoint(uint32_t(ch))));
    event.text = char32_t(ch);
    return true;
}

// What follows an Esc, as it comes from ncurses: a key that is not a
// character goes back for the next read.
class CursesEscapeInput : public EscapeInput {
  public:
    int next() override {
        timeout(SEQUENCE_GAP_MS);
        wint_t ch = 0;
        const int got = get_wch(&ch);
        if (got == OK)
            return int(ch);
        if (got == KEY_CODE_YES)
            ungetch(int(ch));
        return NOTHING;
    }
    void keep(int ch) override { unget_wch(wchar_t(ch)); }

  private:
    // The bytes of one sequence arrive together; a pause ends it.
    static constexpr int SEQUENCE_GAP_MS = 10;
};

// Ctrl-C: the terminal's interrupt, taken as a key rather than the end of
// the process, so that the program ends its own way and the terminal is put
// back. Without SA_RESTART the read that waits for a key returns at once.
volatile sig_atomic_t interruptPending = 0;
struct sigaction previousInterrupt;

void onInterrupt(int) {
    interruptPending = 1;
}

bool takeInterrupt(InputEvent &event) {
    if (interruptPending == 0)
        return false;
    interruptPending = 0;
    event = InputEvent{};
    event.type = InputEvent::Type::Interrupt;
    return true;
}

// Whether standard input has gone (the terminal closed).
bool inputGone() {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

SCREEN *terminalScreen = nullptr;

} // namespace

bool cursesKey(bool isKeyCode, unsigned code, InputEvent &event) {
    return isKeyCode ? specialKey(wint_t(code), event) : characterKey(wint_t(code), event);
}

NcursesDisplay::~NcursesDisplay() {
    stop();
}

bool NcursesDisplay::start() {
    if (started_)
        return true;
    if (isatty(STDIN_FILENO) == 0 || isatty(STDOUT_FILENO) == 0)
        return false;
    setlocale(LC_CTYPE, ""); // the terminal's character set
    // Ours before newterm, which then leaves SIGINT alone.
    struct sigaction interrupt = {};
    interrupt.sa_handler = onInterrupt;
    sigemptyset(&interrupt.sa_mask);
    sigaction(SIGINT, &interrupt, &previousInterrupt);
    terminalScreen = newterm(nullptr, stdout, stdin);
    if (terminalScreen == nullptr) {
        sigaction(SIGINT, &previousInterrupt, nullptr);
        return false;
    }
    set_term(terminalScreen);
    unicode_ = strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    cbreak();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    intrflush(stdscr, FALSE);
    set_escdelay(25); // Alt+letter arrives as Esc and the letter at once
    curs_set(0);
    mousemask(BUTTON1_PRESSED | BUTTON4_PRESSED | BUTTON5_PRESSED, nullptr);
    mouseinterval(0);
    if (has_colors()) {
        start_color();
        use_default_colors();
        for (int role = 0; role < int(Role::ROLE_COUNT); ++role) {
            const RoleLook &look = LOOKS[role];
            short fg = look.foreground;
            if (fg == GREY && COLORS < 16)
                fg = COLOR_BLACK;
            init_pair(short(role + 1), fg, look.background);
        }
        colours_ = true;
    }
    started_ = true;
    return true;
}

void NcursesDisplay::stop() {
    if (!started_)
        return;
    endwin();
    delscreen(terminalScreen);
    terminalScreen = nullptr;
    sigaction(SIGINT, &previousInterrupt, nullptr);
    started_ = false;
}

void NcursesDisplay::restoreTerminal() {
    if (terminalScreen != nullptr)
        endwin();
}

TerminalSize NcursesDisplay::size() const {
    int rows = 0, cols = 0;
    getmaxyx(stdscr, rows, cols);
    return {rows, cols};
}

void NcursesDisplay::write(int row, int col, const Cell *cells, int count) {
    for (int i = 0; i < count; ++i) {
        const Cell &cell = cells[i];
        const RoleLook &look = LOOKS[int(cell.role)];
        attr_t attributes = colours_ ? look.colourAttributes : look.plainAttributes;
        if (colours_ && look.foreground == GREY && COLORS < 16)
            attributes |= A_DIM;
        const short pair = colours_ ? short(int(cell.role) + 1) : 0;
        if (cell.ch == RIGHT_HALF) {
            if (!unicode_) // the wide character was drawn as one '?'
                mvaddch(row, col + i, ' ' | attributes | COLOR_PAIR(pair));
            continue; // covered by the wide character to its left
        }
        if (unicode_) {
            const wchar_t text[2] = {wchar_t(cell.ch), L'\0'};
            cchar_t c;
            setcchar(&c, text, attributes, pair, nullptr);
            mvadd_wch(row, col + i, &c);
        } else {
            mvaddch(row, col + i, narrowGlyph(cell.ch) | attributes | COLOR_PAIR(pair));
        }
    }
}

void NcursesDisplay::setCursor(int row, int col, bool visible) {
    curs_set(visible ? 1 : 0);
    move(row, col);
}

void NcursesDisplay::flush() {
    refresh();
}

bool NcursesDisplay::readEvent(InputEvent &event, int timeoutMs) {
    if (takeInterrupt(event))
        return true;
    timeout(timeoutMs);
    wint_t ch = 0;
    const int got = get_wch(&ch);
    if (got == ERR) {
        if (takeInterrupt(event))
            return true;
        if (timeoutMs < 0 && inputGone()) {
            event.type = InputEvent::Type::Closed;
            return true;
        }
        return false;
    }
    if (got == KEY_CODE_YES) {
        if (ch == KEY_RESIZE) {
            event.type = InputEvent::Type::Resize;
            return true;
        }
        if (ch == KEY_MOUSE)
            return mouseEvent(event);
        return cursesKey(true, unsigned(ch), event);
    }
    if (ch == 0x1B) {
        CursesEscapeInput input;
        return decodeEscape(input, event);
    }
    return cursesKey(false, unsigned(ch), event);
}
