// The keys that ncurses reports, as the events the Win32 layer passes on.
#include "term/ncurses_display.h"

#define NCURSES_WIDECHAR 1
#include <curses.h>

#include <gtest/gtest.h>

namespace {

TEST(CursesKeys, BecomeVirtualKeysAndCharacters) {
    const struct {
        bool isKeyCode;
        unsigned code;
        bool passed;
        unsigned key;
        unsigned char character;
        bool shift;
    } rows[] = {
        {true, KEY_BTAB, true, VK_TAB, '\t', true},
        {false, '\t', true, VK_TAB, '\t', false},
        {true, KEY_LEFT, true, VK_LEFT, 0, false},
        {true, KEY_ENTER, true, VK_RETURN, '\r', false},
        {false, '\n', true, VK_RETURN, '\r', false},
        {false, 0x7F, true, VK_BACK, 0x08, false},
        {false, U'é', true, 0, 0xE9, false},
        {false, U'€', true, 0, 0x80, false},
        {false, U'Ω', true, 0, '?', false},
        {false, 0x01, false, 0, 0, false},
        {true, KEY_F(2), false, 0, 0, false},
    };
    for (const auto &r : rows) {
        InputEvent e;
        EXPECT_EQ(cursesKey(r.isKeyCode, r.code, e), r.passed) << r.code;
        if (!r.passed)
            continue;
        EXPECT_EQ(e.key, r.key) << r.code;
        EXPECT_EQ(e.character, r.character) << r.code;
        EXPECT_EQ(e.shift, r.shift) << r.code;
    }
}

} // namespace
