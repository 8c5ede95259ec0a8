// The main window in Win32 terms: the real template, the real procedure, a
// scripted source. Messages go in as a user's actions cause them; controls are
// read back with the calls any Win32 program would use. What a device shows
// is golden data, the same under Wine and against the Linux layer.
#include "base/texts.h"
#include "ui/app_state.h"
#include "ui/file_chooser.h"
#include "ui/main_dialog.h"
#include "ui/resource.h"

#include "golden.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing_support::exampleHeader;

#ifdef _WIN32
const std::string SEPARATOR = "\\";
#else
const std::string SEPARATOR = "/";
#endif

std::vector<std::string> shownMessages;
void recordMessage(HWND, const char *text) {
    shownMessages.push_back(text);
}

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
        const LRESULT count = SendDlgItemMessageA(window, id, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            char line[256] = "";
            SendDlgItemMessageA(window, id, LB_GETTEXT, WPARAM(i), LPARAM(line));
            out += std::string(i % 8 == 0 ? "\n " : " ") + line;
        }
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
        messageBoxHook = recordMessage;
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
    // What the up-down control sends when the user steps by delta; like the
    // control, it then moves within its range.
    void step(int delta) {
        NMUPDOWN change = {};
        change.hdr.hwndFrom = GetDlgItem(window, IDC_UPDOWN);
        change.hdr.idFrom = IDC_UPDOWN;
        change.hdr.code = UINT(UDN_DELTAPOS);
        change.iPos = int(SendDlgItemMessageA(window, IDC_UPDOWN, UDM_GETPOS, 0, 0) & 0xFFFF);
        change.iDelta = delta;
        SendMessageA(window, WM_NOTIFY, IDC_UPDOWN, LPARAM(&change));
        if (change.iPos + delta >= 1 && change.iPos + delta <= appTable.count)
            SendDlgItemMessageA(window, IDC_UPDOWN, UDM_SETPOS, 0,
                                MAKELPARAM(change.iPos + delta, 0));
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
    testing_support::expectGolden("dialog-devices.txt", shown);
    EXPECT_TRUE(shownMessages.empty());
}

TEST_F(DialogTest, StepsInsideTheRangeOnlyAndReadAfresh) {
    for (unsigned d = 0; d < 3; ++d) {
        ConfigHeader h = exampleHeader();
        h.DeviceId = uint16_t(0x100 + d);
        source.add(0, makeSlot(d, 0), h);
    }
    open();
    const struct {
        int delta;
        bool taken;
        const char *current, *deviceId;
    } steps[] = {
        {-1, false, "1", "0100h"}, {1, true, "2", "0101h"},  {1, true, "3", "0102h"},
        {1, false, "3", "0102h"},  {-2, true, "1", "0100h"}, {5, false, "1", "0100h"},
    };
    for (const auto &s : steps) {
        const int readsBefore = source.reads;
        step(s.delta);
        EXPECT_EQ(text(window, IDC_CURRENT_DEVICE), s.current) << s.delta;
        EXPECT_EQ(text(window, IDC_DEVICE_ID), s.deviceId) << s.delta;
        EXPECT_EQ(source.reads - readsBefore, s.taken ? 1 : 0) << "every shown step reads again";
    }
}

// What the user does with the keyboard: keys as the message loop hands them
// to the dialog manager, and a box taking the activation for a while.
enum class Act { Tab, Back, Enter, Space, FromWindow, Away };

void act(HWND window, Act a) {
    const auto key = [window](WPARAM vk) {
        MSG down = {GetFocus(), WM_KEYDOWN, vk, 1, 0, {0, 0}};
        MSG up = {GetFocus(), WM_KEYUP, vk, LPARAM(0xC0000001u), 0, {0, 0}};
        IsDialogMessageA(window, &down);
        IsDialogMessageA(window, &up);
    };
    switch (a) {
    case Act::Tab: key(VK_TAB); break;
    case Act::Back: // what Shift-Tab makes the dialog manager send
        SendMessageA(window, WM_NEXTDLGCTL, 1, 0);
        break;
    case Act::Enter: key(VK_RETURN); break;
    case Act::Space: key(VK_SPACE); break;
    case Act::FromWindow: SetFocus(window); break;
    case Act::Away:
        SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
        SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
        break;
    }
}

struct FocusCase {
    const char *name;
    std::vector<Act> acts;
    int focus;            // the control with the focus afterwards
    const char *proposed; // the file a pressed report button proposed, or ""
    bool quits;
};

TEST_F(DialogTest, TheKeyboardMovesTheFocusAndPressesTheFocusedButton) {
    source.add(0, 0, exampleHeader());
    const FocusCase cases[] = {
        {"Exit has the focus at the start", {}, IDC_EXIT, "", false},
        {"Tab: Dump->", {Act::Tab}, IDC_DUMP, "", false},
        {"Tab again: PCI Report", {Act::Tab, Act::Tab}, IDC_PCI_REPORT, "", false},
        {"round to Exit, past the disabled box",
         {Act::Tab, Act::Tab, Act::Tab},
         IDC_EXIT,
         "",
         false},
        {"back from Exit to PCI Report", {Act::Back}, IDC_PCI_REPORT, "", false},
        {"from the window itself Tab goes to the first stop",
         {Act::FromWindow, Act::Tab},
         IDC_EXIT,
         "",
         false},
        {"and back to the last", {Act::FromWindow, Act::Back}, IDC_PCI_REPORT, "", false},
        {"Enter presses the focused button", {Act::Tab, Act::Enter}, IDC_DUMP, "pci-1.txt", false},
        {"so does Space", {Act::Tab, Act::Tab, Act::Space}, IDC_PCI_REPORT, "pci-info.txt", false},
        {"the focus is back once a box has given back the activation",
         {Act::Tab, Act::Away},
         IDC_DUMP,
         "",
         false},
        {"Enter on Exit ends the run", {Act::Enter}, 0, "", true},
    };
    for (const FocusCase &c : cases) {
        open();
        lastProposed.clear();
        for (Act a : c.acts)
            act(window, a);
        EXPECT_EQ(pump(), c.quits) << c.name;
        if (!c.quits) {
            EXPECT_EQ(GetDlgCtrlID(GetFocus()), c.focus) << c.name;
        }
        EXPECT_EQ(lastProposed.substr(lastProposed.rfind(SEPARATOR) + 1), c.proposed) << c.name;
        DestroyWindow(window);
        window = nullptr;
        pump();
    }
}

