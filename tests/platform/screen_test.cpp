// The application's window as a terminal shows it, compared with golden
// screens in tests/data (rewritten with LUMIVAR_REBASE=1 and reviewed as a
// diff): the text of every cell, then a letter per cell for how it is drawn.
#include "base/texts.h"
#include "report/report.h"
#include "term/widgets.h"
#include "ui/app_state.h"
#include "ui/file_chooser.h"
#include "ui/main_dialog.h"
#include "ui/resource.h"
#include "win32/terminal.h"
#include "win32/win32_layer.h"

#include "golden.h"
#include "recording_display.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using testing_support::exampleHeader;
using testing_support::FakeSource;

const char NAMES[] = "V 1234 Lumivar Test Vendor\n"
                     "D 5678 Test Ethernet Controller\n"
                     "O 1234 Lumivar Test Vendor\n"
                     "S 0001 Test Board\n"
                     "D 9ABC Test Bridge\n";

std::string picture(const RecordingDisplay &display) {
    return display.text() + "\n" + display.roles();
}

struct Screens : testing::Test {
    RecordingDisplay display;
    FakeSource source;
    HWND window = nullptr;
    std::string folder = testing_support::tempPath("screens");
    char previousFolder[512] = "";

    void SetUp() override {
        std::filesystem::create_directories(folder);
        GetCurrentDirectoryA(sizeof previousFolder, previousFolder);
        SetCurrentDirectoryA(folder.c_str());
        testing_support::writeBytes("pcidevs.txt", NAMES);
        source.add(0, makeSlot(9, 0), exampleHeader());
        ConfigHeader bridge = testing_support::makeHeader(0x1234, 0x9ABC, 0x06040000);
        bridge.HeaderType = 0x81;
        source.add(0, makeSlot(30, 0), bridge);
        source.add(0, makeSlot(30, 1), testing_support::makeHeader(0x1234, 0x9ABC, 0x06040000));
        source.add(0, makeSlot(31, 0), testing_support::makeHeader(0x1234, 0x5679, 0x01053000));
        appChannel = ConfigChannel{};
        appChannel.source = &source;
        messageBoxHook = nullptr;
        attachTerminal(&display, nullptr);
    }
    void TearDown() override {
        if (window != nullptr)
            DestroyWindow(window);
        pump();
        detachTerminal();
        SetCurrentDirectoryA(previousFolder);
        std::filesystem::remove_all(folder);
    }
    void open() {
        window = createMainWindow(GetModuleHandleA(nullptr));
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOWDEFAULT);
    }
    // The application's loop while there is input; true when it quit.
    bool pump() {
        MSG msg;
        bool quit = false;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                quit = true;
            else if (window == nullptr || !IsDialogMessageA(window, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        return quit;
    }
};

// The window on the finest grid that fits, centred, at three sizes in turn:
// each resize lays it out afresh, and back at the first size it is as it was.
TEST_F(Screens, TheFirstDeviceFitsEachTerminal) {
    const struct {
        int rows, cols;
        const char *golden;
    } sizes[] = {
        {24, 80, "screen-first-device-80x24.txt"},   // 4 x 8 units a cell
        {32, 104, "screen-first-device-104x32.txt"}, // 3 x 8
        {50, 160, "screen-first-device-160x50.txt"}, // 2 x 4
        {24, 80, "screen-first-device-80x24.txt"},
    };
    open();
    for (const auto &size : sizes) {
        display.resize(size.rows, size.cols);
        pump();
        testing_support::expectGolden(size.golden, picture(display));
    }
}

// On the finer grids every label of the template and every text the dialog
// shows is whole on the screen (at 80 x 24 some are cut).
TEST_F(Screens, NothingIsCutOnTheFinerGrids) {
    open();
    for (const TerminalSize size : {TerminalSize{32, 104}, TerminalSize{50, 160}}) {
        display.resize(size.rows, size.cols);
        for (int device = 1; device <= 4; ++device) {
            pump();
            const winlayer::Window &w = *winlayer::findWindow(window);
            for (HWND handle : w.children) {
                const winlayer::Window &c = *winlayer::findWindow(handle);
                int mnemonic = -1;
                const std::string shown = winlayer::withoutMnemonic(c.text, &mnemonic);
                if (c.kind != winlayer::Kind::Static || shown.empty())
                    continue;
                EXPECT_NE(display.row(w.cells.row + c.cells.row).find(shown), std::string::npos)
                    << "'" << shown << "' of device " << device << " at " << size.cols << "x"
                    << size.rows;
            }
            display.key(VK_RIGHT);
        }
    }
}

TEST_F(Screens, SteppedToTheBridgeWithDumpFocused) {
    open();
    display.key(VK_RIGHT);
    display.key(VK_TAB, '\t'); // from Exit, where the focus starts
    pump();
    testing_support::expectGolden("screen-bridge-dump-focused.txt", picture(display));
}

TEST_F(Screens, AMessageOverTheWindow) {
    open();
    std::string shown;
    display.then([&] { shown = picture(display); });
    display.key(VK_RETURN, '\r');
    EXPECT_EQ(MessageBoxA(window, "Unable to open 'C:\\reports\\pci-1.txt'", APP_TITLE, MB_OK),
              IDOK);
    testing_support::expectGolden("screen-message.txt", shown);
}

TEST_F(Screens, TheSavePromptAndItsOverwriteQuestion) {
    open();
    testing_support::writeBytes("pci-2.txt", "an older report\n");
    char path[CHOOSER_PATH_SIZE] = "pci-2.txt";
    OPENFILENAMEA request;
    fillFileRequest(request, window, path, true);
    std::string prompt, question;
    display.then([&] { prompt = picture(display); });
    display.key(VK_RETURN, '\r');
    display.then([&] { question = picture(display); });
    display.key(VK_ESCAPE, 0x1B); // no: back to the prompt
    display.key(VK_ESCAPE, 0x1B); // and cancelled
    EXPECT_FALSE(GetSaveFileNameA(&request));
    testing_support::expectGolden("screen-save-prompt.txt", prompt);
    testing_support::expectGolden("screen-overwrite-question.txt", question);
}

TEST_F(Screens, NoDeviceIsSaidBeforeTheWindowAppears) {
    appChannel.source = nullptr;
    std::string shown;
    display.then([&] { shown = picture(display); });
    display.key(VK_RETURN, '\r');
    open();
    testing_support::expectGolden("screen-no-device.txt", shown);
    EXPECT_TRUE(pump()) << "the window closes itself";
}

// The notice, wrapped to the terminal and shortened until it fits; the
// window is back as soon as the terminal is large enough.
TEST_F(Screens, ATerminalTooSmallSaysWhatItNeedsInWhatRoomThereIs) {
    const TerminalSize sizes[] = {{20, 60}, {5, 20}, {3, 12}, {2, 8}, {1, 5}};
    display.resize(sizes[0].rows, sizes[0].cols); // played first: the window never fits
    open();
    std::string shown;
    for (const TerminalSize &size : sizes) {
        display.resize(size.rows, size.cols);
        display.then([&, size] {
            shown += std::to_string(size.cols) + " x " + std::to_string(size.rows) + ":\n" +
                     display.text();
        });
    }
    display.resize(24, 80);
    pump();
    testing_support::expectGolden("screen-too-small.txt", shown);
    EXPECT_NE(display.row(0).find("Lumivar V4.04 - PCI Spec V3.0"), std::string::npos)
        << "the window is back once the terminal is large enough";
}

// Names keep the bytes of pcidevs.txt, which is Windows-1252: the terminal
// shows their characters, and a control byte, which would drive the
// terminal, as a question mark.
TEST_F(Screens, NamesShowTheirCharactersAndNeverDriveTheTerminal) {
    const struct {
        const char *name;
        const char *bytes;
        const char *shown;
    } rows[] = {
        {"escape and bell", "Red\x1b[31mAlert\x07!", "Red?[31mAlert?!"},
        {"tab and vertical tab", "Tab\tVT\x0b.", "Tab?VT?."},
        {"Windows-1252 letters and signs", "Caf\xe9 \x80 \x99 \xbd", "Café € ™ ½"},
        {"bytes the code page leaves undefined", "C1 \x81\x9d.", "C1 \uFFFD\uFFFD."},
    };
    for (const auto &r : rows) {
        testing_support::writeBytes("pcidevs.txt", std::string("V 1234 ") + r.bytes + "\n");
        open();
        pump();
        EXPECT_NE(display.text().find(std::string("Ven  1234h  ") + r.shown), std::string::npos)
            << r.name << "\n"
            << display.row(2);
        DestroyWindow(window);
        window = nullptr;
        pump();
    }
}

// What keys may do while the window cannot be seen, and what Ctrl-C does.
// Script: "S" shrinks the terminal to 20x5, "!" is Ctrl-C, "@" a click where
// Exit is at 80x24, "\n" Enter, "\x1b" Esc; other characters are typed.
struct GuardCase {
    const char *name;
    const char *script;
    bool older; // an older pci-info.txt is there at first
    bool quits;
    const char *report; // pci-info.txt afterwards: "", "older" or "written"
};

TEST_F(Screens, UnseenKeysDoNothingAndCtrlCEndsLikeEsc) {
    const GuardCase cases[] = {
        {"r and Enter at full size write the report", "r\n", false, false, "written"},
        {"too small: r and Enter write nothing unseen", "Sr\n", false, false, ""},
        {"too small: a click does nothing either", "S@", false, false, ""},
        {"too small: Esc still ends the program", "S\x1b", false, true, ""},
        {"shrunk under a prompt: Enter answers nothing, Ctrl-C ends", "rS\n!", false, true, ""},
        {"Ctrl-C ends as Esc does", "!", false, true, ""},
        {"Ctrl-C in the Save prompt closes it and ends the program", "r!", false, true, ""},
        {"Ctrl-C at the overwrite question is no", "r\n!", true, true, "older"},
    };
    for (const GuardCase &c : cases) {
        std::filesystem::remove("pci-info.txt");
        if (c.older)
            testing_support::writeBytes("pci-info.txt", "older");
        display.resize(24, 80);
        open();
        for (const char *k = c.script; *k != '\0'; ++k) {
            switch (*k) {
            case 'S': display.resize(5, 20); break;
            case '!': display.interrupt(); break;
            case '@': display.mouse(22, 3); break;
            case '\n': display.key(VK_RETURN, '\r'); break;
            case '\x1b': display.key(VK_ESCAPE, 0x1B); break;
            default: display.type(std::string(1, *k)); break;
            }
        }
        EXPECT_EQ(pump(), c.quits) << c.name;
        const std::string report = testing_support::readBytes("pci-info.txt");
        EXPECT_EQ(report.empty()      ? ""
                  : report == "older" ? "older"
                                      : "written",
                  std::string(c.report))
            << c.name;
        DestroyWindow(window);
        window = nullptr;
        pump();
    }
}

TEST_F(Screens, AMissingNameDatabaseIsAskedForBeforeTheWindowAppears) {
    std::filesystem::remove("pcidevs.txt");
    std::string shown;
    display.then([&] { shown = display.text(); });
    display.key(VK_ESCAPE, 0x1B);
    open();
    const std::string proposed = std::string(folder) + "/pcidevs.txt";
    EXPECT_NE(shown.find(proposed.substr(0, 40)), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Vendor"), std::string::npos) << "the window is not shown yet";
    pump();
    char vendor[64] = "";
    GetDlgItemTextA(window, IDC_VENDOR_NAME, vendor, sizeof vendor);
    EXPECT_STREQ(vendor, "Unknown");
}

} // namespace
