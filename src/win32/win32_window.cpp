// Windows as objects of the layer: the table behind the handles, window
// classes, window texts, showing and destroying, and the default procedure.
#include "win32/win32_layer.h"

#include "winres/resource_file.h"

#include "lumivar_res_data.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace winlayer {

namespace {

// Made at the first call that needs it (a report never does), then lives as
// long as the process, as Windows' tables do.
LayerState *state = nullptr;

// A handle is the slot (from 1) in the low word and the slot's generation in
// the next, so that the handle of a destroyed window never finds its successor.
HWND handleOf(int slot, uint16_t generation) {
    return reinterpret_cast<HWND>((uintptr_t(generation) << 16) | uintptr_t(slot + 1));
}

// The fixed handles of things that exist once: the module, the arrow, the icon.
HINSTANCE const MODULE = reinterpret_cast<HINSTANCE>(uintptr_t(0x400000));
HCURSOR const ARROW = reinterpret_cast<HCURSOR>(uintptr_t(0x10003));
HICON const ICON = reinterpret_cast<HICON>(uintptr_t(0x20001));

} // namespace

void layerFailure(const char *format, ...) {
    if (layer().restoreTerminal != nullptr)
        layer().restoreTerminal();
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    fprintf(stderr, "lumivar: Win32 layer: %s\n", text);
    fflush(stderr);
    abort();
}

LayerState &layer() {
    if (state == nullptr)
        state = new LayerState;
    return *state;
}

void resetLayer() {
    delete state;
    state = new LayerState;
}

Window *findWindow(HWND handle) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    const uintptr_t slot = (value & 0xFFFF);
    if (slot == 0 || slot > uintptr_t(MAX_WINDOWS) || (value >> 32) != 0)
        return nullptr;
    Window &w = layer().windows[slot - 1];
    if (!w.used || w.self != handle)
        return nullptr;
    return &w;
}

Window &newWindow(Kind kind) {
    for (int slot = 0; slot < MAX_WINDOWS; ++slot) {
        Window &w = layer().windows[slot];
        if (w.used)
            continue;
        const uint16_t generation = uint16_t(w.generation + 1);
        w = Window{};
        w.used = true;
        w.generation = generation;
        w.kind = kind;
        w.self = handleOf(slot, generation);
        return w;
    }
    layerFailure("more than %d windows at once", MAX_WINDOWS);
}

LRESULT callProcedure(Window &window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window.kind == Kind::TopLevel)
        return window.proc(window.self, message, wParam, lParam);
    return controlProcedure(window, message, wParam, lParam);
}

LRESULT copyWindowText(const Window &window, char *out, WPARAM size) {
    if (out == nullptr || size == 0)
        return 0;
    const size_t n = window.text.size() < size - 1 ? window.text.size() : size - 1;
    memcpy(out, window.text.data(), n);
    out[n] = '\0';
    return LRESULT(n);
}

bool isEnabled(const Window &window) {
    return (window.style & WS_DISABLED) == 0;
}

bool isVisible(const Window &window) {
    return (window.style & WS_VISIBLE) != 0;
}

void setFocus(HWND window) {
    Window *w = findWindow(window);
    if (w == nullptr) {
        layer().focus = nullptr;
        return;
    }
    if (!isEnabled(*w))
        return;
    const HWND top = w->kind == Kind::TopLevel ? window : w->parent;
    if (layer().activated != top)
        activate(top);
    if (findWindow(window) != nullptr)
        layer().focus = window;
}

void activate(HWND window) {
    if (layer().activated == window || findWindow(window) == nullptr)
        return;
    const HWND previous = layer().activated;
    if (Window *p = findWindow(previous))
        callProcedure(*p, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0),
                      reinterpret_cast<LPARAM>(window));
    layer().activated = window;
    layer().focus = nullptr;
    if (Window *w = findWindow(window))
        callProcedure(*w, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0),
                      reinterpret_cast<LPARAM>(previous));
}

ModalActivation::ModalActivation() : previous_(layer().activated) {
    if (Window *w = findWindow(previous_))
        callProcedure(*w, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0);
    layer().activated = nullptr;
    layer().focus = nullptr;
}

ModalActivation::~ModalActivation() {
    activate(previous_);
}

const WindowClass *findClass(const char *name) {
    for (const WindowClass &c : layer().classes)
        if (c.used && sameName(c.name, name))
            return &c;
    return nullptr;
}

Window *dialogItem(Window &dialog, int id) {
    for (HWND child : dialog.children) {
        Window *w = findWindow(child);
        if (w != nullptr && w->id == id)
            return w;
    }
    return nullptr;
}

} // namespace winlayer

using namespace winlayer;

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA *wc) {
    if (wc == nullptr || wc->cbSize != sizeof(WNDCLASSEXA) || wc->lpfnWndProc == nullptr ||
        wc->lpszClassName == nullptr || IS_INTRESOURCE(wc->lpszClassName))
        return 0;
    if ((wc->style & ~UINT(CS_HREDRAW | CS_VREDRAW)) != 0)
        layerFailure("class style 0x%X is not implemented", wc->style);
    if (wc->lpszMenuName != nullptr)
        layerFailure("class menus are not implemented");
    int free = -1;
    for (int i = 0; i < MAX_CLASSES; ++i) {
        const WindowClass &c = layer().classes[i];
        if (c.used && sameName(c.name, wc->lpszClassName))
            return 0; // already registered, as Windows refuses it
        if (!c.used && free < 0)
            free = i;
    }
    if (free < 0 || strlen(wc->lpszClassName) >= sizeof WindowClass{}.name)
        return 0;
    WindowClass &c = layer().classes[free];
    c.used = true;
    snprintf(c.name, sizeof c.name, "%s", wc->lpszClassName);
    c.proc = wc->lpfnWndProc;
    c.windowExtra = wc->cbWndExtra;
    c.atom = ATOM(0xC000 + free);
    return c.atom;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName != nullptr)
        layerFailure("GetModuleHandleA knows only the program itself, not '%s'", moduleName);
    return MODULE;
}

