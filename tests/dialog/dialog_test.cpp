// The main window in Win32 terms: the real template, the real procedure, a
// scripted source. Messages go in as a user's actions cause them; controls are
// read back with the calls any Win32 program would use.
#include "report/report.h"
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

using testing_support::FakeSource;

// The separator of this system's paths, with which the dialog names files.
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
std::string answer;
OPENFILENAMEA lastRequest;
std::string lastProposed;
bool lastSave = false;
BOOL answerFileDialog(OPENFILENAMEA *request, bool save) {
    lastRequest = *request;
    lastProposed = request->lpstrFile;
    lastSave = save;
    if (answer.empty())
        return FALSE;
    snprintf(request->lpstrFile, request->nMaxFile, "%s", answer.c_str());
    return TRUE;
}

std::string text(HWND window, int id) {
    char buffer[256] = "";
    GetDlgItemTextA(window, id, buffer, sizeof buffer);
    return buffer;
}

std::vector<std::string> lines(HWND window, int id) {
    std::vector<std::string> out;
    const LRESULT count = SendDlgItemMessageA(window, id, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char buffer[256] = "";
        SendDlgItemMessageA(window, id, LB_GETTEXT, WPARAM(i), LPARAM(buffer));
        out.push_back(buffer);
    }
    return out;
}

bool checked(HWND window, int id) {
    return IsDlgButtonChecked(window, id) == BST_CHECKED;
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
    FakeSource source;
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
        if (window != nullptr)
            DestroyWindow(window);
        pump();
        SetCurrentDirectoryA(previousFolder);
        std::filesystem::remove_all(folder);
    }
    void open() {
        window = createMainWindow(GetModuleHandleA(nullptr));
        ASSERT_NE(window, nullptr);
    }
    // What the up-down control sends when the user steps by delta; like the
    // control, it then moves within its range.
    LRESULT step(int delta) {
        NMUPDOWN change = {};
        change.hdr.hwndFrom = GetDlgItem(window, IDC_UPDOWN);
        change.hdr.idFrom = IDC_UPDOWN;
        change.hdr.code = UINT(UDN_DELTAPOS);
        change.iPos = int(SendDlgItemMessageA(window, IDC_UPDOWN, UDM_GETPOS, 0, 0) & 0xFFFF);
        change.iDelta = delta;
        const LRESULT result = SendMessageA(window, WM_NOTIFY, IDC_UPDOWN, LPARAM(&change));
        if (result == 0 && change.iPos + delta >= 1 && change.iPos + delta <= appTable.count)
            SendDlgItemMessageA(window, IDC_UPDOWN, UDM_SETPOS, 0,
                                MAKELPARAM(change.iPos + delta, 0));
        return result;
    }
};

