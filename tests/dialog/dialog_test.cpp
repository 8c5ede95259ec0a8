// The main window in Win32 terms: the real template, the real procedure, a
// scripted source. Messages go in as a user's actions cause them; controls are
// read back with the calls any Win32 program would use. What a device shows
// is golden data, the same under Wine and against the Linux layer.
#include "base/texts.h"
#include "ui/app_state.h"
#include "ui/file_chooser.h"
#include "ui/main_dialog.h"
#include "ui/resource.h"

#include "platform/case_table.h"
#include "platform/recording_window.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testing_support::exampleHeader;

const std::string SEPARATOR(1, std::filesystem::path::preferred_separator);

std::vector<std::string> shownMessages;

// The file dialog answers with `answer`, or cancels when it is empty.
std::string answer, lastProposed;
OPENFILENAMEA lastRequest;
BOOL answerFileDialog(OPENFILENAMEA *request, bool) {
    lastRequest = *request;
    lastProposed = request->lpstrFile;
    snprintf(request->lpstrFile, request->nMaxFile, "%s", answer.c_str());
    return !answer.empty();
}

std::string text(HWND window, int id) {
    char buffer[256] = "";
    GetDlgItemTextA(window, id, buffer, sizeof buffer);
    return buffer;
}

// Every value field, check box and list of the window, one per line.
std::string controls(HWND window) {
    std::string out = "caption " + std::string(256, '\0');
    out.resize(size_t(8 + GetWindowTextA(window, out.data() + 8, 248)));
    out += "\n";
    for (int id = IDC_VALUE_FIRST; id <= IDC_VALUE_LAST; ++id)
        out += std::to_string(id) + " " + text(window, id) + "\n";
    std::string boxes;
    for (int id = IDC_BAR_FLAG_FIRST; id <= IDC_BAR_FLAG_LAST; ++id)
        boxes += IsDlgButtonChecked(window, id) == BST_CHECKED ? 'x' : '.';
    out += "boxes " + boxes + " multi " +
           (IsDlgButtonChecked(window, IDC_MULTI_FUNCTION) == BST_CHECKED ? "x" : ".") + "\n";
    for (int id : {IDC_COMMAND_LIST, IDC_STATUS_LIST, IDC_HEX_DUMP}) {
        out += std::to_string(id);
        int i = 0;
        for (const std::string &line : recording::listLines(window, id))
            out += (i++ % 8 == 0 ? "\n " : " ") + line;
        out += "\n";
    }
    return out;
}

// Handles what is waiting; true once the quit message has come.
bool pump() {
    MSG msg;
    bool quit = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            quit = true;
        else
            DispatchMessageA(&msg);
    }
    return quit;
}

struct DialogTest : testing::Test {
    testing_support::FakeSource source;
    HWND window = nullptr;
    std::string folder = testing_support::tempPath("cwd");
    char previousFolder[512] = "";

    void SetUp() override {
        shownMessages.clear();
        answer.clear();
        messageBoxHook = [](HWND, const char *text) { shownMessages.push_back(text); };
        fileDialogRunner = answerFileDialog;
        appChannel = ConfigChannel{};
        appChannel.source = &source;
        // Each test starts in an empty folder: no pcidevs.txt unless it writes one.
        std::filesystem::create_directories(folder);
        GetCurrentDirectoryA(sizeof previousFolder, previousFolder);
        SetCurrentDirectoryA(folder.c_str());
    }
    void TearDown() override {
        close();
        SetCurrentDirectoryA(previousFolder);
        std::filesystem::remove_all(folder);
    }
    void open() {
        window = createMainWindow(GetModuleHandleA(nullptr));
        ASSERT_NE(window, nullptr);
    }
    void close() {
        if (window != nullptr)
            DestroyWindow(window);
        window = nullptr;
        pump();
        appChannel = ConfigChannel{};
        appChannel.source = &source;
    }
    // The user's arrow keys on the up-down control, which asks the window
    // about each step: Up for a positive count, Down for a negative one.
    void step(int count) {
        for (int i = 0; i < abs(count); ++i)
            for (UINT message : {WM_KEYDOWN, WM_KEYUP})
                SendDlgItemMessageA(window, IDC_UPDOWN, message, count > 0 ? VK_UP : VK_DOWN, 0);
    }
};

