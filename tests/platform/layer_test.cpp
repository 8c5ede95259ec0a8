// What only the Linux layer does: creation rules that Windows' comctl32 hides,
// the keyboard and mouse of a terminal turned into messages, and the loud end
// of everything the layer does not implement.
#include "term/ncurses_display.h"
#include "win32/terminal.h"
#include "win32/win32_layer.h"

#include "recording_display.h"
#include "recording_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
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
    Home,
    End,
    F1,
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

    // Where a control is on the screen.
    CellRect cellsOf(int id) {
        CellRect r = winlayer::findWindow(GetDlgItem(dialog, id))->cells;
        const CellRect &window = winlayer::findWindow(dialog)->cells;
        r.row += window.row;
        r.col += window.col;
        return r;
    }

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
        case Act::Home: display.key(VK_HOME); break;
        case Act::End: display.key(VK_END); break;
        case Act::F1: display.key(VK_F1); break;
        case Act::Letter: display.type(std::string(1, in.letter)); break;
        case Act::AltLetter: display.alt(in.letter); break;
        case Act::Click:
            if (in.id == 0) {
                const winlayer::Window &w = *winlayer::findWindow(dialog);
                display.mouse(w.cells.row, w.cells.col + winlayer::closeBoxColumn(w));
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
    int focus;             // the control with the focus at first; 0: the window itself
    LRESULT defaultButton; // the dialog's answer to DM_GETDEFID
    std::vector<Input> inputs;
    std::vector<recording::Message> messages;
};