void WINAPI InitCommonControls(void) {
    layer().commonControls = true;
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    if (instance != MODULE || name == nullptr || IS_INTRESOURCE(name))
        layerFailure("LoadIconA loads the program's own named icons only");
    ResourceEntry entry;
    const ResourceResult found =
        findResource(LUMIVAR_RES, LUMIVAR_RES_SIZE, resourceOrdinal(RESOURCE_TYPE_GROUP_ICON),
                     resourceNamed(name), &entry);
    if (found.status == ResourceStatus::NotFound)
        return nullptr;
    if (found.status != ResourceStatus::Ok)
        layerFailure("the program's resources are damaged: %s", found.message);
    return ICON;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (instance != nullptr || name != IDC_ARROW)
        layerFailure("LoadCursorA knows only the system's IDC_ARROW");
    return ARROW;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Window *w = findWindow(window);
    if (w == nullptr)
        return 0;
    return callProcedure(*w, message, wParam, lParam);
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Window *w = findWindow(window);
    if (w == nullptr)
        return 0;
    switch (message) {
    case WM_SETTEXT:
        w->text = lParam != 0 ? reinterpret_cast<const char *>(lParam) : "";
        return TRUE;
    case WM_GETTEXT: return copyWindowText(*w, reinterpret_cast<char *>(lParam), wParam);
    case WM_GETTEXTLENGTH: return LRESULT(w->text.size());
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_ACTIVATE: // an activated window takes the focus itself, away from its controls
        if (LOWORD(wParam) != WA_INACTIVE)
            layer().focus = window;
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    default: return 0;
    }
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
    return findWindow(window) != nullptr &&
           SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0;
}

int WINAPI GetWindowTextA(HWND window, LPSTR text, int size) {
    if (size <= 0)
        return 0;
    if (findWindow(window) == nullptr) {
        text[0] = '\0';
        return 0;
    }
    return int(SendMessageA(window, WM_GETTEXT, WPARAM(size), reinterpret_cast<LPARAM>(text)));
}

BOOL WINAPI ShowWindow(HWND window, int showCommand) {
    Window *w = findWindow(window);
    if (w == nullptr)
        return FALSE;
    const BOOL wasVisible = (w->style & WS_VISIBLE) != 0;
    switch (showCommand) {
    case SW_HIDE:
        w->style &= ~uint32_t(WS_VISIBLE);
        if (layer().active == window)
            layer().active = nullptr;
        if (layer().activated == window) {
            callProcedure(*w, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0);
            layer().activated = nullptr;
            layer().focus = nullptr;
        }
        break;
    case SW_SHOWNORMAL:
    case SW_SHOW:
    case SW_SHOWDEFAULT:
        w->style |= uint32_t(WS_VISIBLE);
        if (w->kind == Kind::TopLevel) {
            layer().active = window;
            activate(window);
        }
        break;
    default: layerFailure("ShowWindow command %d is not implemented", showCommand);
    }
    return wasVisible;
}

BOOL WINAPI DestroyWindow(HWND window) {
    Window *w = findWindow(window);
    if (w == nullptr)
        return FALSE;
    // Windows sends WM_DESTROY while the window and its children still exist.
    callProcedure(*w, WM_DESTROY, 0, 0);
    w = findWindow(window); // the procedure may have destroyed it itself
    if (w == nullptr)
        return TRUE;
    if (Window *parent = findWindow(w->parent)) {
        auto &siblings = parent->children;
        for (size_t i = 0; i < siblings.size(); ++i)
            if (siblings[i] == window) {
                siblings.erase(siblings.begin() + long(i));
                break;
            }
    }
    for (HWND child : w->children)
        if (Window *c = findWindow(child)) {
            if (layer().focus == child)
                layer().focus = nullptr;
            c->used = false;
        }
    if (layer().focus == window)
        layer().focus = nullptr;
    if (layer().active == window)
        layer().active = nullptr;
    if (layer().activated == window)
        layer().activated = nullptr;
    w->children.clear();
    w->list.items.clear();
    w->used = false;
    return TRUE;
}

HWND WINAPI GetFocus(void) {
    return findWindow(layer().focus) != nullptr ? layer().focus : nullptr;
}

HWND WINAPI SetFocus(HWND window) {
    const HWND previous = GetFocus();
    Window *w = findWindow(window);
    if (window != nullptr && (w == nullptr || !isEnabled(*w)))
        return nullptr;
    setFocus(window);
    return previous;
}

BOOL WINAPI IsChild(HWND parent, HWND window) {
    const Window *w = findWindow(window);
    return w != nullptr && w->kind != Kind::TopLevel && w->parent == parent &&
           findWindow(parent) != nullptr;
}
