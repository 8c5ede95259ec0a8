// What only the Linux layer does: the keyboard and mouse of a terminal turned
// into messages, creation rules that Windows' comctl32 hides, and the loud
// end of everything the layer does not implement.
#include "term/ncurses_display.h"
#include "win32/terminal.h"
#include "win32/win32_layer.h"

#include "case_table.h"
#include "recording_display.h"
#include "recording_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

using recording::received;

struct Fresh : testing::Test {
    void SetUp() override { winlayer::resetLayer(); }
    void TearDown() override {
        detachTerminal();
        winlayer::resetLayer();
    }
};

// A visible dialog on the terminal, its hex dump list full (24 lines, more
// than it shows) and its up-down control at 2 in 1..4.
HWND showDialog() {
    HWND dialog = recording::createDialog();
    ShowWindow(dialog, SW_SHOW);
    for (int offset = 0; offset < 96; offset += 4) {
        char line[16];
        snprintf(line, sizeof line, "%02X:00000000", offset);
        SendDlgItemMessageA(dialog, IDC_HEX_DUMP, LB_ADDSTRING, 0, LPARAM(line));
    }
    SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_SETRANGE, 0, MAKELPARAM(4, 1));
    SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_SETPOS, 0, MAKELPARAM(2, 0));
    return dialog;
}

// The application's loop, while there is input.
void pump(HWND dialog) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageA(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

// Input: the control with the focus at first (0: the window), the dialog's
// answer to DM_GETDEFID, a script of keys and clicks on an 80 x 24 terminal;
// made: what the dialog was told and asked, then where the up-down control
// and the list stand.
TEST_F(Fresh, KeysAndClicksOfTheTerminalReachTheDialog) {
    testing_support::expectCaseTable("terminal-input.txt", [](const std::string &input) {
        winlayer::resetLayer();
        setKeyHelp("F1  this box");
        RecordingDisplay display;
        attachTerminal(&display, nullptr);
        HWND dialog = showDialog();
        int focus = 0, defaultId = 0, at = 0;
        sscanf(input.c_str(), "%d %d %n", &focus, &defaultId, &at);
        SetFocus(focus != 0 ? GetDlgItem(dialog, focus) : dialog);
        recording::defaultAnswer = defaultId != 0 ? MAKELRESULT(defaultId, DC_HASDEFID) : 0;
        received.clear();
        display.keys(input.substr(size_t(at)));
        pump(dialog);
        std::string made = recording::story(dialog);
        if (GetDlgItem(dialog, IDC_EXIT) == nullptr)
            made += "; closed";
        else
            made += "; at " + std::to_string(recording::position(dialog)) + ", top " +
                    std::to_string(SendDlgItemMessageA(dialog, IDC_HEX_DUMP, LB_GETTOPINDEX, 0, 0));
        detachTerminal();
        return made;
    });
}

TEST_F(Fresh, AVanishedTerminalClosesTheWindow) {
    RecordingDisplay display; // with an empty script: the next wait finds it gone
    attachTerminal(&display, nullptr);
    HWND dialog = showDialog();
    MSG msg;
    EXPECT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, UINT(WM_CLOSE));
    EXPECT_EQ(msg.hwnd, dialog);
}

TEST_F(Fresh, CreationFailsWithoutItsClassesAndTemplate) {
    HINSTANCE self = GetModuleHandleA(nullptr);
    EXPECT_EQ(CreateDialogParamA(self, IDD_KESTRIX, nullptr, recording::procedure, 0), nullptr)
        << "KESTRIX not registered";
    recording::registerClass();
    winlayer::layer().commonControls = false; // as before InitCommonControls
    received.clear();
    EXPECT_EQ(CreateDialogParamA(self, IDD_KESTRIX, nullptr, recording::procedure, 0), nullptr)
        << "msctls_updown32 not yet there";
    EXPECT_TRUE(received.empty() && recording::destroyed.empty()) << "no message on failure";
    InitCommonControls();
    EXPECT_EQ(CreateDialogParamA(self, "NOSUCH", nullptr, recording::procedure, 0), nullptr);
    EXPECT_EQ(CreateDialogParamA(nullptr, IDD_KESTRIX, nullptr, recording::procedure, 0), nullptr)
        << "another module";
    HWND dialog = CreateDialogParamA(self, IDD_KESTRIX, nullptr, recording::procedure, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetDlgItem(dialog, 131), nullptr);
    EXPECT_NE(GetDlgItem(dialog, IDC_UPDOWN), nullptr);
}

