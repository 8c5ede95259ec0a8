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
    // Where text is on the screen, in cells.
    bool find(const std::string &text, int *row, int *col) {
        for (int r = 0; r < display.size().rows; ++r) {
            const std::string line = display.row(r);
            const size_t at = line.find(text);
            if (at != std::string::npos) {
                *row = r;
                *col = 0;
                for (size_t i = 0; i < at; ++i) // cells, not bytes
                    *col += (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80 ? 1 : 0;
                return true;
            }
        }
        return false;
    }
    // A script in which [label] is a click on that button once the box is
    // drawn: its face is its label with two blanks on each side.
    void play(const std::string &script) {
        size_t i = 0;
        for (size_t open, close; (open = script.find('[', i)) != std::string::npos &&
                                 (close = script.find(']', open)) != std::string::npos;
             i = close + 1) {
            display.keys(script.substr(i, open - i));
            const std::string label = "  " + script.substr(open + 1, close - open - 1) + "  ";
            display.then([this, label] {
                int row = 0, col = 0;
                EXPECT_TRUE(find(label, &row, &col)) << label << "\n" << display.text();
                display.mouse(row, col + 2);
            });
        }
        display.keys(script.substr(i));
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
            play(input.substr(8));
            made = std::to_string(MessageBoxA(nullptr, "Unable to open 'x'", "Lumivar", MB_OK));
        } else if (sscanf(input.c_str(), "%7s %255s %u %n", kind, path, &size, &at) == 3) {
            OPENFILENAMEA request = {};
            request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
            request.lpstrFilter = FILTER;
            request.lpstrFile = path;
            request.nMaxFile = size;
            request.lpstrTitle = "Lumivar";
            const bool save = std::string(kind) == "save";
            request.Flags = save ? OFN_OVERWRITEPROMPT : OFN_READONLY;
            play(input.substr(size_t(at)));
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
    OPENFILENAMEA request = {};
    request.lStructSize = sizeof request;
    request.lpstrFile = path;
    request.nMaxFile = sizeof path;
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
