// The main window: a modeless dialog from the KESTRIX template whose class
// procedure is the main dialog procedure below.
#pragma once

#include "ui/app_state.h"

#include <cstdint>

// The window procedure of class KESTRIX; every message ends in DefWindowProcA.
// Beside the template's own messages it answers what the dialog manager asks
// of a dialog (WM_NEXTDLGCTL, DM_GETDEFID, the focus on activation), which
// DefWindowProcA leaves undone.
LRESULT CALLBACK mainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Fills every control for record index. 0 when index >= count or the read fails.
int showDevice(HWND window, uint16_t index);

// Registers the class KESTRIX (once per process) and creates the main window,
// still hidden, from the template; its initialisation has run on return.
// Null when registration or creation fails.
HWND createMainWindow(HINSTANCE instance);

// Start-up and the message loop; the process's exit code.
int runApplication(HINSTANCE instance, int showCommand);
