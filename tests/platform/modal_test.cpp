// The modal boxes that stand in for MessageBoxA and the common Open and Save
// dialogs: what the user's keys and clicks make them return.
#include "win32/terminal.h"
#include "win32/win32_layer.h"

#include "recording_display.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
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
    // A click on a button once the box is drawn: its face is its label with
    // two blanks on each side.
    void clickWhenShown(const std::string &label) {
        display.then([this, label] {
            int row = 0, col = 0;
            ASSERT_TRUE(find("  " + label + "  ", &row, &col)) << label << "\n" << display.text();
            display.mouse(row, col + 2);
        });
    }
};

// Keys for the script: "\n" Enter, "\x1b" Esc, "\t" Tab, "\b" Backspace,
// "\x7f" Delete, "<" Left, ">" Right, "^" Home, "$" End; anything else typed
// (UTF-8, a character at a time).
void play(RecordingDisplay &display, const std::string &keys) {
    for (size_t at = 0; at < keys.size(); ++at) {
        const char c = keys[at];
        switch (c) {
        case '\n': display.key(VK_RETURN, '\r'); break;
        case '\x1b': display.key(VK_ESCAPE, 0x1B); break;
        case '\t': display.key(VK_TAB, '\t'); break;
        case '\b': display.key(VK_BACK, 0x08); break;
        case '\x7f': display.key(VK_DELETE); break;
        case '<': display.key(VK_LEFT); break;
        case '>': display.key(VK_RIGHT); break;
        case '^': display.key(VK_HOME); break;
        case '$': display.key(VK_END); break;
        default: {
            size_t end = at + 1;
            while (end < keys.size() && (static_cast<unsigned char>(keys[end]) & 0xC0) == 0x80)
                ++end;
            display.type(keys.substr(at, end - at));
            at = end - 1;
            break;
        }
        }
    }
}

struct PromptCase {
    const char *name;
    bool save;
    const char *proposed;
    const char *keys;
    DWORD size; // nMaxFile
    BOOL accepted;
    const char *path; // lpstrFile afterwards
    WORD nameOffset, extensionOffset;
};

TEST_F(Boxes, PathPromptEditsAcceptsAndCancels) {
    testing_support::writeBytes("old.txt", "x");
    const PromptCase cases[] = {
        {"Enter takes the proposal as it is: a backslash belongs to a Linux name", true,
         "/tmp/a\\b/pci-3.txt", "\n", 256, TRUE, "/tmp/a\\b/pci-3.txt", 9, 15},
        {"Esc cancels and leaves the buffer", true, "C:\\dir\\pci-3.txt", "\x1b", 256, FALSE,
         "C:\\dir\\pci-3.txt", 0, 0},
        {"editing at the end", true, "/r/pci-3.txt", "\b\b\bdoc\n", 256, TRUE, "/r/pci-3.doc", 3,
         9},
        {"editing in the middle", true, "/r/pci-3.txt", "^>>>\x7f\x7f\x7fq$\n", 256, TRUE,
         "/r/q-3.txt", 3, 7},
        {"a name without an extension stays so", true, "/r/a.txt", "\b\b\b\b\n", 256, TRUE, "/r/a",
         3, 4},
        {"an empty name is not accepted", true, "ab", "\b\b\n\x1b", 256, FALSE, "ab", 0, 0},
        {"no more than the buffer holds", true, "abc", "defgh\n", 6, TRUE, "abcde", 0, 5},
        {"Tab to Cancel, then Enter", true, "a.txt", "\t\t\n", 256, FALSE, "a.txt", 0, 0},
        {"Tab to Save, then Space", true, "a.txt", "\t ", 256, TRUE, "a.txt", 0, 2},
        {"the Open dialog asks nothing about existing files", false, "old.txt", "\n", 256, TRUE,
         "old.txt", 0, 4},
        {"a file that exists: Yes replaces it", true, "old.txt", "\ny", 256, TRUE, "old.txt", 0, 4},
        {"Enter is Yes", true, "old.txt", "\n\n", 256, TRUE, "old.txt", 0, 4},
        {"No goes back to the prompt", true, "old.txt", "\nn\b\b\b\b\b\b\bnew.txt\n", 256, TRUE,
         "new.txt", 0, 4},
        {"Esc is No, a second Esc cancels", true, "old.txt", "\n\x1b\x1b", 256, FALSE, "old.txt", 0,
         0},
        {"Left moves to No", true, "old.txt", "\n<\n\x1b", 256, FALSE, "old.txt", 0, 0},
        {"Right and Tab move too, round to Yes", true, "old.txt", "\n>\t\n", 256, TRUE, "old.txt",
         0, 4},
        {"a name typed in UTF-8 is kept as typed", true, "/tmp/", "é日€.txt\n", 256, TRUE,
         "/tmp/é日€.txt", 5, 14},
        {"Backspace and Delete take whole characters", true, "/tmp/", "é日€\b<\x7f.txt\n", 256,
         TRUE, "/tmp/é.txt", 5, 8},
        {"Left and Right step over whole characters", true, "/é日", "<<x\n", 256, TRUE, "/xé日", 1,
         7},
        {"a character that fits the buffer", true, "ab", "日\n", 6, TRUE, "ab日", 0, 5},
        {"one that does not fit is left out whole", true, "abc", "日\n", 6, TRUE, "abc", 0, 3},
    };
    for (const PromptCase &c : cases) {
        char path[256];
        snprintf(path, sizeof path, "%s", c.proposed);
        OPENFILENAMEA request = {};
        request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
        request.lpstrFilter = FILTER;
        request.lpstrFile = path;
        request.nMaxFile = c.size;
        request.lpstrTitle = "Lumivar";
        request.Flags = c.save ? OFN_OVERWRITEPROMPT : OFN_READONLY;
        play(display, c.keys);
        const BOOL accepted = c.save ? GetSaveFileNameA(&request) : GetOpenFileNameA(&request);
        EXPECT_EQ(accepted, c.accepted) << c.name;
        EXPECT_STREQ(path, c.path) << c.name;
        if (accepted) {
            EXPECT_EQ(request.nFileOffset, c.nameOffset) << c.name;
            EXPECT_EQ(request.nFileExtension, c.extensionOffset) << c.name;
        }
        EXPECT_TRUE(display.scriptDone()) << c.name << ": keys left over";
        while (!display.scriptDone()) // drop what a failed case left
            GetSaveFileNameA(&request);
    }
}

