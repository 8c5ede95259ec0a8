// What the four control classes do with their messages: STATIC, BUTTON,
// LISTBOX and msctls_updown32. A message a class does not know stops the
// program, so that a call the layer would silently get wrong is found.
#include "win32/win32_layer.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace winlayer {

namespace {

const char *className(Kind kind) {
    switch (kind) {
    case Kind::TopLevel: return "dialog";
    case Kind::Static: return "STATIC";
    case Kind::Button: return "BUTTON";
    case Kind::ListBox: return "LISTBOX";
    case Kind::UpDown: return UPDOWN_CLASSA;
    }
    return "?";
}

[[noreturn]] void unsupported(const Window &w, UINT message) {
    layerFailure("%s control %d does not implement message 0x%04X", className(w.kind), w.id,
                 message);
}

// Windows sorts list boxes with CompareString and NORM_IGNORECASE: symbols
// before digits before letters, case ignored, and hyphens and apostrophes
// left out unless the strings are otherwise equal.
int sortGroup(unsigned char c) {
    if (isdigit(c))
        return 1;
    if (isalpha(c) || c >= 0x80)
        return 2;
    return 0;
}

bool ignoredInWords(unsigned char c) {
    return c == '-' || c == '\'';
}

int compareWords(const char *a, const char *b, bool skipHyphens) {
    for (;;) {
        if (skipHyphens) {
            while (ignoredInWords(static_cast<unsigned char>(*a)))
                ++a;
            while (ignoredInWords(static_cast<unsigned char>(*b)))
                ++b;
        }
        const unsigned char ca =
            static_cast<unsigned char>(tolower(static_cast<unsigned char>(*a)));
        const unsigned char cb =
            static_cast<unsigned char>(tolower(static_cast<unsigned char>(*b)));
        if (ca == '\0' || cb == '\0')
            return (ca != '\0') - (cb != '\0');
        if (ca != cb) {
            const int ga = sortGroup(ca), gb = sortGroup(cb);
            if (ga != gb)
                return ga < gb ? -1 : 1;
            return ca < cb ? -1 : 1;
        }
        ++a;
        ++b;
    }
}

int ignoredCount(const char *s) {
    int n = 0;
    for (; *s != '\0'; ++s)
        n += ignoredInWords(static_cast<unsigned char>(*s)) ? 1 : 0;
    return n;
}

// Lines equal but for their hyphens: the one with fewer comes first.
int compareListText(const char *a, const char *b) {
    const int words = compareWords(a, b, true);
    if (words != 0)
        return words;
    const int hyphens = ignoredCount(a) - ignoredCount(b);
    if (hyphens != 0)
        return hyphens < 0 ? -1 : 1;
    return compareWords(a, b, false);
}

// Where a new line goes in a sorted list: a binary search that stops at an
// equal line and puts the new one before it, as Windows' list box does.
size_t sortedPosition(const std::vector<std::string> &items, const char *text) {
    size_t low = 0, high = items.size();
    while (low < high) {
        const size_t mid = (low + high) / 2;
        const int order = compareListText(items[mid].c_str(), text);
        if (order == 0)
            return mid;
        if (order > 0)
            high = mid;
        else
            low = mid + 1;
    }
    return low;
}

// Messages every control answers the same way; any other ends the program.
LRESULT commonMessage(Window &w, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETTEXT:
        w.text = lParam != 0 ? reinterpret_cast<const char *>(lParam) : "";
        return TRUE;
    case WM_GETTEXT: return copyWindowText(w, reinterpret_cast<char *>(lParam), wParam);
    case WM_GETTEXTLENGTH: return LRESULT(w.text.size());
    // Input that means nothing to this control, and its destruction.
    case WM_DESTROY:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_CHAR:
    case WM_SYSCHAR:
    case WM_LBUTTONDOWN:
    case WM_MOUSEWHEEL: return 0;
    default: unsupported(w, message);
    }
}