// After a failed read nothing of the previous device stays: whichever boxes
// it had checked (each pattern checks other columns of all six rows).
TEST_F(DialogTest, FailedReadEmptiesEveryFieldAndBoxAndNamesTheFunction) {
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
        std::string expected = "caption " APP_TITLE "\n";
        for (int id = IDC_VALUE_FIRST; id <= IDC_VALUE_LAST; ++id) {
            const char *kept = id == IDC_BUS_NUMBER                                  ? "2"
                               : id == IDC_DEVICE_NUMBER                             ? "3"
                               : id == IDC_FUNCTION_NUMBER                           ? "1"
                               : id == IDC_TOTAL_DEVICES || id == IDC_CURRENT_DEVICE ? "2"
                                                                                     : "";
            expected += std::to_string(id) + " " + kept + "\n";
        }
        expected += "boxes " + std::string(30, '.') + " multi .\n134\n133\n130\n";
        EXPECT_EQ(controls(window), expected) << std::hex << bar;
        close();
    }
}

TEST_F(DialogTest, RevisionTextTakesTheFirstFreeSubsystemLine) {
    const struct {
        const char *database;
        const char *subVendor, *subsystem;
    } cases[] = {
        {"V 1234 Vend\nD 5678 Dev\nR 10 Stepping C\n", "(Rev 16) Stepping C", ""},
        {"V 1234 Vend\nD 5678 Dev\nO 1234 Boards\nR 10 Stepping C\n", "Boards",
         "(Rev 16) Stepping C"},
        {"V 1234 Vend\nD 5678 Dev\nO 1234 Boards\nS 0001 Board\nR 10 Stepping C\n", "Boards",
         "Board"},
    };
    source.add(0, makeSlot(9, 0), exampleHeader());
    for (const auto &c : cases) {
        testing_support::writeBytes("pcidevs.txt", c.database);
        open();
        EXPECT_EQ(text(window, IDC_VENDOR_NAME), "Vend");
        EXPECT_EQ(text(window, IDC_SUBSYSTEM_VENDOR_NAME), c.subVendor) << c.database;
        EXPECT_EQ(text(window, IDC_SUBSYSTEM_NAME), c.subsystem) << c.database;
        close();
    }
    std::filesystem::remove("pcidevs.txt");
    open(); // the Open dialog is offered, and cancelled
    EXPECT_EQ(lastRequest.Flags, DWORD(OFN_READONLY));
    EXPECT_EQ(lastProposed, folder + SEPARATOR + "pcidevs.txt");
    EXPECT_EQ(text(window, IDC_VENDOR_NAME), "Unknown");
}

TEST_F(DialogTest, ReportButtonsWriteTheConfirmedFileOrSayWhy) {
    source.add(0, makeSlot(9, 0), exampleHeader());
    ConfigHeader second = exampleHeader();
    second.DeviceId = 0x9999;
    source.add(1, 0, second);
    open();
    answer = folder + SEPARATOR + "chosen.txt";
    SendMessageA(window, WM_COMMAND, IDC_DUMP, 0);
    EXPECT_EQ(lastRequest.Flags, DWORD(OFN_OVERWRITEPROMPT));
    EXPECT_EQ(lastProposed, folder + SEPARATOR + "pci-1.txt");
    const std::string report = testing_support::readBytes(answer);
    EXPECT_NE(report.find("PCI Bus #0,  PCI Device #9,  Function #0\r\n"), std::string::npos);
    EXPECT_EQ(report.find("9999h"), std::string::npos) << "the one device only";
    SendMessageA(window, WM_COMMAND, IDC_PCI_REPORT, 0);
    EXPECT_EQ(lastProposed, folder + SEPARATOR + "pci-info.txt");
    EXPECT_NE(testing_support::readBytes(answer).find("9999h  Device ID"), std::string::npos);

#ifdef _WIN32
    const std::string full = "Z:\\dev\\full"; // Wine maps Z: to the host's root
#else
    const std::string full = "/dev/full";
#endif
    const struct {
        std::string answer, message;
    } failures[] = {
        {"", ""}, // cancelled: nothing said
        {folder + SEPARATOR + "no-such-folder" + SEPARATOR + "r.txt",
         "Unable to open '" + folder + SEPARATOR + "no-such-folder" + SEPARATOR + "r.txt'"},
        {full, "Unable to write '" + full + "'"},
    };
    for (const auto &f : failures) {
        shownMessages.clear();
        answer = f.answer;
        SendMessageA(window, WM_COMMAND, IDC_PCI_REPORT, 0);
        EXPECT_EQ(shownMessages, f.message.empty() ? std::vector<std::string>{}
                                                   : std::vector<std::string>{f.message});
    }
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
