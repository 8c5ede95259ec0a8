// The Win32 contract that the application relies on, checked call by call.
// Built twice from this source: under Wine, where Windows' own answers are
// the reference, and against the Linux layer, which must give the same.
#include "case_table.h"
#include "recording_window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <map>
#include <sstream>
#include <string>

namespace {

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
        DestroyWindow(dialog);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    LRESULT to(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendDlgItemMessageA(dialog, id, message, wParam, lParam);
    }

    // Lines added to the sorted list: what each LB_ADDSTRING answered, then
    // the list's lines.
    std::string list(std::istringstream &in) {
        std::string line, made;
        while (std::getline(in >> std::ws, line, '|'))
            made += std::to_string(to(IDC_HEX_DUMP, LB_ADDSTRING, 0, LPARAM(line.c_str()))) + " ";
        for (const std::string &shown : recording::listLines(dialog, IDC_HEX_DUMP))
            made += "|" + shown;
        return made + "|";
    }

    // UDM_SETBASE with the bases in turn: the base before and after.
    std::string base(std::istringstream &in) {
        std::string made;
        for (WPARAM base; in >> base;) {
            const LRESULT previous = to(IDC_UPDOWN, UDM_SETBASE, base);
            made += std::string(made.empty() ? "" : "; ") + "was " + std::to_string(previous) +
                    ", now " + std::to_string(to(IDC_UPDOWN, UDM_GETBASE));
        }
        return made;
    }

    // A range, a position and either "set" and a position or an arrow key
    // (Up or Down), then what the parent does with UDN_DELTAPOS: "refused"
    // answers it with non-zero, "plus N" adds N to iDelta.
    std::string upDown(const std::string &input) {
        int lower = 0, upper = 0, start = 0;
        char word[8] = "";
        sscanf(input.c_str(), "updown %d..%d at %d %7s", &lower, &upper, &start, word);
        const int number = atoi(input.c_str() + input.rfind(' ') + 1);
        to(IDC_UPDOWN, UDM_SETRANGE, 0, MAKELPARAM(upper, lower));
        to(IDC_UPDOWN, UDM_SETPOS, 0, MAKELPARAM(start, 0));
        received.clear();
        std::string made;
        if (std::string(word) == "set") {
            made = "was " +
                   std::to_string(short(to(IDC_UPDOWN, UDM_SETPOS, 0, MAKELPARAM(number, 0))));
        } else {
            const WPARAM vk = std::string(word) == "Up" ? VK_UP : VK_DOWN;
            recording::notifyAnswer = input.find("refused") != std::string::npos;
            recording::changeDelta = input.find("plus") != std::string::npos ? number : 0;
            to(IDC_UPDOWN, WM_KEYDOWN, vk);
            to(IDC_UPDOWN, WM_KEYUP, vk);
            made = recording::story(dialog);
        }
        const LRESULT range = to(IDC_UPDOWN, UDM_GETRANGE);
        return made + ", now " + std::to_string(recording::position(dialog)) + " in " +
               std::to_string(HIWORD(range)) + ".." + std::to_string(LOWORD(range));
    }

    // The message (keydown, char or syschar) and its key to IsDialogMessageA
    // on the visible dialog, with "focus" and the control given the focus
    // first, "default" and the answer to DM_GETDEFID: what the dialog
    // manager told and asked the procedure, and where the focus is then.
    std::string key(const std::string &input) {
        char kind[16] = "", key[16] = "";
        int focus = 0, defaultId = 0;
        sscanf(input.c_str(), "key %15s %15s focus %d default %d", kind, key, &focus, &defaultId);
        const std::string k = key, m = kind;
        const std::map<std::string, WPARAM> named = {
            {"Esc", VK_ESCAPE}, {"Enter", VK_RETURN}, {"Tab", VK_TAB}};
        const WPARAM vk = named.count(k) != 0 ? named.at(k) : 0;
        const UINT message = m == "keydown" ? WM_KEYDOWN : m == "char" ? WM_CHAR : WM_SYSCHAR;
        HWND target = focus != 0 ? GetDlgItem(dialog, focus) : dialog;
        MSG msg = {target, message, vk != 0 ? vk : WPARAM(key[0]), 1, 0, {0, 0}};
        SetFocus(msg.hwnd);
        received.clear();
        recording::defaultAnswer = defaultId != 0 ? MAKELRESULT(defaultId, DC_HASDEFID) : 0;
        const std::string taken = IsDialogMessageA(dialog, &msg) ? "" : "not taken, ";
        return taken + recording::story(dialog) + "; focus " +
               std::to_string(GetDlgCtrlID(GetFocus()));
    }
};

// Each case on a fresh dialog, but the keys on one shown dialog: list,
// updown, base or key, then its input.
TEST_F(Win32Contract, CallByCall) {
    bool shown = false;
    expectCaseTable("win32-contract.txt", [&](const std::string &input) {
        std::istringstream in(input);
        std::string verb;
        in >> verb;
        if (verb != "key" || !shown) { // showing a window takes Windows a while
            DestroyWindow(dialog);
            dialog = recording::createDialog();
            shown = verb == "key";
            ShowWindow(dialog, shown ? SW_SHOW : SW_HIDE);
        }
        return verb == "list"     ? list(in)
               : verb == "updown" ? upDown(input)
               : verb == "base"   ? base(in)
               : verb == "key"    ? key(input)
                                  : "no such call";
    });
}

TEST_F(Win32Contract, MnemonicsAreOnlyForAVisibleDialogAndKeysOnlyForItsOwn) {
    MSG hidden = {dialog, WM_SYSCHAR, 'd', 1, 0, {0, 0}};
    IsDialogMessageA(dialog, &hidden);
    EXPECT_EQ(recording::story(dialog), "nothing");
    MSG other = {nullptr, WM_KEYDOWN, VK_ESCAPE, 1, 0, {0, 0}};
    EXPECT_FALSE(IsDialogMessageA(dialog, &other));
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
    const tm local = *localtime(&now);
    EXPECT_EQ(t.wYear, local.tm_year + 1900);
    EXPECT_EQ(t.wMonth, local.tm_mon + 1);
    EXPECT_EQ(t.wDay, local.tm_mday);
    EXPECT_EQ(t.wDayOfWeek, local.tm_wday);
}

} // namespace
