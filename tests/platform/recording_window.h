// The KESTRIX template with a window procedure of the tests' own, which keeps
// what the controls and the dialog manager send it. Plain Win32: the same
// helpers serve the tests under Wine and against the Linux layer.
#pragma once

#include "ui/resource.h"
#include "win32/win32.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace recording {

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    NMUPDOWN change; // for WM_NOTIFY, as it arrived
};

inline std::vector<Received> received;
inline LRESULT notifyAnswer = 0;    // what the procedure answers to UDN_DELTAPOS
inline int changeDelta = 0;         // added to iDelta before answering, when not 0
inline LRESULT initAnswer = 0;      // what it answers to WM_INITDIALOG
inline LRESULT defaultAnswer = 0;   // to DM_GETDEFID, when not 0
inline std::vector<UINT> destroyed; // WM_DESTROY arrivals

inline LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: DefWindowProcA(window, message, wParam, lParam); return initAnswer;
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_ACTIVATE:
    case WM_NEXTDLGCTL: received.push_back({message, wParam, lParam, {}}); break;
    case DM_GETDEFID:
        received.push_back({message, wParam, lParam, {}});
        if (defaultAnswer != 0)
            return defaultAnswer;
        break;
    case WM_NOTIFY: {
        auto *change = reinterpret_cast<NMUPDOWN *>(lParam);
        received.push_back({message, wParam, lParam, *change});
        change->iDelta += changeDelta;
        return notifyAnswer;
    }
    case WM_DESTROY: destroyed.push_back(message); break;
    default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Registers the class KESTRIX with this procedure, unless it is already
// (a second registration fails, and then the first one stands).
inline void registerClass(int windowExtra = DLGWINDOWEXTRA) {
    InitCommonControls();
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = procedure;
    wc.cbWndExtra = windowExtra;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "KESTRIX";
    RegisterClassExA(&wc);
}

// A fresh, hidden window from the template, with nothing received yet; its
// WM_INITDIALOG answers init.
inline HWND createDialog(LRESULT init = 0) {
    registerClass();
    initAnswer = init;
    HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), IDD_KESTRIX, nullptr, procedure, 0);
    received.clear();
    destroyed.clear();
    notifyAnswer = 0;
    changeDelta = 0;
    defaultAnswer = 0;
    return window;
}

// The commands received, in order.
inline std::vector<WPARAM> commands() {
    std::vector<WPARAM> out;
    for (const Received &r : received)
        if (r.message == WM_COMMAND)
            out.push_back(r.wParam);
    return out;
}

// What the dialog manager asked of the dialog and told it, in order: commands,
// WM_NEXTDLGCTL, DM_GETDEFID and WM_ACTIVATE (with the low word of wParam).
using Message = std::pair<UINT, WPARAM>;
inline std::vector<Message> requests() {
    std::vector<Message> out;
    for (const Received &r : received)
        if (r.message == WM_COMMAND || r.message == WM_NEXTDLGCTL || r.message == DM_GETDEFID)
            out.push_back({r.message, r.wParam});
        else if (r.message == WM_ACTIVATE)
            out.push_back({r.message, LOWORD(r.wParam)});
    return out;
}

inline std::vector<std::string> listLines(HWND window, int id) {
    std::vector<std::string> out;
    const LRESULT count = SendDlgItemMessageA(window, id, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char line[256] = "";
        SendDlgItemMessageA(window, id, LB_GETTEXT, WPARAM(i), LPARAM(line));
        out.push_back(line);
    }
    return out;
}

inline int position(HWND window) {
    return int(
        static_cast<short>(LOWORD(SendDlgItemMessageA(window, IDC_UPDOWN, UDM_GETPOS, 0, 0))));
}

} // namespace recording
