// What only the Linux layer does: creation rules that Windows' comctl32 hides,
// the keyboard and mouse of a terminal turned into messages, and the loud end
// of everything the layer does not implement.
#include "win32/terminal.h"
#include "win32/win32_layer.h"

#include "recording_display.h"
#include "recording_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using recording::commands;
using recording::received;

struct Fresh : testing::Test {
    void SetUp() override { winlayer::resetLayer(); }
    void TearDown() override {
        detachTerminal();
        winlayer::resetLayer();
    }
};

// A visible dialog on a recording terminal, pumped as the application does.
struct Terminal : Fresh {
    RecordingDisplay display;
    HWND dialog = nullptr;

    void SetUp() override {
        Fresh::SetUp();
        attachTerminal(&display, nullptr);
        dialog = recording::createDialog();
        ASSERT_NE(dialog, nullptr);
        ShowWindow(dialog, SW_SHOW);
    }

    CellRect cellsOf(int id) { return winlayer::findWindow(GetDlgItem(dialog, id))->cells; }

    // A click at col cells from the left edge of control id; 0 is the close box.
    void click(int id, int col = 0) {
        if (id == 0)
            return display.mouse(0, winlayer::closeBoxColumn(*winlayer::findWindow(dialog)));
        const CellRect r = cellsOf(id);
        display.mouse(r.row, r.col + col);
    }

    // The application's loop, until the script has been played.
    void pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageA(dialog, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    }

    void run(const std::string &keys) {
        received.clear();
        display.keys(keys);
        pump();
    }
};

TEST_F(Terminal, KeysAndClicksPressButtons) {
    const struct {
        const char *keys;
        std::vector<WPARAM> commands;
    } cases[] = {
        {"{Tab}{Enter}", {IDC_EXIT}},
        {"{Tab}{Tab}{Tab}{Tab}{Space}", {IDC_EXIT}}, // round, past the disabled box
        {"{S-Tab}{Enter}", {IDC_PCI_REPORT}},        // from nothing to the last tab stop
        {"{Tab}{S-Tab}{Enter}", {IDC_PCI_REPORT}},
        {"{Esc}", {IDCANCEL}},
        {"{A-r}", {IDC_PCI_REPORT}},
        {"d{Enter}", {IDC_DUMP, IDC_DUMP}}, // a plain letter too, and then it has the focus
        {"q", {}},
    };
    for (const auto &c : cases) {
        winlayer::setFocus(nullptr);
        run(c.keys);
        EXPECT_EQ(commands(), c.commands) << c.keys;
    }
    click(IDC_PCI_REPORT, 2);
    click(IDC_MULTI_FUNCTION); // disabled: nothing
    run("");
    EXPECT_EQ(commands(), std::vector<WPARAM>{IDC_PCI_REPORT});
}

TEST_F(Terminal, ArrowKeysAndClicksStepTheUpDownControl) {
    const struct {
        const char *keys;
        int clickAt;             // cells from the control's left edge, or -1
        std::vector<int> deltas; // of the UDN_DELTAPOS notifications, in order
        int position;
    } cases[] = {
        {"{Right}", -1, {1}, 3}, // without the focus
        {"{Left}", -1, {-1}, 1},
        {"{Up}{Down}{Down}", -1, {1, -1, -1}, 1},
        {"{Tab}{Right}", -1, {1}, 3}, // while a button has the focus
        {"{Right}{Right}{Right}", -1, {1, 1, 1}, 4},
        {"", cellsOf(IDC_UPDOWN).cols - 2, {1}, 3}, // the right arrow
        {"", 0, {-1}, 1},                           // the left arrow
    };
    for (const auto &c : cases) {
        SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_SETRANGE, 0, MAKELPARAM(4, 1));
        SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_SETPOS, 0, MAKELPARAM(2, 0));
        if (c.clickAt >= 0)
            click(IDC_UPDOWN, c.clickAt);
        run(c.keys);
        std::vector<int> deltas;
        for (const recording::Received &r : received)
            if (r.message == WM_NOTIFY)
                deltas.push_back(r.change.iDelta);
        EXPECT_EQ(deltas, c.deltas) << c.keys << c.clickAt;
        EXPECT_EQ(recording::position(dialog), c.position) << c.keys << c.clickAt;
    }
}