LRESULT buttonProcedure(Window &w, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case BM_GETCHECK: return w.check;
    case BM_SETCHECK:
        if ((w.style & BS_TYPEMASK) == BS_3STATE) // a push button has no state
            w.check = std::min(int(wParam), BST_INDETERMINATE);
        return 0;
    case BM_CLICK: pressButton(w); return 0;
    case WM_KEYDOWN: // a terminal reports no key release: the press is the click
        if (wParam == VK_SPACE)
            pressButton(w);
        return 0;
    case WM_LBUTTONDOWN: pressButton(w); return 0;
    default: break;
    }
    return commonMessage(w, message, wParam, lParam);
}

// A click in the scroll bar column: the arrows move a line, the track a page.
void clickList(Window &w, int col, int row) {
    const int lines = visibleLines(w);
    if (int(w.list.items.size()) <= lines || col != w.cells.cols - 1)
        return;
    if (row == 0)
        scrollList(w, -1);
    else if (row == w.cells.rows - 1)
        scrollList(w, 1);
    else
        scrollList(w, row < listThumbRow(w) ? -lines : lines);
}

LRESULT listProcedure(Window &w, UINT message, WPARAM wParam, LPARAM lParam) {
    ListBoxState &list = w.list;
    const int count = int(list.items.size());
    switch (message) {
    case LB_ADDSTRING: {
        if (lParam == 0)
            return LB_ERR;
        const char *text = reinterpret_cast<const char *>(lParam);
        const size_t at =
            (w.style & LBS_SORT) != 0 ? sortedPosition(list.items, text) : list.items.size();
        list.items.insert(list.items.begin() + long(at), text);
        return LRESULT(at);
    }
    case LB_RESETCONTENT:
        list.items.clear();
        list.top = 0;
        return 0;
    case LB_GETCOUNT: return count;
    case LB_GETTEXT:
        if (int(wParam) < 0 || int(wParam) >= count)
            return LB_ERR;
        // Windows trusts the caller's buffer to hold LB_GETTEXTLEN + 1 characters.
        memcpy(reinterpret_cast<char *>(lParam), list.items[wParam].c_str(),
               list.items[wParam].size() + 1);
        return LRESULT(list.items[wParam].size());
    case LB_GETTEXTLEN:
        if (int(wParam) < 0 || int(wParam) >= count)
            return LB_ERR;
        return LRESULT(list.items[wParam].size());
    case LB_GETTOPINDEX: return list.top;
    case LB_SETTOPINDEX:
        if (int(wParam) < 0 || (count > 0 && int(wParam) >= count))
            return LB_ERR;
        list.top = 0;
        scrollList(w, int(wParam));
        return 0;
    case WM_MOUSEWHEEL: // three lines a notch, Windows' default
        scrollList(w, -3 * int(static_cast<short>(HIWORD(wParam))) / WHEEL_DELTA);
        return 0;
    case WM_LBUTTONDOWN:
        clickList(w, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        return 0;
    default: break;
    }
    return commonMessage(w, message, wParam, lParam);
}

bool inRange(const UpDownState &u, int value) {
    return u.upper >= u.lower ? value >= u.lower && value <= u.upper
                              : value >= u.upper && value <= u.lower;
}

LRESULT updownProcedure(Window &w, UINT message, WPARAM wParam, LPARAM lParam) {
    UpDownState &u = w.updown;
    switch (message) {
    case UDM_SETRANGE:
        u.upper = static_cast<short>(LOWORD(lParam));
        u.lower = static_cast<short>(HIWORD(lParam));
        return 0;
    case UDM_GETRANGE: return MAKELONG(u.upper, u.lower);
    case UDM_SETPOS: {
        // Outside the range the position goes to the nearer end, as on Windows.
        int value = static_cast<short>(LOWORD(lParam));
        if (!inRange(u, value)) {
            const int low = std::min(u.lower, u.upper), high = std::max(u.lower, u.upper);
            value = std::clamp(value, low, high);
        }
        const int previous = u.pos;
        u.pos = value;
        return previous;
    }
    case UDM_GETPOS: return LOWORD(u.pos);
    case UDM_SETBASE: {
        if (wParam != 10 && wParam != 16)
            return 0;
        const int previous = u.base;
        u.base = int(wParam);
        return previous;
    }
    case UDM_GETBASE: return u.base;
    case UDM_SETACCEL:
        if (wParam == 0 || lParam == 0)
            return FALSE;
        u.accel = *reinterpret_cast<const UDACCEL *>(lParam); // one step: only the first counts
        return TRUE;
    case WM_KEYDOWN:
        if ((w.style & UDS_ARROWKEYS) == 0)
            return 0;
        if (wParam == VK_UP || wParam == VK_RIGHT)
            stepUpDown(w, 1);
        else if (wParam == VK_DOWN || wParam == VK_LEFT)
            stepUpDown(w, -1);
        return 0;
    case WM_LBUTTONDOWN: // UDS_HORZ: the left half decreases, the right half increases
        stepUpDown(w, static_cast<short>(LOWORD(lParam)) < w.cells.cols / 2 ? -1 : 1);
        return 0;
    default: break;
    }
    return commonMessage(w, message, wParam, lParam);
}

} // namespace

