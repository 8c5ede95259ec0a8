// Window style bits used by the main dialog template, with their Win32 values.
// The MinGW build takes them from the SDK headers, which checks these copies.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <commctrl.h>
#else
#include <cstdint>

constexpr uint32_t WS_CHILD = 0x40000000;
constexpr uint32_t WS_VISIBLE = 0x10000000;
constexpr uint32_t WS_DISABLED = 0x08000000;
constexpr uint32_t WS_CAPTION = 0x00C00000;
constexpr uint32_t WS_BORDER = 0x00800000;
constexpr uint32_t WS_VSCROLL = 0x00200000;
constexpr uint32_t WS_SYSMENU = 0x00080000;
constexpr uint32_t WS_MINIMIZEBOX = 0x00020000;
constexpr uint32_t WS_TABSTOP = 0x00010000;
constexpr uint32_t WS_EX_TRANSPARENT = 0x00000020;
constexpr uint32_t DS_SETFONT = 0x00000040;
constexpr uint32_t BS_PUSHBUTTON = 0x00000000;
constexpr uint32_t BS_3STATE = 0x00000005;
constexpr uint32_t BS_CENTER = 0x00000300;
constexpr uint32_t SS_LEFT = 0x00000000;
constexpr uint32_t SS_RIGHT = 0x00000002;
constexpr uint32_t SS_LEFTNOWORDWRAP = 0x0000000C;
constexpr uint32_t SS_ETCHEDFRAME = 0x00000012;
constexpr uint32_t SS_SUNKEN = 0x00001000;
constexpr uint32_t LBS_SORT = 0x00000002;
constexpr uint32_t LBS_HASSTRINGS = 0x00000040;
constexpr uint32_t LBS_NOSEL = 0x00004000;
constexpr uint32_t UDS_HORZ = 0x00000040;
constexpr uint32_t UDS_ARROWKEYS = 0x00000020;
#endif
