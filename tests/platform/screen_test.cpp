// The application's window and the terminal's own boxes (which stand in for
// MessageBoxA and the common Open and Save dialogs) as a terminal shows them,
// compared with golden pictures in tests/data: the text of every cell, a
// letter per cell for how it is drawn, and the cursor. And what the user's
// keys and clicks make the boxes answer.
#include "ui/app_state.h"
#include "ui/file_chooser.h"
#include "ui/main_dialog.h"
#include "win32/terminal.h"
#include "win32/win32_layer.h"

#include "case_table.h"
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

const char FILTER[] = "Text File (*.txt,*.doc)\0*.txt;*.doc\0All Files (*.*)\0*.*\0";

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
        close();
        detachTerminal();
        SetCurrentDirectoryA(previousFolder);
        std::filesystem::remove_all(folder);
    }
    void open() {
        window = createMainWindow(GetModuleHandleA(nullptr));
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOWDEFAULT);
    }
    void close() {
        if (window != nullptr)
            DestroyWindow(window);
        window = nullptr;
        pump();
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

// The window on the finest grid that fits, centred, at three sizes in turn
// (4 x 8, 3 x 8 and 2 x 4 units a cell): each resize lays it out afresh, and
// back at the first size it is as it was.
TEST_F(Screens, TheFirstDeviceFitsEachTerminal) {
    open();
    for (const std::string size : {"80x24", "104x32", "160x50", "80x24"}) {
        display.keys("{" + size + "}");
        pump();
        testing_support::expectGolden("screen-first-device-" + size + ".txt", display.picture());
    }
}

TEST_F(Screens, SteppedToTheBridgeWithDumpFocused) {
    open();
    display.keys("{Right}{Tab}"); // Tab from Exit, where the focus starts
    pump();
    testing_support::expectGolden("screen-bridge-dump-focused.txt", display.picture());
}

TEST_F(Screens, TheSavePromptAndItsOverwriteQuestion) {
    open();
    testing_support::writeBytes("pci-2.txt", "an older report\n");
    char path[CHOOSER_PATH_SIZE] = "pci-2.txt";
    OPENFILENAMEA request;
    fillFileRequest(request, window, path, true);
    std::string prompt, question;
    display.then([&] { prompt = display.picture(); });
    display.keys("{Enter}");
    display.then([&] { question = display.picture(); });
    display.keys("{Esc}{Esc}"); // no: back to the prompt, and cancelled
    EXPECT_FALSE(GetSaveFileNameA(&request));
    testing_support::expectGolden("screen-save-prompt.txt", prompt);
    testing_support::expectGolden("screen-overwrite-question.txt", question);
}

// The notice, wrapped to the terminal and shortened until it fits; the
// window is back as soon as the terminal is large enough.
TEST_F(Screens, ATerminalTooSmallSaysWhatItNeedsInWhatRoomThereIs) {
    display.keys("{60x20}"); // played first: the window never fits
    open();
    std::string shown;
    for (const std::string size : {"60x20", "20x5", "12x3", "8x2", "5x1"}) {
        display.keys("{" + size + "}");
        display.then([&, size] { shown += size + ":\n" + display.text(); });
    }
    display.keys("{80x24}");
    pump();
    testing_support::expectGolden("screen-too-small.txt", shown);
    EXPECT_NE(display.text().find("Lumivar V4.04 - PCI Spec V3.0"), std::string::npos)
        << "the window is back once the terminal is large enough";
}

// Names keep the bytes of pcidevs.txt, which is Windows-1252: the terminal
// shows their characters, and a control byte, which would drive the
// terminal, as a question mark.
TEST_F(Screens, NamesShowTheirCharactersAndNeverDriveTheTerminal) {
    for (const auto &[bytes, shown] : {
             std::pair("Red\x1b[31mAlert\x07!", "Red?[31mAlert?!"), // escape and bell
             {"Tab\tVT\x0b\x7f.", "Tab?VT??."},                     // tab, vertical tab, delete
             {"Caf\xe9 \x80 \x99 \xbd", "Café € ™ ½"},              // Windows-1252 letters, signs
             {"C1 \x81\x9d.", "C1 \uFFFD\uFFFD."}, // bytes the code page leaves undefined
         }) {
        testing_support::writeBytes("pcidevs.txt", std::string("V 1234 ") + bytes + "\n");
        open();
        pump();
        EXPECT_NE(display.text().find(std::string("Ven  1234h  ") + shown), std::string::npos)
            << shown;
        close();
    }
}

// What keys may do while the window cannot be seen, and what Ctrl-C does.
// Input: a script ({20x5} shrinks the terminal, {Click 22,3} is on Exit at
// 80 x 24), after "older:" with an older pci-info.txt there at first; made:
// whether the program ended and what pci-info.txt is afterwards.
TEST_F(Screens, UnseenKeysDoNothingAndCtrlCEndsLikeEsc) {
    testing_support::expectCaseTable("screen-unseen-keys.txt", [this](const std::string &input) {
        std::filesystem::remove("pci-info.txt");
        const bool older = input.rfind("older: ", 0) == 0;
        if (older)
            testing_support::writeBytes("pci-info.txt", "older");
        display.keys("{80x24}");
        open();
        display.keys(input.substr(older ? 7 : 0));
        const bool quits = pump();
        const std::string report = testing_support::readBytes("pci-info.txt");
        close();
        return std::string(quits ? "ends" : "goes on") + ", report " +
               (report.empty()      ? "none"
                : report == "older" ? "older"
                                    : "written");
    });
}

// Input: "message" and a script, or "save"/"open", the path proposed, the
// size of the caller's buffer and a script; made: the answer, the path with
// the offsets of its name and extension, and whether keys were left over.
TEST_F(Screens, KeysAndClicksAnswerTheBoxes) {
    testing_support::writeBytes("old.txt", "x");
    testing_support::expectCaseTable("modal-boxes.txt", [this](const std::string &input) {
        char kind[8] = "", path[256] = "";
        unsigned size = 0;
        int at = 0;
        std::string made;
        if (input.rfind("message ", 0) == 0) {
            display.keys(input.substr(8));
            made = std::to_string(MessageBoxA(nullptr, "Unable to open 'x'", "Lumivar", MB_OK));
        } else if (sscanf(input.c_str(), "%7s %255s %u %n", kind, path, &size, &at) == 3) {
            const bool save = std::string(kind) == "save";
            OPENFILENAMEA request =
                pathRequest(path, size, save ? OFN_OVERWRITEPROMPT : OFN_READONLY);
            request.lpstrFilter = FILTER;
            request.lpstrTitle = "Lumivar";
            display.keys(input.substr(size_t(at)));
            made = (save ? GetSaveFileNameA(&request) : GetOpenFileNameA(&request))
                       ? "accepted " + std::string(path) + " " +
                             std::to_string(request.nFileOffset) + " " +
                             std::to_string(request.nFileExtension)
                       : "cancelled " + std::string(path);
        }
        if (!display.scriptDone())
            made += ", keys left over";
        while (!display.scriptDone()) // drop what a failed case left
            MessageBoxA(nullptr, "", "", MB_OK);
        if (winlayer::layer().inputClosed)
            made += ", the terminal gone";
        winlayer::layer().inputClosed = false;
        return made;
    });
}

// A typed path is shown as typed, wide characters taking two cells, the
// caret after it (the picture's cursor line); a long message wraps inside
// the screen.
TEST_F(Screens, AWidePathAndALongMessageOnTheScreen) {
    std::string shown;
    char path[64] = "/tmp/";
    OPENFILENAMEA request = pathRequest(path, sizeof path);
    display.keys("é日€.txt");
    display.then([&] { shown = display.picture(); });
    display.keys("{Esc}");
    EXPECT_FALSE(GetSaveFileNameA(&request));
    const std::string text = "Unable to open '/" + std::string(150, 'd') + "/pci-info.txt'";
    display.then([&] { shown += "\n" + display.picture(); });
    display.keys("{Enter}");
    MessageBoxA(nullptr, text.c_str(), "Lumivar", MB_OK);
    testing_support::expectGolden("screen-wide-path-long-message.txt", shown);
}

} // namespace
