// The Win32 contract that the application relies on, checked call by call.
// Built twice from this source: under Wine, where Windows' own answers are
// the reference, and against the Linux layer, which must give the same.
#include "case_table.h"
#include "recording_window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <sstream>
#include <string>

namespace {

using recording::position;
using recording::received;
using testing_support::expectCaseTable;

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

// Input: the lines added, between bars; made: what each LB_ADDSTRING
// answered, then the list's lines.
TEST_F(Win32Contract, SortedListBoxInsertsAtTheSortedPlace) {
    expectCaseTable("listbox-sort.txt", [this](const std::string &input) {
        toList(LB_RESETCONTENT);
        std::istringstream added(input);
        std::string line, made;
        while (std::getline(added, line, '|'))
            made += std::to_string(toList(LB_ADDSTRING, 0, LPARAM(line.c_str()))) + " ";
        for (const std::string &shown : recording::listLines(dialog, IDC_HEX_DUMP))
            made += "|" + shown;
        return made + "|";
    });
}

// Input: the range, the position, the position asked for; made: what
// UDM_SETPOS answered and where the control is.
TEST_F(Win32Contract, UpDownPositionStaysInsideTheRange) {
    expectCaseTable("updown-setpos.txt", [this](const std::string &input) {
        int lower = 0, upper = 0, start = 0, wanted = 0;
        sscanf(input.c_str(), "%d..%d at %d set %d", &lower, &upper, &start, &wanted);
        SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_SETRANGE, 0, MAKELPARAM(upper, lower));
        SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_SETPOS, 0, MAKELPARAM(start, 0));
        const LRESULT previous =
            SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_SETPOS, 0, MAKELPARAM(wanted, 0));
        return "was " + std::to_string(short(previous)) + ", now " +
               std::to_string(position(dialog));
    });
    const LRESULT range = SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_GETRANGE, 0, 0);
    EXPECT_EQ(LOWORD(range), 32); // the last range set; upper in the low word
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

// Input: the range, the position, the arrow key, and what the parent does
// with UDN_DELTAPOS ("refused": answers non-zero; "plus N": adds N to the
// step); made: what the parent was told, and the position afterwards.
TEST_F(Win32Contract, UpDownStepAsksTheParentAndMovesOnlyInsideTheRange) {
    expectCaseTable("updown-step.txt", [this](const std::string &input) {
        int lower = 0, upper = 0, start = 0;
        char key[8] = "";
        sscanf(input.c_str(), "%d..%d at %d %7s", &lower, &upper, &start, key);
        SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_SETRANGE, 0, MAKELPARAM(upper, lower));
        SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_SETPOS, 0, MAKELPARAM(start, 0));
        received.clear();
        recording::notifyAnswer = input.find(" refused") != std::string::npos;
        const size_t plus = input.find(" plus ");
        recording::changeDelta = plus != std::string::npos ? atoi(input.c_str() + plus + 6) : 0;
        const WPARAM vk = std::string(key) == "Up" ? VK_UP : VK_DOWN;
        SendDlgItemMessageA(dialog, IDC_UPDOWN, WM_KEYDOWN, vk, 0);
        SendDlgItemMessageA(dialog, IDC_UPDOWN, WM_KEYUP, vk, 0);
        return recording::story(dialog) + "; now " + std::to_string(position(dialog));
    });
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

// Input: the message (keydown, char or syschar) and its key, then the
// control given the focus first and the dialog's answer to DM_GETDEFID;
// made: what the dialog manager told and asked the dialog's procedure, and
// which control has the focus afterwards.
TEST_F(Win32Contract, DialogKeysAskTheProcedureAndSendCommands) {
    // Mnemonics are looked for among the controls of a visible dialog only.
    MSG hidden = {dialog, WM_SYSCHAR, 'd', 1, 0, {0, 0}};
    IsDialogMessageA(dialog, &hidden);
    EXPECT_EQ(recording::story(dialog), "nothing") << "hidden dialog";
    ShowWindow(dialog, SW_SHOW);
    expectCaseTable("dialog-keys.txt", [this](const std::string &input) {
        char kind[16] = "", key[16] = "";
        int focus = 0, defaultId = 0;
        sscanf(input.c_str(), "%15s %15s focus %d default %d", kind, key, &focus, &defaultId);
        const std::string k = key;
        const WPARAM vk = k == "Esc"     ? VK_ESCAPE
                          : k == "Enter" ? VK_RETURN
                          : k == "Tab"   ? VK_TAB
                                         : 0;
        const std::string m = kind;
        const UINT message = m == "keydown" ? WM_KEYDOWN : m == "char" ? WM_CHAR : WM_SYSCHAR;
        MSG msg = {focus != 0 ? GetDlgItem(dialog, focus) : dialog,
                   message,
                   vk != 0 ? vk : WPARAM(key[0]),
                   1,
                   0,
                   {0, 0}};
        SetFocus(msg.hwnd);
        received.clear();
        recording::defaultAnswer = defaultId != 0 ? MAKELRESULT(defaultId, DC_HASDEFID) : 0;
        const std::string taken = IsDialogMessageA(dialog, &msg) ? "" : "not taken, ";
        return taken + recording::story(dialog) + "; focus " +
               std::to_string(GetDlgCtrlID(GetFocus()));
    });
    // A message for some other window is not the dialog's.
    MSG other = {nullptr, WM_KEYDOWN, VK_ESCAPE, 1, 0, {0, 0}};
    EXPECT_FALSE(IsDialogMessageA(dialog, &other));
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
    EXPECT_EQ(recording::story(dialog), "activate 0, activate 1");
    EXPECT_EQ(GetFocus(), dialog);
}

TEST_F(Win32Contract, DialogItemNumbersAreSignedOrNot) {
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
}

TEST_F(Win32Contract, PostedMessagesComeInOrderThenTheQuitMessage) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    EXPECT_TRUE(PostMessageA(dialog, WM_USER + 1, 11, 0));
    EXPECT_TRUE(PostMessageA(nullptr, WM_USER + 2, 22, 0));
    PostQuitMessage(7);
    EXPECT_TRUE(PostMessageA(dialog, WM_USER + 3, 33, 0));
    for (const WPARAM wParam : {11, 22, 33}) {
        ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
        EXPECT_EQ(msg.message, WM_USER + wParam / 11);
        EXPECT_EQ(msg.wParam, wParam);
    }
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
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

// A buffer too small is left alone, and the answer is the size needed.
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
    EXPECT_EQ(small, std::string(needed - 1, 'x'));
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
}

} // namespace
