// The modal boxes that stand in for MessageBoxA and the common Open and Save
// dialogs: what the user's keys and clicks make them return.
#include "win32/terminal.h"
#include "win32/win32_layer.h"

#include "case_table.h"
#include "recording_display.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

const char FILTER[] = "Text File (*.txt,*.doc)\0*.txt;*.doc\0All Files (*.*)\0*.*\0";

struct Boxes : testing::Test {
    RecordingDisplay display;
    std::string folder = testing_support::tempPath("boxes");
    char previousFolder[512] = "";

    void SetUp() override {
        winlayer::resetLayer();
        attachTerminal(&display, nullptr);
        std::filesystem::create_directories(folder);
        GetCurrentDirectoryA(sizeof previousFolder, previousFolder);
        SetCurrentDirectoryA(folder.c_str());
    }
    void TearDown() override {
        detachTerminal();
        SetCurrentDirectoryA(previousFolder);
        std::filesystem::remove_all(folder);
    }
};

// Input: "message" and a script, or "save"/"open", the path proposed, the
// size of the caller's buffer and a script; made: the answer, the path with
// the offsets of its name and extension, and whether keys were left over.
TEST_F(Boxes, KeysAndClicksAnswerTheBoxes) {
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
TEST_F(Boxes, AWidePathAndALongMessageOnTheScreen) {
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