TEST_F(DialogTest, FirstDeviceShowsEveryField) {
    source.add(0, makeSlot(9, 0), exampleHeader());
    open();
    const struct {
        int id;
        const char *text;
    } fields[] = {
        {IDC_BUS_NUMBER, "0"},
        {IDC_DEVICE_NUMBER, "9"},
        {IDC_FUNCTION_NUMBER, "0"},
        {IDC_VENDOR_ID, "1234h"},
        {IDC_DEVICE_ID, "5678h"},
        {IDC_SUBSYSTEM_VENDOR_ID, "1234h"},
        {IDC_SUBSYSTEM_ID, "0001h"},
        {IDC_VENDOR_NAME, "Unknown"},
        {IDC_DEVICE_NAME, ""},
        {IDC_SUBSYSTEM_VENDOR_NAME, ""},
        {IDC_SUBSYSTEM_NAME, ""},
        {IDC_BASE_CLASS, "02h"},
        {IDC_SUB_CLASS, "00h"},
        {IDC_PROG_IF, "00h"},
        {IDC_BASE_CLASS_NAME, "Network Controller"},
        {IDC_SUB_CLASS_NAME, "Ethernet"},
        {IDC_PROG_IF_NAME, ""},
        {IDC_REVISION_ID, "16"},
        {IDC_CACHE_LINE, "32"},
        {IDC_LATENCY_TIMER, "64"},
        {IDC_MAX_LATENCY, "1000"},
        {IDC_MIN_GRANT, "500"},
        {IDC_INTERRUPT_LINE, "11"},
        {IDC_INTERRUPT_PIN, "A"},
        {IDC_CAPABILITIES_PTR, "DCh"},
        {IDC_BIST, "00h"},
        {IDC_BAR_ADDRESS_FIRST, "FEBF0000"},
        {IDC_BAR_LENGTH_FIRST, "?"},
        {IDC_BAR_ADDRESS_FIRST + 1, "E000"},
        {IDC_BAR_LENGTH_FIRST + 1, "?"},
        {IDC_BAR_ADDRESS_FIRST + 2, ""},
        {IDC_BAR_LENGTH_FIRST + 2, ""},
        {IDC_ROM_ADDRESS, ""},
        {IDC_ROM_LENGTH, ""},
        {IDC_CIS_POINTER, ""},
        {IDC_CIS_LENGTH, ""},
        {IDC_CURRENT_DEVICE, "1"},
        {IDC_TOTAL_DEVICES, "1"},
    };
    for (const auto &f : fields)
        EXPECT_EQ(text(window, f.id), f.text) << "control " << f.id;
    EXPECT_EQ(lines(window, IDC_COMMAND_LIST),
              (std::vector<std::string>{"Bus Master", "I/O Space", "Memory Space"}));
    EXPECT_EQ(
        lines(window, IDC_STATUS_LIST),
        (std::vector<std::string>{"Capability List", "Fast Back-To-Back", "Medium Devsel Speed"}));
    const auto dump = lines(window, IDC_HEX_DUMP);
    ASSERT_EQ(dump.size(), 64u);
    EXPECT_EQ(dump[0], "00:34127856");
    EXPECT_EQ(dump[4], "10:0000BFFE");
    EXPECT_EQ(dump[55], "DC:01000206");
    EXPECT_EQ(dump[63], "FC:00000000");
    EXPECT_FALSE(checked(window, IDC_MULTI_FUNCTION));
    std::string caption(64, '\0');
    caption.resize(size_t(GetWindowTextA(window, caption.data(), int(caption.size()))));
    EXPECT_EQ(caption, APP_TITLE);
    EXPECT_TRUE(shownMessages.empty());
}

TEST_F(DialogTest, StepsInsideTheRangeOnlyAndReadAfresh) {
    for (unsigned d = 0; d < 3; ++d) {
        ConfigHeader h = exampleHeader();
        h.DeviceId = uint16_t(0x100 + d);
        source.add(0, makeSlot(d, 0), h);
    }
    open();
    EXPECT_EQ(text(window, IDC_TOTAL_DEVICES), "3");
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

// One base address register and the row of five boxes it must check.
struct BarRow {
    uint32_t raw;
    const char *address;
    bool io, mem, b32, b64, pre;
};

TEST_F(DialogTest, BarGridPerKind) {
    const BarRow rows[6] = {
        {0x0000E001, "E000", true, false, false, false, false},
        {0xE0000000, "E0000000", false, true, true, false, false},
        {0xFEBF0004, "FEBF0000", false, true, false, true, false},
        {0x000C0002, "C0000", false, true, false, false, false},
        {0xD000000C, "D0000000", false, true, false, true, true},
        {0x00000000, "", false, false, false, false, false},
    };
    ConfigHeader h = exampleHeader();
    for (int i = 0; i < 6; ++i)
        h.Bar[i] = rows[i].raw;
    source.add(0, 0, h);
    open();
    for (int i = 0; i < 6; ++i) {
        const BarRow &r = rows[i];
        EXPECT_EQ(text(window, IDC_BAR_ADDRESS_FIRST + i), r.address) << i;
        EXPECT_EQ(text(window, IDC_BAR_LENGTH_FIRST + i), r.raw ? "?" : "") << i;
        const bool want[5] = {r.io, r.mem, r.b32, r.b64, r.pre};
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(checked(window, IDC_BAR_FLAG(k, i)), want[k])
                << "row " << i << " column " << k;
    }
}

TEST_F(DialogTest, ZeroFieldsStayEmpty) {
    ConfigHeader h = exampleHeader();
    h.SubsystemVendorId = h.SubsystemId = 0;
    h.CacheLineSize = h.LatencyTimer = h.MaxLat = h.MinGnt = 0;
    h.InterruptPin = 0; // hides the line too
    h.CapabilitiesPtr = 0;
    h.HeaderType = 0x80;
    h.ExpansionRom = 0xC0000001;
    h.CisPointer = 0x403;
    source.add(0, 0, h);
    open();
    for (int id : {IDC_SUBSYSTEM_VENDOR_ID, IDC_SUBSYSTEM_ID, IDC_CACHE_LINE, IDC_LATENCY_TIMER,
                   IDC_MAX_LATENCY, IDC_MIN_GRANT, IDC_INTERRUPT_PIN, IDC_INTERRUPT_LINE})
        EXPECT_EQ(text(window, id), "") << id;
    EXPECT_EQ(text(window, IDC_CAPABILITIES_PTR), "00h");
    EXPECT_EQ(text(window, IDC_ROM_ADDRESS), "C0000001");
    EXPECT_EQ(text(window, IDC_ROM_LENGTH), "?");
    EXPECT_EQ(text(window, IDC_CIS_POINTER), "403");
    EXPECT_EQ(text(window, IDC_CIS_LENGTH), "?");
    EXPECT_TRUE(checked(window, IDC_MULTI_FUNCTION));
    EXPECT_EQ(lines(window, IDC_COMMAND_LIST).size(), 3u);
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
        DestroyWindow(window);
        window = nullptr;
        pump();
    }
}

