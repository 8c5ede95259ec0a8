// Dialogs: the window and its controls built from a template in the program's
// compiled resources, the calls that address controls by id, and the dialog
// keyboard (Tab, Enter, Esc, mnemonics, arrows).
#include "term/dialog_layout.h"
#include "win32/win32_layer.h"
#include "winres/dialog_template.h"
#include "winres/resource_file.h"

#include "lumivar_res_data.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

using namespace winlayer;

namespace {

constexpr uint32_t CONTROL_BASE = WS_CHILD | WS_VISIBLE | WS_DISABLED | WS_TABSTOP;
constexpr uint32_t DIALOG_STYLES =
    WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_SETFONT | WS_VISIBLE;

// The kind of control a template item asks for; the layer stops on classes
// and styles it does not draw, so that nothing is shown wrongly.
struct ItemCheck {
    Kind kind;
    bool needsCommonControls;
};

ItemCheck checkItem(const DialogItem &item, int index) {
    const char *className = item.windowClass.name;
    if (item.windowClass.kind == DialogRefKind::None)
        layerFailure("control %d has no class", index);
    if (item.title.kind == DialogRefKind::Ordinal)
        layerFailure("control %d: resource titles (icons, bitmaps) are not implemented", index);
    if (item.extraCount != 0)
        layerFailure("control %d: creation data is not implemented", index);
    if ((item.style & WS_CHILD) == 0)
        layerFailure("control %d is not a child window", index);
    const uint32_t own = item.style & ~CONTROL_BASE;
    const uint32_t exStyle = item.exStyle;
    if (sameName(className, "Button")) {
        const uint32_t type = own & BS_TYPEMASK;
        if ((type != BS_PUSHBUTTON && type != BS_3STATE) ||
            (own & ~uint32_t(BS_TYPEMASK | BS_CENTER)) != 0 || exStyle != 0)
            layerFailure("control %d: BUTTON style 0x%X is not implemented", index, unsigned(own));
        return {Kind::Button, false};
    }
    if (sameName(className, "Static")) {
        const uint32_t type = own & SS_TYPEMASK;
        const bool text = type == SS_LEFT || type == SS_RIGHT || type == SS_LEFTNOWORDWRAP;
        if ((!text && type != SS_ETCHEDFRAME) ||
            (own & ~uint32_t(SS_TYPEMASK | SS_SUNKEN | SS_NOPREFIX)) != 0 ||
            (exStyle & ~uint32_t(WS_EX_TRANSPARENT)) != 0)
            layerFailure("control %d: STATIC style 0x%X is not implemented", index, unsigned(own));
        return {Kind::Static, false};
    }
    if (sameName(className, "ListBox")) {
        const uint32_t allowed =
            WS_BORDER | WS_VSCROLL | LBS_SORT | LBS_HASSTRINGS | LBS_NOSEL | LBS_NOINTEGRALHEIGHT;
        if ((own & ~allowed) != 0 || (own & LBS_HASSTRINGS) == 0 || exStyle != 0)
            layerFailure("control %d: LISTBOX style 0x%X is not implemented", index, unsigned(own));
        return {Kind::ListBox, false};
    }
    if (sameName(className, UPDOWN_CLASSA)) {
        if ((own & ~uint32_t(UDS_ARROWKEYS | UDS_HORZ)) != 0 || (own & UDS_HORZ) == 0 ||
            exStyle != 0)
            layerFailure("control %d: %s style 0x%X is not implemented", index, UPDOWN_CLASSA,
                         unsigned(own));
        return {Kind::UpDown, true};
    }
    layerFailure("control %d: class '%s' is not implemented", index, className);
}

LayoutShape shapeOf(const Window &control) {
    switch (control.kind) {
    case Kind::ListBox:
        return (control.style & LBS_NOINTEGRALHEIGHT) != 0 ? LayoutShape::Box : LayoutShape::List;
    case Kind::Static:
        return (control.style & SS_TYPEMASK) == SS_ETCHEDFRAME ? LayoutShape::Frame
                                                               : LayoutShape::Text;
    case Kind::Button:
        return (control.style & BS_TYPEMASK) == BS_3STATE ? LayoutShape::Text : LayoutShape::Box;
    case Kind::UpDown:
    case Kind::TopLevel: break;
    }
    return LayoutShape::Box;
}

// Finds and parses the template; null when the program has no such dialog.
std::unique_ptr<DialogTemplate> loadTemplate(LPCSTR name) {
    const ResourceKey key =
        IS_INTRESOURCE(name) ? resourceOrdinal(LOWORD(name)) : resourceNamed(name);
    ResourceEntry entry;
    const ResourceResult found = findResource(LUMIVAR_RES, LUMIVAR_RES_SIZE,
                                              resourceOrdinal(RESOURCE_TYPE_DIALOG), key, &entry);
    if (found.status == ResourceStatus::NotFound)
        return nullptr;
    if (found.status != ResourceStatus::Ok)
        layerFailure("the program's resources are damaged: %s", found.message);
    auto dialog = std::make_unique<DialogTemplate>();
    const DialogResult parsed = parseDialogTemplate(entry.data, entry.size, dialog.get());
    if (parsed.status != DialogStatus::Ok)
        layerFailure("dialog template: %s", parsed.message);
    return dialog;
}

bool isChildOf(const Window &dialog, HWND control) {
    const Window *w = findWindow(control);
    return w != nullptr && w->parent == dialog.self;
}

bool takesTab(const Window &w) {
    return (w.style & WS_TABSTOP) != 0 && isVisible(w) && isEnabled(w);
}

// "&x" marks x; "&&" is a plain ampersand.
bool hasMnemonic(const std::string &text, unsigned char key) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&')
            continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        return tolower(static_cast<unsigned char>(text[i + 1])) == tolower(key);
    }
    return false;
}

