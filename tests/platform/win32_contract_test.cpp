// The Win32 contract that the application relies on, checked call by call.
// Built twice from this source: under Wine, where Windows' own answers are
// the reference, and against the Linux layer, which must give the same.
#include "recording_window.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

using recording::commands;
using recording::listLines;
using recording::position;
using recording::received;

// Layouts the application (and the file dialogs) depend on: 64-bit Windows.
static_assert(sizeof(WNDCLASSEXA) == 80);
static_assert(sizeof(OPENFILENAMEA) == 152);
static_assert(sizeof(MSG) == 48);
static_assert(sizeof(NMHDR) == 24);
static_assert(sizeof(NMUPDOWN) == 32);
static_assert(sizeof(UDACCEL) == 8);
static_assert(sizeof(SYSTEMTIME) == 16);
static_assert(sizeof(DWORD) == 4 && sizeof(WPARAM) == 8 && sizeof(LPARAM) == 8);

struct Win32Contract : testing::Test {
    HWND dialog = nullptr;
    void SetUp() override {
        dialog = recording::createDialog();
        ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override {
        if (dialog != nullptr)
            DestroyWindow(dialog);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    LRESULT toList(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendDlgItemMessageA(dialog, IDC_HEX_DUMP, message, wParam, lParam);
    }
};

struct SortCase {
    const char *name;
    std::vector<const char *> added;
    std::vector<LRESULT> indices; // what each LB_ADDSTRING returned
    std::vector<std::string> lines;
};

TEST_F(Win32Contract, SortedListBoxInsertsAtTheSortedPlace) {
    const SortCase cases[] = {
        {"case is ignored",
         {"beta", "Alpha", "gamma", "ALPHA2"},
         {0, 0, 2, 1},
         {"Alpha", "ALPHA2", "beta", "gamma"}},
        {"symbols, then digits, then letters",
         {"b", "2", "_x", "a", "~"},
         {0, 0, 0, 2, 1},
         {"_x", "~", "2", "a", "b"}},
        {"hyphens count only between otherwise equal lines",
         {"cop", "coop", "co-op", "co-o"},
         {0, 0, 1, 0},
         {"co-o", "coop", "co-op", "cop"}},
        {"punctuation inside words",
         {"I/O Space", "I.O", "IO", "I O"},
         {0, 0, 2, 0},
         {"I O", "I.O", "I/O Space", "IO"}},
        {"an equal line goes before its twin", {"abc", "ABC"}, {0, 0}, {"ABC", "abc"}},
        {"the bit names",
         {"I/O Space", "Memory Space", "Bus Master"},
         {0, 1, 0},
         {"Bus Master", "I/O Space", "Memory Space"}},
        {"hex dump lines keep offset order",
         {"0C:00000000", "10:8086", "04:FFFF", "FC:1"},
         {0, 1, 0, 3},
         {"04:FFFF", "0C:00000000", "10:8086", "FC:1"}},
    };
    for (const SortCase &c : cases) {
        toList(LB_RESETCONTENT);
        std::vector<LRESULT> indices;
        for (const char *line : c.added)
            indices.push_back(toList(LB_ADDSTRING, 0, LPARAM(line)));
        EXPECT_EQ(indices, c.indices) << c.name;
        EXPECT_EQ(listLines(dialog, IDC_HEX_DUMP), c.lines) << c.name;
    }
}

TEST_F(Win32Contract, ListBoxCountsLengthsAndRefusesBadIndices) {
    toList(LB_ADDSTRING, 0, LPARAM("Medium Devsel Speed"));
    toList(LB_ADDSTRING, 0, LPARAM("Capability List"));
    const struct {
        UINT message;
        WPARAM index;
        LRESULT result;
    } rows[] = {
        {LB_GETCOUNT, 0, 2},
        {LB_GETTEXTLEN, 0, 15},
        {LB_GETTEXTLEN, 1, 19},
        {LB_GETTEXTLEN, 2, LB_ERR},
        {LB_GETTEXTLEN, WPARAM(-1), LB_ERR},
    };
    for (const auto &r : rows)
        EXPECT_EQ(toList(r.message, r.index), r.result) << std::hex << r.message << " " << r.index;
    char line[64] = "unchanged";
    EXPECT_EQ(toList(LB_GETTEXT, 5, LPARAM(line)), LB_ERR);
    EXPECT_STREQ(line, "unchanged");
    EXPECT_EQ(toList(LB_GETTEXT, 1, LPARAM(line)), 19);
    EXPECT_STREQ(line, "Medium Devsel Speed");
    toList(LB_RESETCONTENT);
    EXPECT_EQ(toList(LB_GETCOUNT), 0);
}

struct SetPosCase {
    int lower, upper, start, wanted;
    int previous, position;
};

TEST_F(Win32Contract, UpDownPositionStaysInsideTheRange) {
    const SetPosCase cases[] = {
        {1, 3, 1, 2, 1, 2},  {1, 3, 2, 0, 2, 1}, {1, 3, 1, 7, 1, 3},    {1, 0, 1, 5, 1, 1},
        {1, 0, 1, -2, 1, 0}, {1, 0, 1, 0, 1, 0}, {1, 32, 1, 32, 1, 32},
    };
    for (const SetPosCase &c : cases) {
        SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_SETRANGE, 0, MAKELPARAM(c.upper, c.lower));
        SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_SETPOS, 0, MAKELPARAM(c.start, 0));
        const LRESULT previous =
            SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_SETPOS, 0, MAKELPARAM(c.wanted, 0));
        EXPECT_EQ(int(static_cast<short>(previous)), c.previous)
            << c.lower << ".." << c.upper << " set " << c.wanted;
        EXPECT_EQ(position(dialog), c.position)
            << c.lower << ".." << c.upper << " set " << c.wanted;
    }
    const LRESULT range = SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_GETRANGE, 0, 0);
    EXPECT_EQ(LOWORD(range), 32); // upper in the low word
    EXPECT_EQ(HIWORD(range), 1);
}

