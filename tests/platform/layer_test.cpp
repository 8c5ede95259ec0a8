// What only the Linux layer does: the keys and clicks of a terminal turned
// into messages, where the template's controls land on it and what is sent
// to it, creation rules that Windows' comctl32 hides, and the loud end of
// everything the layer does not implement.
#include "term/dialog_layout.h"
#include "term/escape_keys.h"
#include "term/ncurses_display.h"
#include "win32/terminal.h"
#include "win32/win32_layer.h"

#include "case_table.h"
#include "recording_display.h"
#include "recording_window.h"

#define NCURSES_WIDECHAR 1
#include <curses.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using recording::received;
using testing_support::expectCaseTable;

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
    for (int line = 0; line < 24; ++line)
        SendDlgItemMessageA(dialog, IDC_HEX_DUMP, LB_ADDSTRING, 0,
                            LPARAM(std::to_string(line).c_str()));
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

// Characters as the tables write them: quoted, \t for a Tab.
std::string quoted(const std::string &text) {
    std::string out = "\"";
    for (char c : text)
        out += c == '\t' ? std::string("\\t") : std::string(1, c);
    return out + "\"";
}

// The characters that follow the Esc, as if they had all arrived together;
// what is kept is always the character read last.
class Typed : public EscapeInput {
  public:
    explicit Typed(const std::string &quotedText) {
        for (size_t i = 1; i + 1 < quotedText.size(); ++i) {
            const bool tab = quotedText.compare(i, 2, "\\t") == 0;
            text_ += tab ? '\t' : quotedText[i];
            i += tab ? 1 : 0;
        }
    }
    int next() override {
        return at_ < text_.size() ? static_cast<unsigned char>(text_[at_++]) : NOTHING;
    }
    void keep(int) override { --at_; }
    std::string left() const { return text_.substr(at_); }

  private:
    std::string text_;
    size_t at_ = 0;
};

TEST(TerminalKeys, EscapeSequencesAreKeysOrDroppedWhole) {
    expectCaseTable("escape-keys.txt", [](const std::string &input) {
        Typed typed(input);
        InputEvent event;
        const std::string key = decodeEscape(typed, event) ? describeKey(event) : "dropped";
        return typed.left().empty() ? key : key + ", left " + quoted(typed.left());
    });
}

// ncurses' codes by their names in curses.h, characters as typed.
TEST(TerminalKeys, CursesCodesBecomeVirtualKeysAndCharacters) {
    const struct {
        const char *name;
        bool isKeyCode;
        unsigned code;
    } rows[] = {
        {"KEY_BTAB", true, KEY_BTAB}, {"KEY_LEFT", true, KEY_LEFT}, {"KEY_ENTER", true, KEY_ENTER},
        {"KEY_F(1)", true, KEY_F(1)}, {"KEY_F(2)", true, KEY_F(2)}, {"\\t", false, '\t'},
        {"\\n", false, '\n'},         {"DEL", false, 0x7F},         {"Ctrl-A", false, 0x01},
        {"é", false, U'é'},           {"€", false, U'€'},           {"Ω", false, U'Ω'},
    };
    std::string text;
    for (const auto &r : rows) {
        InputEvent e;
        text += std::string(r.name) + " => " +
                (cursesKey(r.isKeyCode, r.code, e) ? describeKey(e) : "nothing") + "\n";
    }
    testing_support::expectGolden("curses-keys.txt", text);
}