// A button with that mnemonic is pressed; a label's mnemonic moves the focus
// to the control after it. False when no visible, enabled control has it.
bool pressMnemonic(Window &dialog, unsigned char key) {
    if (!isVisible(dialog)) // Windows looks for them among visible windows only
        return false;
    for (size_t i = 0; i < dialog.children.size(); ++i) {
        Window *w = findWindow(dialog.children[i]);
        if (w == nullptr || !isVisible(*w) || !isEnabled(*w) || !hasMnemonic(w->text, key))
            continue;
        if (w->kind == Kind::Button) {
            pressButton(*w);
            return true;
        }
        if (w->kind == Kind::Static && (w->style & SS_NOPREFIX) == 0) {
            // The label first, then on to the control after it; the dialog's
            // procedure moves the focus.
            SendMessageA(dialog.self, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(w->self), TRUE);
            SendMessageA(dialog.self, WM_NEXTDLGCTL, 0, 0);
            return true;
        }
    }
    return false;
}

// The up-down control that the arrow keys step: the focused one, else the
// dialog's first with UDS_ARROWKEYS. Windows steps it only while it has the
// focus, which a control without WS_TABSTOP can never get from the keyboard;
// in a terminal the arrows have no other use, so they reach it anyway.
Window *arrowTarget(Window &dialog) {
    Window *focus = findWindow(layer().focus);
    if (focus != nullptr && focus->kind == Kind::UpDown && (focus->style & UDS_ARROWKEYS) != 0)
        return focus;
    for (HWND child : dialog.children) {
        Window *w = findWindow(child);
        if (w != nullptr && w->kind == Kind::UpDown && (w->style & UDS_ARROWKEYS) != 0 &&
            isVisible(*w) && isEnabled(*w))
            return w;
    }
    return nullptr;
}

void sendCommand(Window &dialog, int id) {
    HWND control = GetDlgItem(dialog.self, id);
    SendMessageA(dialog.self, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(control));
}

// Enter, as Windows' dialog manager has it: the dialog names its default
// button (DM_GETDEFID), which is pressed if enabled; without one, IDOK.
void pressDefault(Window &dialog) {
    const LRESULT answer = SendMessageA(dialog.self, DM_GETDEFID, 0, 0);
    if (HIWORD(answer) != DC_HASDEFID) {
        sendCommand(dialog, IDOK);
        return;
    }
    const int id = LOWORD(answer);
    const Window *button = dialogItem(dialog, id);
    if (button == nullptr || isEnabled(*button))
        sendCommand(dialog, id);
}