TEST_F(Win32Contract, UpDownBaseIsTenOrSixteen) {
    const struct {
        WPARAM base;
        LRESULT previous, now;
    } rows[] = {{16, 10, 16}, {10, 16, 10}, {7, 0, 10}, {2, 0, 10}};
    for (const auto &r : rows) {
        EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_SETBASE, r.base, 0), r.previous)
            << r.base;
        EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_GETBASE, 0, 0), r.now) << r.base;
    }
}

struct StepCase {
    const char *name;
    int lower, upper, start;
    WPARAM key;       // VK_UP steps towards the upper end, VK_DOWN away
    LRESULT answer;   // the parent's answer to UDN_DELTAPOS
    int extra;        // what the parent adds to iDelta before answering
    int iPos, iDelta; // the notification
    int position;     // afterwards
};

TEST_F(Win32Contract, UpDownStepAsksTheParentAndMovesOnlyInsideTheRange) {
    const StepCase cases[] = {
        {"up, allowed", 1, 3, 1, VK_UP, 0, 0, 1, 1, 2},
        {"down, allowed", 1, 3, 2, VK_DOWN, 0, 0, 2, -1, 1},
        {"past the upper end", 1, 3, 3, VK_UP, 0, 0, 3, 1, 3},
        {"below the lower end", 1, 3, 1, VK_DOWN, 0, 0, 1, -1, 1},
        {"refused by the parent", 1, 3, 2, VK_UP, 1, 0, 2, 1, 2},
        {"step changed by the parent", 1, 5, 1, VK_UP, 0, 2, 1, 1, 4},
        {"reversed range counts down", 1, 0, 1, VK_UP, 0, 0, 1, -1, 0},
        {"reversed range, other way", 1, 0, 1, VK_DOWN, 0, 0, 1, 1, 1},
        {"a range of one", 5, 5, 5, VK_UP, 0, 0, 5, 1, 5},
    };
    for (const StepCase &c : cases) {
        SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_SETRANGE, 0, MAKELPARAM(c.upper, c.lower));
        SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_SETPOS, 0, MAKELPARAM(c.start, 0));
        received.clear();
        recording::notifyAnswer = c.answer;
        recording::changeDelta = c.extra;
        SendDlgItemMessageA(dialog, IDC_UPDOWN, WM_KEYDOWN, c.key, 0);
        SendDlgItemMessageA(dialog, IDC_UPDOWN, WM_KEYUP, c.key, 0);
        ASSERT_FALSE(received.empty()) << c.name;
        const recording::Received &n = received.front();
        EXPECT_EQ(n.message, UINT(WM_NOTIFY)) << c.name;
        EXPECT_EQ(n.wParam, WPARAM(IDC_UPDOWN)) << c.name;
        EXPECT_EQ(n.change.hdr.code, UINT(UDN_DELTAPOS)) << c.name;
        EXPECT_EQ(n.change.hdr.idFrom, UINT_PTR(IDC_UPDOWN)) << c.name;
        EXPECT_EQ(n.change.hdr.hwndFrom, GetDlgItem(dialog, IDC_UPDOWN)) << c.name;
        EXPECT_EQ(n.change.iPos, c.iPos) << c.name;
        EXPECT_EQ(n.change.iDelta, c.iDelta) << c.name;
        EXPECT_EQ(position(dialog), c.position) << c.name;
        // The position is announced afterwards in any case.
        ASSERT_GE(received.size(), 2u) << c.name;
        EXPECT_EQ(received[1].message, UINT(WM_HSCROLL)) << c.name;
        EXPECT_EQ(int(static_cast<short>(HIWORD(received[1].wParam))), c.position) << c.name;
    }
}