TEST_F(DialogTest, WhatADeviceShows) {
    source.add(0, makeSlot(9, 0), exampleHeader());
    // Every kind of base address register; the fields that stay empty at 0.
    ConfigHeader other = exampleHeader();
    const uint32_t bars[6] = {0x0000E001, 0xE0000000, 0xFEBF0004, 0x000C000A, 0xD000000C, 0};
    std::copy(bars, bars + 6, other.Bar);
    other.SubsystemVendorId = other.SubsystemId = other.CacheLineSize = other.LatencyTimer = 0;
    other.MaxLat = other.MinGnt = other.InterruptPin = other.CapabilitiesPtr = 0;
    other.HeaderType = 0x80;
    other.ExpansionRom = 0xC0000001;
    other.CisPointer = 0x403;
    source.add(0, makeSlot(31, 7), other);
    ConfigHeader bits = exampleHeader(); // every bit name, in the lists' order
    bits.Command = bits.Status = 0xFFFF;
    source.add(1, 0, bits);
    open();
    std::string shown = controls(window);
    for (int device = 2; device <= 3; ++device) {
        step(1);
        shown += "\n" + controls(window);
    }
    // Steps past either end are not taken; each one taken reads afresh.
    for (int count : {1, -3}) {
        const int readsBefore = source.reads;
        step(count);
        shown += "\nstep " + std::to_string(count) + ": at " + text(window, IDC_CURRENT_DEVICE) +
                 ", " + std::to_string(source.reads - readsBefore) + " read";
    }
    testing_support::expectGolden("dialog-devices.txt", shown);
    EXPECT_TRUE(shownMessages.empty());
}

// Input: what the user does, in turn: Tab, Back (what Shift-Tab makes the
// dialog manager send), Enter and Space as the message loop hands them to the
// dialog manager, Window (the focus on the window itself), Away (a box takes
// the activation for a while); made: the control with the focus afterwards
// and the file a pressed report button proposed, or that the run ended.
TEST_F(DialogTest, TheKeyboardMovesTheFocusAndPressesTheFocusedButton) {
    source.add(0, 0, exampleHeader());
    testing_support::expectCaseTable("dialog-focus.txt", [this](const std::string &input) {
        open();
        lastProposed.clear();
        std::istringstream acts(input);
        for (std::string a; acts >> a;) {
            if (a == "Back") {
                SendMessageA(window, WM_NEXTDLGCTL, 1, 0);
            } else if (a == "Window") {
                SetFocus(window);
            } else if (a == "Away") {
                SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
                SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
            } else {
                const WPARAM vk = a == "Tab" ? VK_TAB : a == "Enter" ? VK_RETURN : VK_SPACE;
                EXPECT_TRUE(a == "Tab" || a == "Enter" || a == "Space") << a;
                MSG down = {GetFocus(), WM_KEYDOWN, vk, 1, 0, {0, 0}};
                MSG up = {GetFocus(), WM_KEYUP, vk, LPARAM(0xC0000001u), 0, {0, 0}};
                IsDialogMessageA(window, &down);
                IsDialogMessageA(window, &up);
            }
        }
        const int focus = GetDlgCtrlID(GetFocus());
        const std::string made = pump() ? "ends" : "focus " + std::to_string(focus);
        close();
        return lastProposed.empty()
                   ? made
                   : made + ", proposed " + lastProposed.substr(lastProposed.rfind(SEPARATOR) + 1);
    });
}

// After a failed read nothing of the previous device stays: whichever boxes
// it had checked (each pattern checks other columns of all six rows), the
// window is the same, every field empty but the function's place and count.
TEST_F(DialogTest, FailedReadEmptiesEveryFieldAndBoxAndNamesTheFunction) {
    std::string shown;
    for (uint32_t bar : {0x0000E001u, 0xE0000000u, 0xD000000Cu}) {
        ConfigHeader h = exampleHeader();
        std::fill(h.Bar, h.Bar + 6, bar);
        h.HeaderType = 0x80;
        source.add(0, makeSlot(1, 0), h);
        source.add(2, makeSlot(3, 1), exampleHeader());
        open();
        source.failing = true;
        step(1);
        source.failing = false;
        EXPECT_EQ(shownMessages.back(),
                  "Unable to obtain PCI information for\nBus: 2,  Device: 3,  Function: 1");
        if (shown.empty())
            shown = controls(window);
        EXPECT_EQ(controls(window), shown) << std::hex << bar;
        close();
    }
    testing_support::expectGolden("dialog-failed-read.txt", shown);
}