TEST_F(DialogTest, MissingDatabaseOffersTheOpenDialog) {
    source.add(0, 0, exampleHeader());
    open(); // the fake dialog cancels
    EXPECT_FALSE(lastSave);
    EXPECT_EQ(lastRequest.Flags, DWORD(OFN_READONLY));
    const std::string proposed = lastProposed;
    EXPECT_EQ(proposed.substr(proposed.size() - 12), SEPARATOR + "pcidevs.txt");
    EXPECT_EQ(text(window, IDC_VENDOR_NAME), "Unknown");
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

TEST_F(DialogTest, FailedReadEmptiesTheFieldsAndNamesTheFunction) {
    source.add(0, makeSlot(1, 0), exampleHeader());
    source.add(2, makeSlot(3, 1), exampleHeader());
    open();
    source.failing = true;
    EXPECT_EQ(step(1), 0);
    ASSERT_EQ(shownMessages.size(), 1u);
    EXPECT_EQ(shownMessages[0],
              "Unable to obtain PCI information for\nBus: 2,  Device: 3,  Function: 1");
    EXPECT_EQ(text(window, IDC_CURRENT_DEVICE), "2");
    EXPECT_EQ(text(window, IDC_BUS_NUMBER), "2");
    EXPECT_EQ(text(window, IDC_DEVICE_NUMBER), "3");
    EXPECT_EQ(text(window, IDC_FUNCTION_NUMBER), "1");
    for (int id : {IDC_VENDOR_ID, IDC_DEVICE_ID, IDC_VENDOR_NAME, IDC_BASE_CLASS_NAME,
                   IDC_BAR_ADDRESS_FIRST, IDC_INTERRUPT_PIN, IDC_BIST})
        EXPECT_EQ(text(window, id), "") << id;
    EXPECT_TRUE(lines(window, IDC_HEX_DUMP).empty());
    EXPECT_TRUE(lines(window, IDC_STATUS_LIST).empty());
    EXPECT_FALSE(checked(window, IDC_BAR_FLAG(BAR_COLUMN_MEM, 0)));
    EXPECT_EQ(text(window, IDC_TOTAL_DEVICES), "2");
}

TEST_F(DialogTest, ReportButtonsWriteTheConfirmedFile) {
    source.add(0, makeSlot(9, 0), exampleHeader());
    ConfigHeader second = exampleHeader();
    second.DeviceId = 0x9999;
    source.add(1, 0, second);
    open();
    answer = folder + SEPARATOR + "chosen.txt";
    SendMessageA(window, WM_COMMAND, IDC_DUMP, 0);
    EXPECT_TRUE(lastSave);
    EXPECT_EQ(lastRequest.Flags, DWORD(OFN_OVERWRITEPROMPT));
    EXPECT_EQ(lastProposed.substr(lastProposed.size() - 10), SEPARATOR + "pci-1.txt");
    std::string report = testing_support::readBytes(answer);
    std::string unix;
    for (char c : report)
        if (c != '\r')
            unix += c;
    // All but the time line is the golden report of this function.
    const std::string golden =
        testing_support::readBytes(std::string(TEST_DATA_DIR) + "/worked-example.report");
    const auto dropTime = [](const std::string &s) {
        const size_t a = s.find("Local Report"), b = s.find('\n', a);
        return s.substr(0, a) + s.substr(b);
    };
    EXPECT_EQ(dropTime(unix), dropTime(golden));
    EXPECT_NE(report.find("\r\n"), std::string::npos) << "text mode on disk";

    SendMessageA(window, WM_COMMAND, IDC_PCI_REPORT, 0);
    EXPECT_EQ(lastProposed.substr(lastProposed.size() - 13), SEPARATOR + "pci-info.txt");
    report = testing_support::readBytes(answer);
    EXPECT_NE(report.find("9999h  Device ID"), std::string::npos);
    EXPECT_NE(report.find("5678h  Device ID"), std::string::npos);

    answer.clear(); // cancelled: nothing written, nothing said
    SendMessageA(window, WM_COMMAND, IDC_PCI_REPORT, 0);
    EXPECT_TRUE(shownMessages.empty());
}

TEST_F(DialogTest, UnwritableChoiceIsReported) {
    source.add(0, 0, exampleHeader());
    open();
    answer = folder + SEPARATOR + "no-such-folder" + SEPARATOR + "r.txt";
    SendMessageA(window, WM_COMMAND, IDC_DUMP, 0);
    ASSERT_EQ(shownMessages.size(), 1u);
    EXPECT_EQ(shownMessages[0], "Unable to open '" + answer + "'");
}

// A file that opens but takes no bytes: the host's full device (Wine maps Z:
// to the host's root).
TEST_F(DialogTest, FailedWriteIsReportedNotTakenForAReport) {
    source.add(0, 0, exampleHeader());
    open();
#ifdef _WIN32
    answer = "Z:\\dev\\full";
#else
    answer = "/dev/full";
#endif
    SendMessageA(window, WM_COMMAND, IDC_PCI_REPORT, 0);
    ASSERT_EQ(shownMessages.size(), 1u);
    EXPECT_EQ(shownMessages[0], "Unable to write '" + answer + "'");
}

TEST_F(DialogTest, ExitAndCloseEndTheLoopAndCloseTheChannelOnce) {
    const int messages[] = {WM_COMMAND, WM_CLOSE};
    for (int message : messages) {
        source.closes = 0;
        source.add(0, 0, exampleHeader());
        open();
        if (message == WM_COMMAND)
            PostMessageA(window, WM_COMMAND, IDC_EXIT, 0);
        else
            PostMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_TRUE(pump()) << message << ": no quit message";
        EXPECT_EQ(source.closes, 1) << message;
        if (message == WM_CLOSE)
            window = nullptr; // the default procedure destroyed it
        else {
            DestroyWindow(window);
            window = nullptr;
            pump();
        }
        appChannel = ConfigChannel{};
        appChannel.source = &source;
    }
}

TEST_F(DialogTest, NoDeviceClosesAtOnce) {
    appChannel.source = nullptr; // nothing to open, like a missing driver
    open();
    ASSERT_EQ(shownMessages.size(), 1u);
    EXPECT_EQ(shownMessages[0], "No Device Detected...\nMay be claimed by another application");
    EXPECT_TRUE(pump());
}

TEST_F(DialogTest, NothingFound) {
    open();
    EXPECT_EQ(text(window, IDC_TOTAL_DEVICES), "0");
    EXPECT_EQ(text(window, IDC_CURRENT_DEVICE), "1");
    EXPECT_EQ(text(window, IDC_VENDOR_ID), "");
    EXPECT_EQ(showDevice(window, 0), 0);
    EXPECT_TRUE(shownMessages.empty());
}

} // namespace