TEST_F(Win32Contract, TabStopsSkipDisabledAndHiddenControls) {
    HWND exitButton = GetDlgItem(dialog, IDC_EXIT), dump = GetDlgItem(dialog, IDC_DUMP),
         report = GetDlgItem(dialog, IDC_PCI_REPORT);
    const struct {
        HWND from;
        BOOL previous;
        HWND next;
    } rows[] = {
        {exitButton, FALSE, dump},
        {dump, FALSE, report},
        {report, FALSE, exitButton},
        {exitButton, TRUE, report},
        {nullptr, FALSE, exitButton},
        // Not as documented, but as Windows answers: no start and backwards is nothing,
        // and the dialog itself as the start counts as no start.
        {nullptr, TRUE, nullptr},
        {dialog, FALSE, exitButton},
    };
    for (const auto &r : rows)
        EXPECT_EQ(GetNextDlgTabItem(dialog, r.from, r.previous), r.next)
            << GetDlgCtrlID(r.from) << (r.previous ? " back" : " forward");
    ShowWindow(dump, SW_HIDE);
    EXPECT_EQ(GetNextDlgTabItem(dialog, exitButton, FALSE), report);
}

struct KeyCase {
    const char *name;
    UINT message;
    WPARAM key;
    std::vector<WPARAM> commands;
};