// The path is shown as it was typed, wide characters taking two cells, and
// the caret stands after them.
TEST_F(Boxes, ATypedPathIsShownAsTyped) {
    char path[64] = "/tmp/";
    OPENFILENAMEA request = {};
    request.lStructSize = sizeof request;
    request.lpstrFile = path;
    request.nMaxFile = sizeof path;
    display.type("é日€.txt");
    display.then([&] {
        int row = 0, col = 0;
        ASSERT_TRUE(find("/tmp/é日€.txt", &row, &col)) << display.text();
        EXPECT_EQ(display.cursorRow, row);
        EXPECT_EQ(display.cursorCol, col + 13) << "/tmp/, é, 日 (two cells), €, .txt";
    });
    display.key(VK_ESCAPE, 0x1B);
    EXPECT_FALSE(GetSaveFileNameA(&request));
}

TEST_F(Boxes, PathPromptButtonsAndCursor) {
    char path[64] = "report.txt";
    OPENFILENAMEA request = {};
    request.lStructSize = sizeof request;
    request.lpstrFile = path;
    request.nMaxFile = sizeof path;
    display.then([&] {
        EXPECT_TRUE(display.cursorVisible) << "the caret stands in the field";
        int row = 0, col = 0;
        ASSERT_TRUE(find("report.txt", &row, &col));
        EXPECT_EQ(display.cursorRow, row);
        EXPECT_EQ(display.cursorCol, col + 10) << "after the last character";
    });
    clickWhenShown("Cancel");
    EXPECT_FALSE(GetSaveFileNameA(&request));
    clickWhenShown("Save");
    EXPECT_TRUE(GetSaveFileNameA(&request));
    display.alt('s');
    EXPECT_TRUE(GetSaveFileNameA(&request)) << "Alt+S";
    display.then([&] { EXPECT_NE(display.text().find("Save As"), std::string::npos); });
    display.key(VK_ESCAPE, 0x1B);
    GetSaveFileNameA(&request);
}

struct MessageCase {
    const char *name;
    std::function<void(Boxes &)> answer;
};

TEST_F(Boxes, MessageBoxEndsWithOk) {
    const MessageCase cases[] = {
        {"Enter", [](Boxes &b) { b.display.key(VK_RETURN, '\r'); }},
        {"Space", [](Boxes &b) { b.display.key(VK_SPACE, ' '); }},
        {"Esc", [](Boxes &b) { b.display.key(VK_ESCAPE, 0x1B); }},
        {"its letter", [](Boxes &b) { b.display.type("o"); }},
        {"a click on OK", [](Boxes &b) { b.clickWhenShown("OK"); }},
        {"the terminal going away", [](Boxes &) {}},
    };
    for (const MessageCase &c : cases) {
        display.type("q"); // no button has it: the box stays
        c.answer(*this);
        EXPECT_EQ(MessageBoxA(nullptr, "Unable to open 'x'", "Lumivar", MB_OK), IDOK) << c.name;
        EXPECT_TRUE(display.scriptDone()) << c.name;
        winlayer::layer().inputClosed = false;
    }
}

TEST_F(Boxes, LongMessagesWrapInsideTheScreen) {
    const std::string path = "/" + std::string(150, 'd') + "/pci-info.txt";
    const std::string text = "Unable to open '" + path + "'";
    display.then([&] {
        for (int r = 0; r < 24; ++r)
            EXPECT_EQ(display.at(r, 0).role, Role::Desktop) << "row " << r;
        std::string shown;
        for (int r = 0; r < 24; ++r)
            shown += display.row(r);
        EXPECT_NE(shown.find("pci-info.txt'"), std::string::npos) << display.text();
    });
    display.key(VK_RETURN, '\r');
    MessageBoxA(nullptr, text.c_str(), "Lumivar", MB_OK);
}

} // namespace