// WM_KEYDOWN of the dialog keys; false for keys that the focused control gets.
bool dialogKey(Window &dialog, const MSG &msg) {
    switch (msg.wParam) {
    case VK_TAB: // the dialog's procedure moves the focus, as under Windows
        SendMessageA(dialog.self, WM_NEXTDLGCTL, (msg.lParam & KEY_SHIFT) != 0 ? 0x8000 : 0, 0);
        return true;
    case VK_ESCAPE: sendCommand(dialog, IDCANCEL); return true;
    case VK_RETURN: pressDefault(dialog); return true;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
        if (Window *updown = arrowTarget(dialog))
            stepUpDown(*updown, msg.wParam == VK_RIGHT || msg.wParam == VK_UP ? 1 : -1);
        return true;
    case VK_HOME: // in a terminal, Home and End reach the ends of the range
    case VK_END:
        if (Window *updown = arrowTarget(dialog))
            moveUpDownToEnd(*updown, msg.wParam == VK_END);
        return true;
    case VK_F1: return showKeyHelp();
    default: return false;
    }
}

} // namespace

namespace winlayer {

void layoutWindow(Window &window) {
    std::vector<LayoutItem> items;
    for (HWND handle : window.children) {
        const Window &c = *findWindow(handle);
        items.push_back({shapeOf(c), c.x, c.y, c.cx, c.cy});
    }
    const int count = int(items.size());
    const TerminalSize size =
        layer().display != nullptr ? layer().display->size() : TerminalSize{0, 0};
    const Grid grid =
        size.rows > 0 ? chooseGrid(items.data(), count, window.cx, window.cy, size.rows, size.cols)
                      : COARSEST_GRID;
    std::vector<CellRect> cells(items.size());
    const CellRect extent =
        layoutDialog(items.data(), count, window.cx, window.cy, grid, cells.data());
    for (size_t i = 0; i < cells.size(); ++i)
        findWindow(window.children[i])->cells = cells[i];
    // On a terminal the window is centred; without one it stands where the
    // template puts it.
    if (size.rows > 0)
        window.cells = {std::max(0, (size.rows - extent.rows) / 2),
                        std::max(0, (size.cols - extent.cols) / 2), extent.rows, extent.cols};
    else
        window.cells = {window.y / grid.dluPerRow, window.x / grid.dluPerColumn, extent.rows,
                        extent.cols};
    window.laidOutFor = size;
    window.grid = grid;
}

} // namespace winlayer

HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND parent,
                               DLGPROC dialogProc, LPARAM initParam) {
    if (instance != GetModuleHandleA(nullptr) || templateName == nullptr)
        return nullptr;
    if (parent != nullptr)
        layerFailure("dialogs with an owner window are not implemented");
    std::unique_ptr<DialogTemplate> t = loadTemplate(templateName);
    if (!t)
        return nullptr;
    if ((t->style & ~DIALOG_STYLES) != 0 || t->exStyle != 0)
        layerFailure("dialog style 0x%X (extended 0x%X) is not implemented", unsigned(t->style),
                     unsigned(t->exStyle));
    if (t->menu.kind != DialogRefKind::None)
        layerFailure("dialog menus are not implemented");
    if (t->windowClass.kind != DialogRefKind::Name)
        layerFailure("a dialog of the standard class needs DefDlgProc, which is not implemented");

    // Everything is checked before any window exists: a creation that fails
    // sends no message at all.
    const WindowClass *windowClass = findClass(t->windowClass.name);
    if (windowClass == nullptr)
        return nullptr;
    if (windowClass->windowExtra < DLGWINDOWEXTRA)
        layerFailure("class '%s' makes dialogs but has cbWndExtra %d, below DLGWINDOWEXTRA",
                     windowClass->name, windowClass->windowExtra);
    ItemCheck checks[DIALOG_MAX_ITEMS];
    for (int i = 0; i < t->itemCount; ++i) {
        const DialogItem &item = t->items[i];
        checks[i] = checkItem(item, i + 1);
        if (checks[i].needsCommonControls && !layer().commonControls)
            return nullptr; // the class does not exist before InitCommonControls
    }

    Window &dialog = newWindow(Kind::TopLevel);
    const HWND self = dialog.self;
    dialog.proc = windowClass->proc;
    dialog.dialogProc = dialogProc;
    dialog.style = t->style & ~uint32_t(WS_VISIBLE);
    dialog.x = t->x;
    dialog.y = t->y;
    dialog.cx = t->cx;
    dialog.cy = t->cy;
    dialog.text = t->title;
    for (int i = 0; i < t->itemCount; ++i) {
        const DialogItem &item = t->items[i];
        Window &c = newWindow(checks[i].kind);
        c.parent = self;
        c.id = int(item.id);
        c.style = item.style;
        c.exStyle = item.exStyle;
        c.x = item.x;
        c.y = item.y;
        c.cx = item.cx;
        c.cy = item.cy;
        c.text = item.title.kind == DialogRefKind::Name ? item.title.name : "";
        findWindow(self)->children.push_back(c.self);
    }
    layoutWindow(*findWindow(self));

    const HWND first = GetNextDlgTabItem(self, nullptr, FALSE);
    Window *w = findWindow(self);
    const LRESULT focusFirst =
        w->proc(self, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), initParam);
    if (findWindow(self) == nullptr)
        return nullptr; // destroyed by its own initialisation
    // A procedure that returns non-zero asks the dialog manager for the focus.
    if (focusFirst != 0 && first != nullptr)
        setFocus(first);
    if ((t->style & WS_VISIBLE) != 0)
        ShowWindow(self, SW_SHOW);
    return self;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR) {
    Window *w = findWindow(dialog);
    if (w == nullptr || w->kind != Kind::TopLevel)
        return FALSE;
    ShowWindow(dialog, SW_HIDE);
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
    Window *d = findWindow(dialog);
    if (d == nullptr)
        return nullptr;
    Window *item = dialogItem(*d, id);
    return item != nullptr ? item->self : nullptr;
}