// As under Windows, the keyboard of a dialog asks its procedure to move the
// focus (WM_NEXTDLGCTL) and to name the button Enter presses (DM_GETDEFID).
TEST_F(Terminal, KeysAndClicksReachTheDialog) {
    setKeyHelp("F1  this box");
    constexpr UINT COMMAND = WM_COMMAND, NEXT = WM_NEXTDLGCTL, DEFAULT = DM_GETDEFID,
                   ACTIVATE = WM_ACTIVATE;
    const LRESULT dump = MAKELRESULT(IDC_DUMP, DC_HASDEFID);
    const LRESULT disabled = MAKELRESULT(IDC_MULTI_FUNCTION, DC_HASDEFID);
    const KeyCase cases[] = {
        {"Tab asks for the next control", 0, 0, {{Act::Tab}}, {{NEXT, 0}}},
        {"Shift-Tab for the previous one", IDC_EXIT, 0, {{Act::ShiftTab}}, {{NEXT, 0x8000}}},
        {"Enter presses the default button",
         IDC_EXIT,
         dump,
         {{Act::Enter}},
         {{DEFAULT, 0}, {COMMAND, IDC_DUMP}}},
        {"Enter without one is IDOK", 0, 0, {{Act::Enter}}, {{DEFAULT, 0}, {COMMAND, IDOK}}},
        {"a disabled default button is not pressed", 0, disabled, {{Act::Enter}}, {{DEFAULT, 0}}},
        {"Space presses the focused button", IDC_DUMP, 0, {{Act::Space}}, {{COMMAND, IDC_DUMP}}},
        {"Esc is IDCANCEL", 0, 0, {{Act::Esc}}, {{COMMAND, IDCANCEL}}},
        {"Alt+letter presses its button",
         0,
         0,
         {{Act::AltLetter, 'r'}},
         {{COMMAND, IDC_PCI_REPORT}}},
        {"the plain letter too", 0, 0, {{Act::Letter, 'D'}}, {{COMMAND, IDC_DUMP}}},
        {"and then it has the focus",
         0,
         0,
         {{Act::Letter, 'd'}, {Act::Space}},
         {{COMMAND, IDC_DUMP}, {COMMAND, IDC_DUMP}}},
        {"a letter of nothing", 0, 0, {{Act::Letter, 'q'}}, {}},
        {"F1 shows the keys, which take the activation while they are up",
         IDC_DUMP,
         0,
         {{Act::F1}, {Act::Enter}},
         {{ACTIVATE, WA_INACTIVE}, {ACTIVATE, WA_ACTIVE}}},
        {"so does ?",
         0,
         0,
         {{Act::Letter, '?'}, {Act::Esc}},
         {{ACTIVATE, WA_INACTIVE}, {ACTIVATE, WA_ACTIVE}}},
        {"a click presses a button",
         0,
         0,
         {{Act::Click, 0, IDC_PCI_REPORT, 2}},
         {{COMMAND, IDC_PCI_REPORT}}},
        {"a click on the disabled box does nothing",
         0,
         0,
         {{Act::Click, 0, IDC_MULTI_FUNCTION}},
         {}},
        {"a click on a value field does nothing", 0, 0, {{Act::Click, 0, IDC_VENDOR_ID}}, {}},
    };
    for (const KeyCase &c : cases) {
        SetFocus(c.focus != 0 ? GetDlgItem(dialog, c.focus) : dialog);
        recording::defaultAnswer = c.defaultButton;
        run(c.inputs);
        EXPECT_EQ(recording::requests(), c.messages) << c.name;
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
        {"End goes to the upper end in one step", {{Act::End}}, {2}, 4},
        {"Home to the lower end", {{Act::Home}}, {-1}, 1},
        {"and not again once there", {{Act::Home}, {Act::Home}}, {-1}, 1},
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
        {"not above the first line", list.row, list.col, InputEvent::Button::WheelUp, 0},
        {"the down arrow", list.row + lines - 1, bar, InputEvent::Button::Left, 1},
        {"the track below the thumb: a page", list.row + lines - 2, bar, InputEvent::Button::Left,
         1 + lines},
        {"the up arrow", list.row, bar, InputEvent::Button::Left, lines},
        {"a click on a line does nothing", list.row + 1, list.col, InputEvent::Button::Left, lines},
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
    for (int id = IDC_BAR_ADDRESS_FIRST; id <= IDC_CAPABILITIES_PTR; ++id) {
        char text[8] = "x";
        EXPECT_EQ(GetDlgItemTextA(dialog, id, text, sizeof text), 0u) << id;
    }
    for (int id = IDC_BAR_FLAG_FIRST; id < IDC_BAR_FLAG_FIRST + 30; ++id)
        EXPECT_EQ(IsDlgButtonChecked(dialog, id), UINT(BST_UNCHECKED)) << id;
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_STATUS_LIST, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(GetFocus(), nullptr) << "DefWindowProcA answers WM_INITDIALOG with 0";
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
        {"a button message", [](HWND d) { SendDlgItemMessageA(d, IDC_EXIT, 0x00F4, 0, 0); },
         "BUTTON control 2 does not implement message 0x00F4"},
        {"a static's message", [](HWND d) { SendDlgItemMessageA(d, IDC_BIST, BM_SETCHECK, 1, 0); },
         "STATIC control 336 does not implement message 0x00F1"},
        {"an up-down message",
         [](HWND d) { SendDlgItemMessageA(d, IDC_UPDOWN, WM_USER + 111, 0, 0); },
         "msctls_updown32 control 200 does not implement message 0x046F"},
        {"a message box with buttons", [](HWND d) { MessageBoxA(d, "?", "t", 4 /* MB_YESNO */); },
         "MessageBoxA type 0x4"},
        {"minimising", [](HWND d) { ShowWindow(d, 6 /* SW_MINIMIZE */); }, "ShowWindow command 6"},
        {"a message filter",
         [](HWND d) {
             MSG msg;
             GetMessageA(&msg, d, 0, 0);
         },
         "GetMessageA with a window or message filter"},
        {"waiting with no terminal",
         [](HWND) {
             MSG msg;
             GetMessageA(&msg, nullptr, 0, 0);
         },
         "no terminal is attached"},
        {"a class style",
         [](HWND) {
             WNDCLASSEXA wc = {};
             wc.cbSize = sizeof wc;
             wc.style = 0x0008; // CS_DBLCLKS
             wc.lpfnWndProc = recording::procedure;
             wc.lpszClassName = "Other";
             RegisterClassExA(&wc);
         },
         "class style 0x8"},
        {"a file dialog flag",
         [](HWND d) {
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
