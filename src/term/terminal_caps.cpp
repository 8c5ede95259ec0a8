// The terminal's description, looked at without taking the terminal over.
// Apart from the display because <term.h> defines a macro for every
// capability name.
#include "term/ncurses_display.h"

#include <curses.h>
#include <term.h>
#include <unistd.h>

bool NcursesDisplay::canAddressCursor() {
    int error = 0;
    if (setupterm(nullptr, STDOUT_FILENO, &error) != OK)
        return false;
    const char *move = tigetstr("cup");
    const bool can = move != nullptr && move != reinterpret_cast<char *>(-1);
    del_curterm(cur_term);
    return can;
}
