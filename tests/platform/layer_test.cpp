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

// Keys and clicks, as a script for the display.
enum class Act {
    Tab,
    ShiftTab,
    Enter,
    Space,
    Esc,
    Left,
    Right,
    Up,
    Down,
    Letter,
    AltLetter,
    Click
};

struct Input {
    Act act;
    char letter = 0; // Letter, AltLetter
    int id = 0;      // Click: the control clicked, at its first cell (0: the close box)
    int col = 0;     // Click: cells from the control's left edge
};

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

    void play(const Input &in) {
        switch (in.act) {
        case Act::Tab: display.key(VK_TAB, '\t'); break;
        case Act::ShiftTab: display.key(VK_TAB, '\t', true); break;
        case Act::Enter: display.key(VK_RETURN, '\r'); break;
        case Act::Space: display.key(VK_SPACE, ' '); break;
        case Act::Esc: display.key(VK_ESCAPE, 0x1B); break;
        case Act::Left: display.key(VK_LEFT); break;
        case Act::Right: display.key(VK_RIGHT); break;
        case Act::Up: display.key(VK_UP); break;
        case Act::Down: display.key(VK_DOWN); break;
        case Act::Letter: display.type(std::string(1, in.letter)); break;
        case Act::AltLetter: display.alt(in.letter); break;
        case Act::Click:
            if (in.id == 0) {
                display.mouse(0, winlayer::closeBoxColumn(*winlayer::findWindow(dialog)));
            } else {
                const CellRect r = cellsOf(in.id);
                display.mouse(r.row, r.col + in.col);
            }
            break;
        }
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

    void run(const std::vector<Input> &inputs) {
        received.clear();
        for (const Input &in : inputs)
            play(in);
        pump();
    }
};

struct KeyCase {
    const char *name;
    std::vector<Input> inputs;
    std::vector<WPARAM> commands;
};

TEST_F(Terminal, KeysAndClicksPressButtons) {
    const KeyCase cases[] = {
        {"Tab focuses Exit, Enter presses it", {{Act::Tab}, {Act::Enter}}, {IDC_EXIT}},
        {"Tab goes round past the disabled box, Space presses",
         {{Act::Tab}, {Act::Tab}, {Act::Tab}, {Act::Tab}, {Act::Space}},
         {IDC_EXIT}},
        {"Shift-Tab from nothing reaches the last tab stop",
         {{Act::ShiftTab}, {Act::Enter}},
         {IDC_PCI_REPORT}},
        {"Shift-Tab goes back", {{Act::Tab}, {Act::ShiftTab}, {Act::Enter}}, {IDC_PCI_REPORT}},
        {"Enter with nothing focused is IDOK", {{Act::Enter}}, {IDOK}},
        {"Esc is IDCANCEL", {{Act::Esc}}, {IDCANCEL}},
        {"Alt+letter presses its button", {{Act::AltLetter, 'r'}}, {IDC_PCI_REPORT}},
        {"and then it has the focus", {{Act::Letter, 'd'}, {Act::Enter}}, {IDC_DUMP, IDC_DUMP}},
        {"a letter of nothing", {{Act::Letter, 'q'}}, {}},
        {"a click presses a button", {{Act::Click, 0, IDC_PCI_REPORT, 2}}, {IDC_PCI_REPORT}},
        {"a click on the disabled box does nothing", {{Act::Click, 0, IDC_MULTI_FUNCTION}}, {}},
    };
    for (const KeyCase &c : cases) {
        winlayer::setFocus(nullptr);
        run(c.inputs);
        EXPECT_EQ(commands(), c.commands) << c.name;
    }
}

struct StepCase {
    const char *name;
    std::vector<Input> inputs;
    std::vector<int> deltas; // of the UDN_DELTAPOS notifications, in order
    int position;
};

TEST_F(Terminal, ArrowKeysAndClicksStepTheUpDownControl) {
    const CellRect updown = cellsOf(IDC_UPDOWN);
    const StepCase cases[] = {
        {"Right steps up without the focus", {{Act::Right}}, {1}, 3},
        {"Left steps down", {{Act::Left}}, {-1}, 1},
        {"Up and Down as on Windows", {{Act::Up}, {Act::Down}, {Act::Down}}, {1, -1, -1}, 1},
        {"while a button has the focus", {{Act::Tab}, {Act::Right}}, {1}, 3},
        {"not past the end", {{Act::Right}, {Act::Right}, {Act::Right}}, {1, 1, 1}, 4},
        {"the right arrow", {{Act::Click, 0, IDC_UPDOWN, updown.cols - 2}}, {1}, 3},
        {"the left arrow", {{Act::Click, 0, IDC_UPDOWN, 0}}, {-1}, 1},
    };
    for (const StepCase &c : cases) {
        SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_SETRANGE, 0, MAKELPARAM(4, 1));
        SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_SETPOS, 0, MAKELPARAM(2, 0));
        run(c.inputs);
        std::vector<int> deltas;
        for (const recording::Received &r : received)
            if (r.message == WM_NOTIFY)
                deltas.push_back(r.change.iDelta);
        EXPECT_EQ(deltas, c.deltas) << c.name;
        EXPECT_EQ(recording::position(dialog), c.position) << c.name;
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
    run({{Act::Click, 0, 0}});
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
        {"a static's message", [](HWND d) { SendDlgItemMessageA(d, IDC_BIST, BM_SETCHECK, 1, 0); },
         "STATIC control 336 does not implement message 0x00F1"},
        {"a message box with buttons", [](HWND d) { MessageBoxA(d, "?", "t", 4 /* MB_YESNO */); },
         "MessageBoxA type 0x4"},
        {"minimising", [](HWND d) { ShowWindow(d, 6 /* SW_MINIMIZE */); }, "ShowWindow command 6"},
        {"waiting with no terminal",
         [](HWND) {
             MSG msg;
             GetMessageA(&msg, nullptr, 0, 0);
         },
         "no terminal is attached"},
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