LRESULT controlProcedure(Window &control, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (control.kind) {
    case Kind::Button: return buttonProcedure(control, message, wParam, lParam);
    case Kind::ListBox: return listProcedure(control, message, wParam, lParam);
    case Kind::UpDown: return updownProcedure(control, message, wParam, lParam);
    case Kind::Static:
    case Kind::TopLevel: break;
    }
    return commonMessage(control, message, wParam, lParam);
}

void pressButton(Window &button) {
    if (!isEnabled(button) || !isVisible(button))
        return;
    setFocus(button.self);
    const HWND self = button.self, parent = button.parent;
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(button.id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(self));
}

namespace {

// Asks the parent whether the position may move by delta (UDN_DELTAPOS), moves
// it if so and inside the range, and announces the position (WM_HSCROLL).
void moveUpDown(Window &updown, int delta) {
    const UpDownState &u = updown.updown;
    NMUPDOWN change = {};
    change.hdr.hwndFrom = updown.self;
    change.hdr.idFrom = UINT_PTR(updown.id);
    change.hdr.code = UINT(UDN_DELTAPOS);
    change.iPos = u.pos;
    change.iDelta = delta;
    const HWND self = updown.self, parent = updown.parent;
    const LRESULT refused =
        SendMessageA(parent, WM_NOTIFY, WPARAM(updown.id), reinterpret_cast<LPARAM>(&change));
    Window *w = findWindow(self);
    if (w == nullptr)
        return;
    // The parent may change the step; the position moves only inside the range.
    if (refused == 0 && inRange(w->updown, w->updown.pos + change.iDelta))
        w->updown.pos += change.iDelta;
    SendMessageA(parent, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, w->updown.pos),
                 reinterpret_cast<LPARAM>(self));
}

} // namespace

void stepUpDown(Window &updown, int direction) {
    if (!isEnabled(updown))
        return;
    const UpDownState &u = updown.updown;
    int delta = direction * int(u.accel.nInc);
    if (u.upper < u.lower) // a reversed range counts down on the increasing arrow
        delta = -delta;
    moveUpDown(updown, delta);
}

void moveUpDownToEnd(Window &updown, bool upper) {
    const UpDownState &u = updown.updown;
    const int delta = (upper ? u.upper : u.lower) - u.pos;
    if (isEnabled(updown) && delta != 0)
        moveUpDown(updown, delta);
}

int listThumbRow(const Window &list) {
    const int track = list.cells.rows - 2;
    const int last = int(list.list.items.size()) - visibleLines(list);
    if (track <= 0 || last <= 0)
        return -1;
    return 1 + list.list.top * (track - 1) / last;
}

int visibleLines(const Window &list) {
    return std::max(1, list.cells.rows);
}

void scrollList(Window &list, int lines) {
    const int last = std::max(0, int(list.list.items.size()) - visibleLines(list));
    list.list.top = std::clamp(list.list.top + lines, 0, last);
}

} // namespace winlayer
