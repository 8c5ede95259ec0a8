// Where the template's controls land on a terminal, and the cell buffer that
// sends the terminal only what changed.
#include "term/dialog_layout.h"
#include "win32/terminal.h"
#include "win32/win32_layer.h"

#include "case_table.h"
#include "recording_display.h"
#include "recording_window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string rect(const CellRect &c) {
    return std::to_string(c.row) + "," + std::to_string(c.col) + " " + std::to_string(c.rows) +
           "x" + std::to_string(c.cols);
}

// Input: the items of a 311 x 194 dialog, "; " between them, each a shape
// (box, text, list, frame), x,y and cx x cy in dialog units; made: the cells
// of each on the coarsest grid, row,col and rows x cols.
TEST(DialogLayout, RowsMoveDownOnlyWhenSomethingAboveIsInTheWay) {
    testing_support::expectCaseTable("dialog-layout.txt", [](const std::string &input) {
        std::vector<LayoutItem> items;
        std::istringstream in(input);
        for (std::string item; std::getline(in, item, ';');) {
            char shape[8] = "";
            LayoutItem i{};
            sscanf(item.c_str(), "%7s %d,%d %dx%d", shape, &i.x, &i.y, &i.cx, &i.cy);
            const std::string s = shape;
            i.shape = s == "list"    ? LayoutShape::List
                      : s == "frame" ? LayoutShape::Frame
                      : s == "text"  ? LayoutShape::Text
                                     : LayoutShape::Box;
            items.push_back(i);
        }
        std::vector<CellRect> cells(items.size());
        layoutDialog(items.data(), int(items.size()), 311, 194, COARSEST_GRID, cells.data());
        std::string made;
        for (const CellRect &c : cells)
            made += (made.empty() ? "" : "; ") + rect(c);
        return made;
    });
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
};

// Input: a terminal, columns x rows; made: the finest grid that fits (dialog
// units a cell across and down) and the window's cells, centred.
TEST_F(MainTemplate, TheWindowTakesTheFinestGridThatFits) {
    testing_support::expectCaseTable("dialog-grid.txt", [this](const std::string &input) {
        int rows = 0, cols = 0;
        sscanf(input.c_str(), "%dx%d", &cols, &rows);
        RecordingDisplay display(rows, cols);
        attachTerminal(&display, nullptr);
        winlayer::Window &w = *winlayer::findWindow(dialog);
        winlayer::layoutWindow(w);
        detachTerminal();
        return "grid " + std::to_string(w.grid.dluPerColumn) + "x" +
               std::to_string(w.grid.dluPerRow) + ", window " + rect(w.cells);
    });
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