// Input: the lines of pcidevs.txt, "|" between them, or "none" (then the
// Open dialog is offered, and cancelled); made: the vendor, subsystem vendor
// and subsystem names shown, and the file the Open dialog proposed.
TEST_F(DialogTest, NamesFromTheDatabaseAndTheRevisionInTheFirstFreeSubsystemLine) {
    source.add(0, makeSlot(9, 0), exampleHeader());
    testing_support::expectCaseTable("dialog-names.txt", [this](const std::string &input) {
        std::string database = input + "|";
        std::replace(database.begin(), database.end(), '|', '\n');
        std::filesystem::remove("pcidevs.txt");
        if (input != "none")
            testing_support::writeBytes("pcidevs.txt", database);
        lastProposed.clear();
        open();
        std::string made;
        for (int id : {IDC_VENDOR_NAME, IDC_SUBSYSTEM_VENDOR_NAME, IDC_SUBSYSTEM_NAME})
            made += (made.empty() ? "\"" : ", \"") + text(window, id) + "\"";
        close();
        if (lastProposed.empty())
            return made;
        const bool named = lastProposed == folder + SEPARATOR + "pcidevs.txt";
        return made + "; offered " + (named ? "pcidevs.txt here" : lastProposed) + " flags " +
               std::to_string(lastRequest.Flags);
    });
}

// Input: the button pressed (Dump or Report), and the file the Save dialog
// answers with (none: it is cancelled; full: a device that takes nothing);
// made: the file proposed, the dialog's flags, the functions the report
// holds and what the window said.
TEST_F(DialogTest, ReportButtonsWriteTheConfirmedFileOrSayWhy) {
    source.add(0, makeSlot(9, 0), exampleHeader());
    source.add(1, 0, exampleHeader());
    open();
#ifdef _WIN32
    const std::string full = "Z:\\dev\\full"; // Wine maps Z: to the host's root
#else
    const std::string full = "/dev/full";
#endif
    testing_support::expectCaseTable("dialog-reports.txt", [&](const std::string &input) {
        char button[8] = "", file[64] = "";
        sscanf(input.c_str(), "%7s %63s", button, file);
        answer = std::string(file) == "none"   ? ""
                 : std::string(file) == "full" ? full
                                               : folder + SEPARATOR + file;
        std::replace(answer.begin(), answer.end(), '/', SEPARATOR[0]);
        shownMessages.clear();
        SendMessageA(window, WM_COMMAND, std::string(button) == "Dump" ? IDC_DUMP : IDC_PCI_REPORT,
                     0);
        std::string made = "proposed " + lastProposed.substr(folder.size() + 1) + ", flags " +
                           std::to_string(lastRequest.Flags);
        const std::string report = answer != full ? testing_support::readBytes(answer) : "";
        for (size_t at = 0; (at = report.find("PCI Bus #", at)) != std::string::npos; ++at)
            made += "; " + report.substr(at, report.find('\r', at) - at);
        for (std::string said : shownMessages) {
            said.replace(said.find('\'') + 1, answer.size(), file);
            made += "; said " + said;
        }
        return made;
    });
}

TEST_F(DialogTest, ExitAndCloseEndTheLoopAndCloseTheChannelOnce) {
    source.add(0, 0, exampleHeader());
    for (UINT message : {UINT(WM_COMMAND), UINT(WM_CLOSE)}) {
        source.closes = 0;
        open();
        PostMessageA(window, message, message == WM_COMMAND ? IDC_EXIT : 0, 0);
        EXPECT_TRUE(pump()) << message << ": no quit message";
        EXPECT_EQ(source.closes, 1) << message;
        if (message == WM_CLOSE)
            window = nullptr; // the default procedure destroyed it
        close();
    }
}

TEST_F(DialogTest, NoDeviceClosesAtOnceAndNothingFoundShowsNothing) {
    appChannel.source = nullptr; // nothing to open, like a missing driver
    open();
    EXPECT_EQ(shownMessages, std::vector<std::string>{MESSAGE_NO_DEVICE});
    EXPECT_TRUE(pump());
    close();
    shownMessages.clear();
    open();
    EXPECT_EQ(text(window, IDC_TOTAL_DEVICES), "0");
    EXPECT_EQ(text(window, IDC_CURRENT_DEVICE), "1");
    EXPECT_EQ(text(window, IDC_VENDOR_ID), "");
    EXPECT_EQ(showDevice(window, 0), 0);
    EXPECT_TRUE(shownMessages.empty());
}

} // namespace