// Input: the control with the focus at first (0: the window), the dialog's
// answer to DM_GETDEFID, a script of keys and clicks on an 80 x 24 terminal;
// made: what the dialog was told and asked, then where the up-down control
// and the list stand.
TEST_F(Fresh, KeysAndClicksOfTheTerminalReachTheDialog) {
    expectCaseTable("terminal-input.txt", [](const std::string &input) {
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

std::string rect(const CellRect &c) {
    return std::to_string(c.row) + "," + std::to_string(c.col) + " " + std::to_string(c.rows) +
           "x" + std::to_string(c.cols);
}

// Input: the items of a 311 x 194 dialog, "; " between them, each a shape
// (box, text, list, frame), x,y and cx x cy in dialog units; made: the cells
// of each on the coarsest grid, row,col and rows x cols.
TEST(DialogLayout, RowsMoveDownOnlyWhenSomethingAboveIsInTheWay) {
    expectCaseTable("dialog-layout.txt", [](const std::string &input) {
        std::vector<LayoutItem> items;
        std::istringstream in(input);
        for (std::string item; std::getline(in, item, ';');) {
            char shape[8] = "";
            LayoutItem i{};
            sscanf(item.c_str(), "%7s %d,%d %dx%d", shape, &i.x, &i.y, &i.cx, &i.cy);
            const std::string s = shape;
            i.shape = s == "list"    ? LayoutShape::List
                      : s == "frame" ? LayoutShape::Frame
                      : s == "text"  ? LayoutShape::Text
                                     : LayoutShape::Box;
            items.push_back(i);
        }
        std::vector<CellRect> cells(items.size());
        layoutDialog(items.data(), int(items.size()), 311, 194, COARSEST_GRID, cells.data());
        std::string made;
        for (const CellRect &c : cells)
            made += (made.empty() ? "" : "; ") + rect(c);
        return made;
    });
}

// Input: a terminal, columns x rows; made: the finest grid that fits (dialog
// units a cell across and down) and the window's cells, centred.
TEST_F(Fresh, TheWindowTakesTheFinestGridThatFits) {
    HWND dialog = recording::createDialog();
    expectCaseTable("dialog-grid.txt", [dialog](const std::string &input) {
        int rows = 0, cols = 0;
        sscanf(input.c_str(), "%dx%d", &cols, &rows);
        RecordingDisplay display(rows, cols);
        attachTerminal(&display, nullptr);
        winlayer::Window &w = *winlayer::findWindow(dialog);
        winlayer::layoutWindow(w);
        detachTerminal();
        return "grid " + std::to_string(w.grid.dluPerColumn) + "x" +
               std::to_string(w.grid.dluPerRow) + ", window " + rect(w.cells);
    });
}

TEST_F(Fresh, ARepaintSendsOnlyTheFieldThatChanged) {
    HWND dialog = recording::createDialog();
    RecordingDisplay display;
    attachTerminal(&display, nullptr);
    ShowWindow(dialog, SW_SHOW);
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); // paints
    EXPECT_EQ(display.cellsWritten, 80 * 24);
    display.cellsWritten = 0;
    SetDlgItemTextA(dialog, IDC_BIST, "80h");
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    EXPECT_EQ(display.cellsWritten, 3) << "the three new characters";
    display.cellsWritten = 0;
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    EXPECT_EQ(display.cellsWritten, 0);
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
    EXPECT_TRUE(received.empty()) << "no message on failure";
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
    const std::string saved = getenv("TERM") != nullptr ? getenv("TERM") : "";
    for (const std::string term : {"xterm", "screen-256color", "linux"}) {
        setenv("TERM", term.c_str(), 1);
        EXPECT_TRUE(NcursesDisplay::canAddressCursor()) << term;
    }
    for (const std::string term : {"dumb", "no-such-terminal", ""}) {
        setenv("TERM", term.c_str(), 1);
        EXPECT_FALSE(NcursesDisplay::canAddressCursor()) << term;
    }
    setenv("TERM", saved.c_str(), 1);
}

TEST_F(Fresh, WithoutATerminal) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "No Device Detected...", "Lumivar", MB_OK), IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Lumivar: No Device Detected...\n");
    char path[64] = "C:\\pci-1.txt";
    OPENFILENAMEA request = pathRequest(path, sizeof path);
    EXPECT_FALSE(GetSaveFileNameA(&request)) << "a dialog that cannot be shown fails";
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

// What a call says on its way out (its last line on stderr), and whether
// it came back instead.
std::string lastWords(const std::function<void()> &call) {
    const std::string file = testing_support::tempPath("last-words");
    const pid_t child = fork();
    if (child == 0) {
        if (freopen(file.c_str(), "w", stderr) != nullptr)
            call();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    std::string said = testing_support::readBytes(file);
    std::filesystem::remove(file);
    said.erase(said.find_last_not_of('\n') + 1);
    said.erase(0, said.rfind('\n') + 1);
    return WIFSIGNALED(status) ? said : "came back: " + said;
}

// Everything the layer does not implement ends the program, saying what.
// Input: a call and its arguments, on a hidden KESTRIX dialog; made: what the
// layer said.
TEST_F(Fresh, WhatTheLayerLacksStopsTheProgram) {
    expectCaseTable("layer-refusals.txt", [](const std::string &input) {
        std::istringstream in(input);
        std::string call, first = "0", second = "0";
        in >> call >> first >> second;
        const unsigned a = stoul(first, nullptr, 0), b = stoul(second, nullptr, 0);
        return lastWords([&] {
            HWND dialog = recording::createDialog();
            MSG msg;
            char path[16] = "";
            OPENFILENAMEA request = pathRequest(path, sizeof path, a);
            if (call == "send")
                SendDlgItemMessageA(dialog, int(a), b, 0, 0);
            if (call == "MessageBoxA")
                MessageBoxA(dialog, "?", "t", a);
            if (call == "ShowWindow")
                ShowWindow(dialog, int(a));
            if (call == "GetMessageA")
                GetMessageA(&msg, a != 0 ? dialog : nullptr, 0, 0);
            if (call == "GetOpenFileNameA")
                GetOpenFileNameA(&request);
            if (call == "LoadCursorA")
                LoadCursorA(nullptr, MAKEINTRESOURCEA(a));
            if (call == "class-style")
                recording::registerClass(DLGWINDOWEXTRA, a, "Other");
            if (call == "class-extra") {
                winlayer::resetLayer();
                recording::registerClass(int(a));
                recording::createDialog();
            }
        });
    });
}

} // namespace