TEST_F(Win32Contract, DialogKeysAndMnemonicsSendCommands) {
    // Mnemonics are looked for among the controls of a visible dialog only.
    MSG hidden = {dialog, WM_SYSCHAR, 'd', 1, 0, {0, 0}};
    IsDialogMessageA(dialog, &hidden);
    EXPECT_EQ(commands(), std::vector<WPARAM>{}) << "hidden dialog";
    ShowWindow(dialog, SW_SHOW);
    const KeyCase cases[] = {
        {"Esc is IDCANCEL", WM_KEYDOWN, VK_ESCAPE, {IDCANCEL}},
        {"Enter without a focused button is IDOK", WM_KEYDOWN, VK_RETURN, {IDOK}},
        {"Alt+D presses Dump->", WM_SYSCHAR, 'd', {IDC_DUMP}},
        {"Alt+R presses PCI Report", WM_SYSCHAR, 'R', {IDC_PCI_REPORT}},
        {"x alone presses Exit", WM_CHAR, 'x', {IDC_EXIT}},
        {"a list box's mnemonic presses nothing", WM_SYSCHAR, 'c', {}},
        {"a letter no control has", WM_CHAR, 'q', {}},
    };
    for (const KeyCase &c : cases) {
        received.clear();
        MSG msg = {dialog, c.message, c.key, 1, 0, {0, 0}};
        EXPECT_TRUE(IsDialogMessageA(dialog, &msg)) << c.name;
        EXPECT_EQ(commands(), c.commands) << c.name;
    }
    // A message for some other window is not the dialog's.
    MSG other = {nullptr, WM_KEYDOWN, VK_ESCAPE, 1, 0, {0, 0}};
    EXPECT_FALSE(IsDialogMessageA(dialog, &other));
}

// The dialog manager asks the dialog's procedure: WM_NEXTDLGCTL for Tab, which
// DefWindowProcA leaves alone, and DM_GETDEFID for the button Enter presses.
TEST_F(Win32Contract, TabAndEnterAskTheDialogsProcedure) {
    ShowWindow(dialog, SW_SHOW);
    HWND exitButton = GetDlgItem(dialog, IDC_EXIT);
    SetFocus(exitButton);
    const struct {
        const char *name;
        WPARAM key;
        LRESULT answer; // to DM_GETDEFID
        std::vector<recording::Message> asked;
    } rows[] = {
        {"Tab", VK_TAB, 0, {{WM_NEXTDLGCTL, 0}}},
        {"Enter without a default button", VK_RETURN, 0, {{DM_GETDEFID, 0}, {WM_COMMAND, IDOK}}},
        {"Enter with one",
         VK_RETURN,
         MAKELRESULT(IDC_PCI_REPORT, DC_HASDEFID),
         {{DM_GETDEFID, 0}, {WM_COMMAND, IDC_PCI_REPORT}}},
    };
    for (const auto &r : rows) {
        received.clear();
        recording::defaultAnswer = r.answer;
        MSG msg = {exitButton, WM_KEYDOWN, r.key, 1, 0, {0, 0}};
        EXPECT_TRUE(IsDialogMessageA(dialog, &msg)) << r.name;
        EXPECT_EQ(recording::requests(), r.asked) << r.name;
        EXPECT_EQ(GetFocus(), exitButton) << r.name;
    }
}

#ifdef _WIN32
// Presses OK in the message box with the caption given, once it is up.
DWORD WINAPI answerMessageBox(LPVOID caption) {
    for (int i = 0; i < 200; ++i) {
        Sleep(25);
        if (HWND box = FindWindowA("#32770", static_cast<const char *>(caption))) {
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            return 0;
        }
    }
    return 1;
}
#endif

// A message box takes the activation while it is up; when the window gets it
// back, DefWindowProcA gives the focus to the window itself.
TEST_F(Win32Contract, AMessageBoxTakesTheActivationForAWhile) {
    static const char CAPTION[] = "Lumivar contract";
    ShowWindow(dialog, SW_SHOW);
    SetFocus(GetDlgItem(dialog, IDC_DUMP));
    received.clear();
#ifdef _WIN32
    HANDLE answering = CreateThread(nullptr, 0, answerMessageBox, LPVOID(CAPTION), 0, nullptr);
#endif
    testing::internal::CaptureStderr(); // where the message goes without a terminal
    EXPECT_EQ(MessageBoxA(dialog, "a message", CAPTION, MB_OK), IDOK);
    testing::internal::GetCapturedStderr();
#ifdef _WIN32
    WaitForSingleObject(answering, INFINITE);
    CloseHandle(answering);
#endif
    EXPECT_EQ(recording::requests(), (std::vector<recording::Message>{{WM_ACTIVATE, WA_INACTIVE},
                                                                      {WM_ACTIVATE, WA_ACTIVE}}));
    EXPECT_EQ(GetFocus(), dialog);
}

