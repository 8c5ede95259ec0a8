// Where the template's controls land on a terminal, and the cell buffer that
// sends the terminal only what changed.
#include "win32/terminal.h"
#include "win32/win32_layer.h"

#include "golden.h"
#include "recording_display.h"
#include "recording_window.h"

#include <gtest/gtest.h>

namespace {

// The real template, laid out by the layer as it creates the window.
struct MainTemplate : testing::Test {
    HWND dialog = nullptr;
    void SetUp() override {
        winlayer::resetLayer();
        dialog = recording::createDialog();
        ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override { winlayer::resetLayer(); }
    const winlayer::Window &control(size_t i) {
        return *winlayer::findWindow(winlayer::findWindow(dialog)->children[i]);
    }
};

bool overlaps(const CellRect &a, const CellRect &b) {
    return a.row < b.row + b.rows && b.row < a.row + a.rows && a.col < b.col + b.cols &&
           b.col < a.col + a.cols;
}

bool overlapsInUnits(const winlayer::Window &a, const winlayer::Window &b) {
    return a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy && b.y < a.y + a.cy;
}

bool isOutline(const winlayer::Window &w) {
    return w.kind == winlayer::Kind::Static && (w.style & SS_TYPEMASK) == SS_ETCHEDFRAME &&
           w.cx > 2 && w.cy > 2;
}

// Where every control lands on an 80 x 24 terminal, as golden text. None
// leaves the screen, and controls apart in dialog units stay apart in cells.
TEST_F(MainTemplate, EveryControlOnAnEightyByTwentyFourTerminal) {
    const CellRect &window = winlayer::findWindow(dialog)->cells;
    EXPECT_TRUE((window == CellRect{0, 0, 24, 78})) << window.rows << "x" << window.cols;
    std::string text;
    for (size_t i = 0; i < 126; ++i) {
        const winlayer::Window &a = control(i);
        const CellRect &c = a.cells;
        char line[80];
        snprintf(line, sizeof line, "%3zu id %4d  %2d,%2d %2dx%2d\n", i + 1, a.id, c.row, c.col,
                 c.rows, c.cols);
        text += line;
        EXPECT_TRUE(c.row >= 0 && c.col >= 0 && c.row + c.rows <= 24 && c.col + c.cols <= 80)
            << line;
        for (size_t j = i + 1; j < 126; ++j) {
            const winlayer::Window &b = control(j);
            // The outer frame encloses the others; its edges are checked by the drawing.
            const bool apart = !isOutline(a) && !isOutline(b) && !overlapsInUnits(a, b);
            EXPECT_FALSE(apart && overlaps(a.cells, b.cells))
                << "controls " << i + 1 << ", " << j + 1;
        }
    }
    testing_support::expectGolden("layout-80x24.txt", text);
}

TEST(CellBuffer, ShowsWindows1252AsUnicode) {
    const struct {
        unsigned char byte;
        char32_t shown;
    } rows[] = {{'A', U'A'},  {0x80, U'€'}, {0x81, U'\uFFFD'}, {0x99, U'™'},
                {0xE9, U'é'}, {0x09, U'?'}, {0x7F, U'?'}};
    for (const auto &r : rows)
        EXPECT_EQ(unicodeFromAnsi(r.byte), r.shown) << int(r.byte);
}

TEST_F(MainTemplate, ARepaintSendsOnlyTheFieldThatChanged) {
    RecordingDisplay display;
    attachTerminal(&display, nullptr);
    ShowWindow(dialog, SW_SHOW);
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); // paints
    EXPECT_EQ(display.cellsWritten, 80 * 24);
    display.cellsWritten = 0;
    SetDlgItemTextA(dialog, IDC_BIST, "80h");
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    EXPECT_EQ(display.cellsWritten, 3) << "the three new characters";
    display.cellsWritten = 0;
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    EXPECT_EQ(display.cellsWritten, 0);
    detachTerminal();
}

} // namespace
