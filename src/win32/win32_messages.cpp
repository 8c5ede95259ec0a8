// The thread's message queue: posted messages, the quit message, and the
// user's keys and clicks from the terminal turned into window messages.
#include "win32/win32_layer.h"

#include <cctype>

using namespace winlayer;

namespace {

void post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    layer().queue.push_back(MSG{window, message, wParam, lParam, 0, {0, 0}});
}

// Keys go to the focused control, or to the active window when none has it.
HWND keyTarget() {
    if (findWindow(layer().focus) != nullptr)
        return layer().focus;
    Window *active = findWindow(layer().active);
    return active != nullptr && isVisible(*active) ? active->self : nullptr;
}

// The virtual key of a character key: letters and digits have their own.
WPARAM virtualKey(const InputEvent &e) {
    if (e.key != 0)
        return e.key;
    if (isalnum(e.character))
        return WPARAM(toupper(e.character));
    return 0; // a character without a key of its own: only WM_CHAR matters
}

void postKey(const InputEvent &e) {
    HWND target = keyTarget();
    // Keys for a window that cannot be seen would act unseen: only Esc, which
    // ends the program, counts then.
    if (target == nullptr || (screenTooSmall() && e.key != VK_ESCAPE))
        return;
    LPARAM lParam = keyLParam(e.character);
    if (e.shift)
        lParam |= KEY_SHIFT;
    if (e.alt)
        lParam |= KEY_ALT;
    post(target, e.alt ? WM_SYSKEYDOWN : WM_KEYDOWN, virtualKey(e), lParam);
}

void postMouse(const InputEvent &e) {
    if (screenTooSmall())
        return;
    int row = 0, col = 0;
    Window *window = windowAtCell(e.row, e.col, &row, &col);
    if (window == nullptr)
        return;
    if (e.button == InputEvent::Button::Left && row == 0 && closeBoxColumn(*window) >= 0 &&
        col >= closeBoxColumn(*window) && col < closeBoxColumn(*window) + 3) {
        post(window->self, WM_SYSCOMMAND, SC_CLOSE, MAKELPARAM(e.col, e.row));
        return;
    }
    Window *control = controlAtCell(*window, row, col);
    if (control == nullptr)
        return;
    if (e.button == InputEvent::Button::Left) {
        post(control->self, WM_LBUTTONDOWN, 0,
             MAKELPARAM(col - control->cells.col, row - control->cells.row));
    } else if (control->kind == Kind::ListBox) {
        const int delta = e.button == InputEvent::Button::WheelUp ? WHEEL_DELTA : -WHEEL_DELTA;
        post(control->self, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(e.col, e.row));
    }
}

// Turns one event from the terminal into messages; a resize only repaints.
void postInput(const InputEvent &e) {
    switch (e.type) {
    case InputEvent::Type::Key: postKey(e); break;
    case InputEvent::Type::Mouse: postMouse(e); break;
    case InputEvent::Type::Resize: break;
    case InputEvent::Type::Interrupt: layer().interrupted = true; break;
    case InputEvent::Type::Closed:
        // The terminal has gone: close the window as the system would.
        if (!layer().inputClosed && findWindow(layer().active) != nullptr)
            post(layer().active, WM_CLOSE, 0, 0);
        layer().inputClosed = true;
        break;
    }
}

// Ctrl-C reaches the window as Esc, once every box it closed is gone.
void deliverInterrupt() {
    LayerState &s = layer();
    if (!s.interrupted)
        return;
    s.interrupted = false;
    InputEvent escape;
    escape.key = VK_ESCAPE;
    escape.character = 0x1B;
    postKey(escape);
}

// The next message if one is waiting.
bool takeWaiting(MSG &out, bool remove) {
    LayerState &s = layer();
    deliverInterrupt();
    if (!s.queue.empty()) {
        out = s.queue.front();
        if (remove)
            s.queue.pop_front();
        return true;
    }
    // Windows hands out the quit message once nothing else is posted.
    if (s.quitPending) {
        out = MSG{nullptr, WM_QUIT, WPARAM(s.quitCode), 0, 0, {0, 0}};
        if (remove)
            s.quitPending = false;
        return true;
    }
    return false;
}

void checkFilter(const char *call, HWND window, UINT first, UINT last) {
    if (window != nullptr || first != 0 || last != 0)
        layerFailure("%s with a window or message filter is not implemented", call);
}

} // namespace

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window != nullptr && findWindow(window) == nullptr)
        return FALSE;
    post(window, message, wParam, lParam);
    return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
    layer().quitPending = true;
    layer().quitCode = exitCode;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT first, UINT last, UINT remove) {
    checkFilter("PeekMessageA", window, first, last);
    if ((remove & ~UINT(PM_REMOVE)) != 0)
        layerFailure("PeekMessageA flags 0x%X are not implemented", remove);
    if (takeWaiting(*msg, remove == PM_REMOVE))
        return TRUE;
    if (layer().display == nullptr || layer().inputClosed)
        return FALSE;
    // Each event may change what is shown (a resize) without posting anything.
    InputEvent event;
    while (layer().queue.empty() && !layer().inputClosed) {
        paintScreen();
        if (!readInput(event, 0))
            break;
        postInput(event);
    }
    return takeWaiting(*msg, remove == PM_REMOVE);
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT first, UINT last) {
    checkFilter("GetMessageA", window, first, last);
    while (!takeWaiting(*msg, true)) {
        if (layer().display == nullptr)
            layerFailure("GetMessageA would wait for input, but no terminal is attached");
        if (layer().inputClosed)
            layerFailure("GetMessageA would wait for input, but the terminal has gone");
        paintScreen();
        InputEvent event;
        if (readInput(event, -1))
            postInput(event);
    }
    return msg->message != WM_QUIT;
}

BOOL WINAPI TranslateMessage(const MSG *msg) {
    if (msg == nullptr || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN))
        return FALSE;
    const unsigned char character = keyCharacter(msg->lParam);
    if (character == 0)
        return FALSE;
    post(msg->hwnd, msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, character, msg->lParam);
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG *msg) {
    if (msg == nullptr || msg->hwnd == nullptr)
        return 0;
    Window *w = findWindow(msg->hwnd);
    if (w == nullptr)
        return 0;
    return callProcedure(*w, msg->message, msg->wParam, msg->lParam);
}