TEST_F(Win32Contract, TextsOfControlsAndWindow) {
    const struct {
        UINT value;
        BOOL isSigned;
        const char *text;
    } numbers[] = {{0, FALSE, "0"},
                   {4294967295u, FALSE, "4294967295"},
                   {4294967295u, TRUE, "-1"},
                   {123, TRUE, "123"}};
    for (const auto &n : numbers) {
        EXPECT_TRUE(SetDlgItemInt(dialog, IDC_TOTAL_DEVICES, n.value, n.isSigned));
        char text[32] = "";
        EXPECT_EQ(GetDlgItemTextA(dialog, IDC_TOTAL_DEVICES, text, sizeof text), strlen(n.text));
        EXPECT_STREQ(text, n.text);
    }
    SetDlgItemTextA(dialog, IDC_BAR_ADDRESS_FIRST, "FEBF0000");
    const struct {
        int size;
        UINT copied;
        const char *text;
    } cuts[] = {{64, 8, "FEBF0000"}, {9, 8, "FEBF0000"}, {5, 4, "FEBF"}, {1, 0, ""}};
    for (const auto &c : cuts) {
        char text[64];
        memset(text, 'x', sizeof text);
        EXPECT_EQ(GetDlgItemTextA(dialog, IDC_BAR_ADDRESS_FIRST, text, c.size), c.copied) << c.size;
        EXPECT_STREQ(text, c.text) << c.size;
    }
    EXPECT_FALSE(SetDlgItemTextA(dialog, 131, "no such control"));
    char caption[64] = "";
    EXPECT_EQ(GetWindowTextA(dialog, caption, sizeof caption), 29);
    EXPECT_STREQ(caption, "Lumivar V4.04 - PCI Spec V3.0");
    EXPECT_TRUE(SetWindowTextA(dialog, "other"));
    GetWindowTextA(dialog, caption, sizeof caption);
    EXPECT_STREQ(caption, "other");
}

TEST_F(Win32Contract, CheckBoxesHoldThreeStatesAndPushButtonsNone) {
    const struct {
        int id;
        UINT set, got;
    } rows[] = {
        {IDC_MULTI_FUNCTION, BST_CHECKED, BST_CHECKED},
        {IDC_MULTI_FUNCTION, BST_INDETERMINATE, BST_INDETERMINATE},
        {IDC_MULTI_FUNCTION, 3, BST_INDETERMINATE},
        {IDC_MULTI_FUNCTION, BST_UNCHECKED, BST_UNCHECKED},
        {IDC_BAR_FLAG(BAR_COLUMN_PRE, 5), BST_CHECKED, BST_CHECKED},
        {IDC_EXIT, BST_CHECKED, BST_UNCHECKED},
        {131, BST_CHECKED, 0}, // no such control
    };
    for (const auto &r : rows) {
        CheckDlgButton(dialog, r.id, r.set);
        EXPECT_EQ(IsDlgButtonChecked(dialog, r.id), r.got) << r.id << " set " << r.set;
    }
}

