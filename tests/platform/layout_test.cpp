// Where the template's controls land on a terminal, and the cell buffer that
// sends the terminal only what changed.
#include "term/dialog_layout.h"
#include "win32/terminal.h"
#include "win32/win32_layer.h"

#include "golden.h"
#include "recording_display.h"
#include "recording_window.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct LayoutCase {
    const char *name;
    std::vector<LayoutItem> items;
    std::vector<CellRect> cells; // row, col, rows, cols
};

constexpr LayoutShape BOX = LayoutShape::Box, LIST = LayoutShape::List, FRAME = LayoutShape::Frame;

TEST(DialogLayout, RowsMoveDownOnlyWhenSomethingAboveIsInTheWay) {
    const LayoutCase cases[] = {
        {"rows are y / 8 with nothing in the way",
         {{BOX, 8, 8, 20, 8}, {BOX, 8, 20, 20, 8}, {BOX, 8, 28, 20, 8}},
         {{1, 2, 1, 5}, {2, 2, 1, 5}, {3, 2, 1, 5}}},
        {"a thin line between rows 4 units apart pushes the next one down",
         {{BOX, 220, 72, 84, 8}, {FRAME, 216, 80, 92, 2}, {BOX, 220, 84, 56, 8}},
         {{9, 55, 1, 21}, {10, 54, 1, 23}, {11, 55, 1, 14}}},
        {"in another column the line pushes nothing",
         {{FRAME, 216, 80, 92, 2}, {BOX, 8, 84, 56, 8}},
         {{10, 54, 1, 23}, {10, 2, 1, 14}}},
        {"an outline takes a row for each edge",
         {{FRAME, 4, 4, 304, 168}, {BOX, 8, 8, 20, 8}, {BOX, 8, 160, 20, 8}, {BOX, 8, 172, 20, 8}},
         {{0, 1, 22, 76}, {1, 2, 1, 5}, {20, 2, 1, 5}, {22, 2, 1, 5}}},
        {"a list box shows the whole lines inside its border",
         {{LIST, 8, 60, 100, 32}, {BOX, 36, 88, 36, 8}, {LIST, 152, 96, 64, 76}},
         {{7, 2, 3, 25}, {11, 9, 1, 9}, {12, 38, 9, 16}}},
        {"a vertical line runs from its top row to its last",
         {{FRAME, 216, 52, 92, 2}, {FRAME, 216, 52, 1, 120}, {FRAME, 4, 4, 304, 168}},
         {{6, 54, 1, 23}, {6, 54, 16, 1}, {0, 1, 22, 76}}},
        {"taller controls take rows of 8 units, one at least",
         {{BOX, 4, 176, 48, 16}, {BOX, 112, 156, 36, 12}, {BOX, 168, 8, 12, 4}},
         {{22, 1, 2, 12}, {19, 28, 1, 9}, {1, 42, 1, 3}}},
    };
    for (const LayoutCase &c : cases) {
        std::vector<CellRect> cells(c.items.size());
        layoutDialog(c.items.data(), int(c.items.size()), 311, 194, COARSEST_GRID, cells.data());
        for (size_t i = 0; i < cells.size(); ++i) {
            const CellRect &want = c.cells[i], &got = cells[i];
            EXPECT_TRUE(got == want) << c.name << ", item " << i << ": got " << got.row << ","
                                     << got.col << " " << got.rows << "x" << got.cols;
        }
    }
}

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

// The finest grid that fits, the window centred on the terminal.
TEST_F(MainTemplate, TheWindowTakesTheFinestGridThatFits) {
    const struct {
        int rows, cols;
        Grid grid;
        CellRect window;
    } rows[] = {
        {24, 80, {4, 8}, {0, 1, 24, 78}},   {30, 103, {4, 8}, {3, 12, 24, 78}},
        {32, 104, {3, 8}, {4, 0, 24, 104}}, {47, 160, {2, 8}, {11, 2, 24, 156}},
        {48, 104, {3, 4}, {0, 0, 48, 104}}, {50, 160, {2, 4}, {1, 2, 48, 156}},
        {20, 60, {4, 8}, {0, 0, 24, 78}}, // too small: the notice says so
    };
    for (const auto &r : rows) {
        RecordingDisplay display(r.rows, r.cols);
        attachTerminal(&display, nullptr);
        winlayer::Window &w = *winlayer::findWindow(dialog);
        winlayer::layoutWindow(w);
        EXPECT_TRUE(w.grid == r.grid)
            << r.cols << "x" << r.rows << ": " << w.grid.dluPerColumn << " x " << w.grid.dluPerRow;
        EXPECT_TRUE(w.cells == r.window)
            << r.cols << "x" << r.rows << ": " << w.cells.row << "," << w.cells.col << " "
            << w.cells.rows << "x" << w.cells.cols;
        detachTerminal();
    }
}

TEST(CellBuffer, SendsOnlyWhatChanged) {
    RecordingDisplay display(3, 10);
    CellBuffer buffer;
    buffer.resize(3, 10);
    buffer.fill({0, 0, 3, 10}, U' ', Role::Face);
    const struct {
        const char *name;
        void (*change)(CellBuffer &);
        int written;
    } steps[] = {
        {"everything at first", [](CellBuffer &) {}, 30},
        {"nothing when nothing changed", [](CellBuffer &) {}, 0},
        {"one cell", [](CellBuffer &b) { b.put(1, 4, U'x', Role::Face); }, 1},
        {"the same again is no change", [](CellBuffer &b) { b.put(1, 4, U'x', Role::Face); }, 0},
        {"a new role is a change", [](CellBuffer &b) { b.put(1, 4, U'x', Role::Sunken); }, 1},
        {"a run of text", [](CellBuffer &b) { b.text(2, 0, "abc", 10, Role::Face); }, 3},
        {"text clipped at maxCols",
         [](CellBuffer &b) { b.text(0, 0, "0123456789", 4, Role::Face); }, 4},
        {"writes outside are dropped", [](CellBuffer &b) { b.put(5, 20, U'x', Role::Face); }, 0},
        {"after invalidate, everything", [](CellBuffer &b) { b.invalidate(); }, 30},
        {"after resize, everything", [](CellBuffer &b) { b.resize(2, 5); }, 10},
    };
    for (const auto &s : steps) {
        s.change(buffer);
        EXPECT_EQ(buffer.writeChanges(display), s.written) << s.name;
    }
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