int WINAPI GetDlgCtrlID(HWND control) {
    Window *w = findWindow(control);
    return w != nullptr && w->kind != Kind::TopLevel ? w->id : 0;
}

HWND WINAPI GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
    Window *d = findWindow(dialog);
    if (d == nullptr)
        return nullptr;
    // As Windows answers, not as it documents: the dialog as the start is no
    // start, and no start searching backwards finds nothing.
    if (control == dialog)
        control = nullptr;
    if (control == nullptr && previous)
        return nullptr;
    const int n = int(d->children.size());
    int start = n - 1; // no control: as if after the last
    if (control != nullptr) {
        start = -1;
        for (int i = 0; i < n; ++i)
            if (d->children[size_t(i)] == control)
                start = i;
        if (start < 0)
            return nullptr;
    }
    for (int k = 1; k <= n; ++k) {
        const int i = ((start + (previous ? -k : k)) % n + n) % n;
        const Window *w = findWindow(d->children[size_t(i)]);
        if (w != nullptr && takesTab(*w))
            return w->self;
    }
    return nullptr;
}

UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size) {
    HWND item = GetDlgItem(dialog, id);
    if (item == nullptr) {
        if (size > 0)
            text[0] = '\0';
        return 0;
    }
    return UINT(GetWindowTextA(item, text, size));
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND item = GetDlgItem(dialog, id);
    return item != nullptr && SetWindowTextA(item, text);
}

BOOL WINAPI SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    char text[16];
    if (isSigned)
        snprintf(text, sizeof text, "%d", int(value));
    else
        snprintf(text, sizeof text, "%u", value);
    return SetDlgItemTextA(dialog, id, text);
}

BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND item = GetDlgItem(dialog, id);
    if (item == nullptr)
        return FALSE;
    SendMessageA(item, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    return item != nullptr ? UINT(SendMessageA(item, BM_GETCHECK, 0, 0)) : 0;
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam,
                                   LPARAM lParam) {
    HWND item = GetDlgItem(dialog, id);
    return item != nullptr ? SendMessageA(item, message, wParam, lParam) : 0;
}

BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG msg) {
    Window *d = findWindow(dialog);
    if (d == nullptr || msg == nullptr || (msg->hwnd != dialog && !isChildOf(*d, msg->hwnd)))
        return FALSE;
    switch (msg->message) {
    case WM_KEYDOWN:
        if (dialogKey(*d, *msg))
            return TRUE;
        TranslateMessage(msg);
        break;
    case WM_SYSKEYDOWN: TranslateMessage(msg); break;
    case WM_CHAR: // no control of ours takes characters: letters are mnemonics
    case WM_SYSCHAR:
        if (pressMnemonic(*d, static_cast<unsigned char>(msg->wParam)))
            return TRUE;
        if (msg->message == WM_CHAR && msg->wParam == '?' && showKeyHelp())
            return TRUE;
        break;
    default: break;
    }
    DispatchMessageA(msg);
    return TRUE;
}