TEST_F(Win32Contract, PostedMessagesComeInOrderThenTheQuitMessage) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    EXPECT_TRUE(PostMessageA(dialog, WM_USER + 1, 11, 0));
    EXPECT_TRUE(PostMessageA(nullptr, WM_USER + 2, 22, 0));
    PostQuitMessage(7);
    EXPECT_TRUE(PostMessageA(dialog, WM_USER + 3, 33, 0));
    const struct {
        UINT message;
        WPARAM wParam;
    } order[] = {{WM_USER + 1, 11}, {WM_USER + 2, 22}, {WM_USER + 3, 33}};
    for (const auto &o : order) {
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, o.message);
        EXPECT_EQ(msg.wParam, o.wParam);
    }
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, WPARAM(7));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Win32Contract, CloseDestroysTheWindowThroughTheDefaultProcedure) {
    HWND exitButton = GetDlgItem(dialog, IDC_EXIT);
    EXPECT_EQ(GetDlgCtrlID(exitButton), IDC_EXIT);
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(recording::destroyed.size(), 1u);
    EXPECT_EQ(GetDlgItem(dialog, IDC_EXIT), nullptr);
    EXPECT_EQ(GetDlgCtrlID(exitButton), 0);
    EXPECT_FALSE(DestroyWindow(dialog));
    EXPECT_FALSE(PostMessageA(dialog, WM_USER, 0, 0));
    dialog = nullptr;
}

// CreateDialogParamA gives the first tab stop the focus when WM_INITDIALOG
// answers non-zero; else nothing has it until the window is activated, which
// gives it to the window itself. -1 below is no focus, 0 the window.
TEST(Win32Focus, StartsWhereTheDialogManagerPutsIt) {
    const struct {
        const char *name;
        LRESULT init;
        int created, shown;
    } rows[] = {
        {"WM_INITDIALOG answers 0", 0, -1, 0},
        {"it answers TRUE", TRUE, IDC_EXIT, IDC_EXIT},
    };
    for (const auto &r : rows) {
        HWND dialog = recording::createDialog(r.init);
        ASSERT_NE(dialog, nullptr);
        const auto where = [dialog] {
            HWND focus = GetFocus();
            return focus == nullptr ? -1 : focus == dialog ? 0 : GetDlgCtrlID(focus);
        };
        EXPECT_EQ(where(), r.created) << r.name;
        ShowWindow(dialog, SW_SHOW);
        EXPECT_EQ(where(), r.shown) << r.name;
        DestroyWindow(dialog);
    }
}

TEST(Win32System, OpenFileNameHasItsVersion400Size) {
    // Windows' CDSIZEOF_STRUCT is not a constant expression, so not a static_assert.
    EXPECT_EQ(OPENFILENAME_SIZE_VERSION_400A, 136u);
}

TEST(Win32System, CurrentDirectoryFollowsTheBufferRules) {
    const std::string folder = testing_support::tempPath("cwd");
    std::filesystem::create_directories(folder);
    char previous[512] = "";
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    const DWORD needed = GetCurrentDirectoryA(0, nullptr); // with the NUL
    ASSERT_GT(needed, 1u);
    std::string small(needed - 1, 'x');
    EXPECT_EQ(GetCurrentDirectoryA(needed - 1, small.data()), needed);
    EXPECT_EQ(small, std::string(needed - 1, 'x')) << "left alone when too small";
    std::string exact(needed, 'x');
    EXPECT_EQ(GetCurrentDirectoryA(needed, exact.data()), needed - 1);
    EXPECT_EQ(exact.c_str(), std::filesystem::current_path().string());
    EXPECT_FALSE(SetCurrentDirectoryA((folder + "-missing").c_str()));
    SetCurrentDirectoryA(previous);
    std::filesystem::remove_all(folder);
}

TEST(Win32System, VersionAndTime) {
    EXPECT_EQ(GetVersion() & 0x80000000u, 0u) << "an NT-family answer";
    SYSTEMTIME t;
    GetLocalTime(&t);
    const time_t now = time(nullptr);
    tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    EXPECT_EQ(t.wYear, local.tm_year + 1900);
    EXPECT_EQ(t.wMonth, local.tm_mon + 1);
    EXPECT_EQ(t.wDay, local.tm_mday);
    EXPECT_EQ(t.wDayOfWeek, local.tm_wday);
    EXPECT_LE(t.wHour, 23);
    EXPECT_LE(t.wMinute, 59);
    EXPECT_LE(t.wMilliseconds, 999);
}

} // namespace
