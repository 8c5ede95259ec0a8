// The KESTRIX template with a window procedure of the tests' own, which keeps
// what the controls and the dialog manager send it. Plain Win32: the same
// functions serve the tests under Wine and against the Linux layer.
#pragma once

#include "ui/resource.h"
#include "win32/win32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace recording {

struct Received {
    UINT message;
    WPARAM wParam;
    NMUPDOWN change; // for WM_NOTIFY, as it arrived
};

inline std::vector<Received> received;
inline LRESULT notifyAnswer = 0;  // what the procedure answers to UDN_DELTAPOS
inline int changeDelta = 0;       // added to iDelta before answering, when not 0
inline LRESULT defaultAnswer = 0; // to DM_GETDEFID, when not 0

inline LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_ACTIVATE:
    case WM_NEXTDLGCTL:
    case WM_DESTROY: received.push_back({message, wParam, {}}); break;
    case DM_GETDEFID:
        received.push_back({message, wParam, {}});
        if (defaultAnswer != 0)
            return defaultAnswer;
        break;
    case WM_NOTIFY: {
        auto *change = reinterpret_cast<NMUPDOWN *>(lParam);
        received.push_back({message, wParam, *change});
        change->iDelta += changeDelta;
        return notifyAnswer;
    }
    default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Registers a class with this procedure, KESTRIX unless named otherwise,
// unless it is already (a second registration fails, and then the first one
// stands).
inline void registerClass(int windowExtra = DLGWINDOWEXTRA, UINT style = CS_HREDRAW | CS_VREDRAW,
                          const char *name = "KESTRIX") {
    InitCommonControls();
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = procedure;
    wc.cbWndExtra = windowExtra;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    RegisterClassExA(&wc);
}

// A fresh, hidden window from the template, with nothing received yet.
inline HWND createDialog() {
    registerClass();
    HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), IDD_KESTRIX, nullptr, procedure, 0);
    received.clear();
    notifyAnswer = 0;
    changeDelta = 0;
    defaultAnswer = 0;
    return window;
}

// What the dialog was told and asked, in order: "command 201", "next 8000"
// (WM_NEXTDLGCTL), "getdefid", "activate 1" (the low word), "deltapos 2+1"
// (iPos and iDelta of UDN_DELTAPOS from the up-down control) and "hscroll 3"
// (the position announced); "nothing" when nothing was.
inline std::string story(HWND dialog) {
    std::string out;
    for (const Received &r : received) {
        char line[64];
        const NMHDR &h = r.change.hdr;
        switch (r.message) {
        case WM_COMMAND: snprintf(line, sizeof line, "command %u", LOWORD(r.wParam)); break;
        case WM_NEXTDLGCTL: snprintf(line, sizeof line, "next %X", unsigned(r.wParam)); break;
        case DM_GETDEFID: snprintf(line, sizeof line, "getdefid"); break;
        case WM_ACTIVATE: snprintf(line, sizeof line, "activate %u", LOWORD(r.wParam)); break;
        case WM_HSCROLL: snprintf(line, sizeof line, "hscroll %d", short(HIWORD(r.wParam))); break;
        case WM_NOTIFY:
            if (h.code == UINT(UDN_DELTAPOS) && h.idFrom == r.wParam && r.wParam == IDC_UPDOWN &&
                h.hwndFrom == GetDlgItem(dialog, IDC_UPDOWN))
                snprintf(line, sizeof line, "deltapos %d%+d", r.change.iPos, r.change.iDelta);
            else
                snprintf(line, sizeof line, "notify %d from %d", int(h.code), int(h.idFrom));
            break;
        default: continue;
        }
        out += (out.empty() ? "" : ", ") + std::string(line);
    }
    return out.empty() ? "nothing" : out;
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
    return short(LOWORD(SendDlgItemMessageA(window, IDC_UPDOWN, UDM_GETPOS, 0, 0)));
}

} // namespace recording
