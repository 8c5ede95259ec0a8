// Process-wide state of the application: the module, the main window, and
// the channel and table that every view reads. One of each, for the whole run.
#pragma once

#include "access/config_channel.h"
#include "scan/device_table.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <commdlg.h>
#else
#include "win32/win32.h"
#endif

struct AppState {
    HINSTANCE instance;
    HWND dialog; // set once creation has returned; initialisation uses its own handle
};

extern AppState appState;
extern ConfigChannel appChannel; // its source is chosen by the platform's entry
extern DeviceTable appTable;

// Message boxes of the application: caption APP_TITLE, OK, no icon. Tests
// may route them elsewhere (a modal box would stop an automated run).
using MessageBoxHook = void (*)(HWND owner, const char *text);
extern MessageBoxHook messageBoxHook;
void showMessage(HWND owner, const char *text);