// A terminal gets the dialog only when its description can place the cursor;
// the others get the report, not a garbled screen.
TEST(Terminals, OnlyThoseThatPlaceTheCursorCanShowTheDialog) {
    const char *previous = getenv("TERM");
    const std::string saved = previous != nullptr ? previous : "";
    const struct {
        const char *term;
        bool can;
    } rows[] = {{"xterm", true}, {"screen-256color", true},   {"linux", true},
                {"dumb", false}, {"no-such-terminal", false}, {"", false}};
    for (const auto &r : rows) {
        setenv("TERM", r.term, 1);
        EXPECT_EQ(NcursesDisplay::canAddressCursor(), r.can) << "TERM=" << r.term;
    }
    if (previous != nullptr)
        setenv("TERM", saved.c_str(), 1);
    else
        unsetenv("TERM");
}

TEST_F(Fresh, WithoutATerminal) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "No Device Detected...", "Lumivar", MB_OK), IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Lumivar: No Device Detected...\n");
    char path[64] = "C:\\pci-1.txt";
    OPENFILENAMEA request = {};
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.lpstrFile = path;
    request.nMaxFile = sizeof path;
    EXPECT_FALSE(GetSaveFileNameA(&request)) << "a dialog that cannot be shown fails";
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

// Everything the layer does not implement ends the program, saying what.
TEST_F(Fresh, WhatTheLayerLacksStopsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    HWND dialog = recording::createDialog();
    const struct {
        int id;
        UINT message;
        const char *said;
    } messages[] = {
        {IDC_HEX_DUMP, 0x0186, "LISTBOX control 130 does not implement message 0x0186"},
        {IDC_EXIT, 0x00F4, "BUTTON control 2 does not implement message 0x00F4"},
        {IDC_BIST, BM_SETCHECK, "STATIC control 336 does not implement message 0x00F1"},
        {IDC_UPDOWN, WM_USER + 111,
         "msctls_updown32 control 200 does not implement message 0x046F"},
    };
    for (const auto &m : messages)
        EXPECT_DEATH(SendDlgItemMessageA(dialog, m.id, m.message, 0, 0), m.said);
    const struct {
        void (*call)(HWND dialog);
        const char *said;
    } calls[] = {
        {[](HWND d) { MessageBoxA(d, "?", "t", 4 /* MB_YESNO */); }, "MessageBoxA type 0x4"},
        {[](HWND d) { ShowWindow(d, 6 /* SW_MINIMIZE */); }, "ShowWindow command 6"},
        {[](HWND d) {
             MSG msg;
             GetMessageA(&msg, d, 0, 0);
         },
         "GetMessageA with a window or message filter"},
        {[](HWND) {
             MSG msg;
             GetMessageA(&msg, nullptr, 0, 0);
         },
         "no terminal is attached"},
        {[](HWND) {
             WNDCLASSEXA wc = {};
             wc.cbSize = sizeof wc;
             wc.style = 0x0008; // CS_DBLCLKS
             wc.lpfnWndProc = recording::procedure;
             wc.lpszClassName = "Other";
             RegisterClassExA(&wc);
         },
         "class style 0x8"},
        {[](HWND) {
             winlayer::resetLayer();
             recording::registerClass(0);
             recording::createDialog();
         },
         "cbWndExtra 0, below DLGWINDOWEXTRA"},
        {[](HWND d) {
             char path[16] = "";
             OPENFILENAMEA request = {};
             request.lStructSize = sizeof request;
             request.hwndOwner = d;
             request.lpstrFile = path;
             request.nMaxFile = sizeof path;
             request.Flags = 0x200; // OFN_ALLOWMULTISELECT
             GetOpenFileNameA(&request);
         },
         "GetOpenFileNameA flags 0x200"},
        {[](HWND) { LoadCursorA(nullptr, MAKEINTRESOURCEA(32513)); }, "IDC_ARROW"},
    };
    for (const auto &c : calls)
        EXPECT_DEATH(c.call(dialog), c.said);
}

} // namespace