TEST_F(Terminal, WheelAndScrollBarScrollTheList) {
    for (int offset = 0; offset < 256; offset += 4) {
        char line[16];
        snprintf(line, sizeof line, "%02X:00000000", offset);
        SendDlgItemMessageA(dialog, IDC_HEX_DUMP, LB_ADDSTRING, 0, LPARAM(line));
    }
    const CellRect list = cellsOf(IDC_HEX_DUMP);
    const int lines = list.rows, last = 64 - lines;
    const int bar = list.col + list.cols - 1;
    const struct {
        const char *name;
        int row, col;
        InputEvent::Button button;
        int top;
    } rows[] = {
        {"wheel down: three lines", list.row + 2, list.col, InputEvent::Button::WheelDown, 3},
        {"wheel up", list.row, list.col + 3, InputEvent::Button::WheelUp, 0},
        {"the down arrow", list.row + lines - 1, bar, InputEvent::Button::Left, 1},
        {"the track below the thumb: a page", list.row + lines - 2, bar, InputEvent::Button::Left,
         1 + lines},
        {"the up arrow", list.row, bar, InputEvent::Button::Left, lines},
        {"the wheel outside the list", list.row - 2, list.col, InputEvent::Button::WheelDown,
         lines},
    };
    for (const auto &r : rows) {
        display.mouse(r.row, r.col, r.button);
        pump();
        EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_HEX_DUMP, LB_GETTOPINDEX, 0, 0), r.top) << r.name;
    }
    SendDlgItemMessageA(dialog, IDC_HEX_DUMP, LB_SETTOPINDEX, 63, 0);
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_HEX_DUMP, LB_GETTOPINDEX, 0, 0), last)
        << "the last page at most";
}

TEST_F(Terminal, TheCloseBoxAndAVanishedTerminalCloseTheWindow) {
    click(0);
    run("");
    EXPECT_EQ(recording::destroyed.size(), 1u) << "close box";
    EXPECT_EQ(GetDlgItem(dialog, IDC_EXIT), nullptr);

    dialog = recording::createDialog();
    ShowWindow(dialog, SW_SHOW);
    MSG msg;
    // The script is empty: the next wait finds the terminal gone.
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

TEST_F(Fresh, AWindowIsCreatedHiddenWithEveryControlEmpty) {
    HWND dialog = recording::createDialog();
    ASSERT_NE(dialog, nullptr);
    const winlayer::Window *w = winlayer::findWindow(dialog);
    EXPECT_FALSE(winlayer::isVisible(*w));
    EXPECT_EQ(w->children.size(), 126u);
    for (int id = IDC_VALUE_FIRST; id <= IDC_VALUE_LAST; ++id) {
        char text[8] = "x";
        EXPECT_EQ(GetDlgItemTextA(dialog, id, text, sizeof text), 0u) << id;
    }
    for (int id = IDC_BAR_FLAG_FIRST; id <= IDC_BAR_FLAG_LAST; ++id)
        EXPECT_EQ(IsDlgButtonChecked(dialog, id), UINT(BST_UNCHECKED)) << id;
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_STATUS_LIST, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(winlayer::layer().focus, nullptr) << "DefWindowProcA answers WM_INITDIALOG with 0";
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
struct Unsupported {
    const char *name;
    void (*call)(HWND dialog);
    const char *message;
};

TEST_F(Fresh, WhatTheLayerLacksStopsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const Unsupported cases[] = {
        {"a list box message",
         [](HWND d) { SendDlgItemMessageA(d, IDC_HEX_DUMP, 0x0186 /* LB_SETCURSEL */, 0, 0); },
         "LISTBOX control 130 does not implement message 0x0186"},
        {"a message box with buttons", [](HWND d) { MessageBoxA(d, "?", "t", 4 /* MB_YESNO */); },
         "MessageBoxA type 0x4"},
        {"minimising", [](HWND d) { ShowWindow(d, 6 /* SW_MINIMIZE */); }, "ShowWindow command 6"},
        {"another cursor", [](HWND) { LoadCursorA(nullptr, MAKEINTRESOURCEA(32513)); },
         "IDC_ARROW"},
    };
    for (const Unsupported &c : cases) {
        HWND dialog = recording::createDialog();
        EXPECT_DEATH(c.call(dialog), c.message) << c.name;
        DestroyWindow(dialog);
    }
}

TEST_F(Fresh, ADialogClassWithoutDialogBytesStopsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    recording::registerClass(0);
    EXPECT_DEATH(CreateDialogParamA(GetModuleHandleA(nullptr), IDD_KESTRIX, nullptr,
                                    recording::procedure, 0),
                 "cbWndExtra 0, below DLGWINDOWEXTRA");
}

} // namespace
