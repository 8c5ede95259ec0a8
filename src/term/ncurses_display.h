// The real terminal through ncurses: colours per role, line drawing that
// works in any locale, keys (decoded by ncurses; what it leaves, such as
// Alt+letter, by escape_keys.h), Ctrl-C as an event, mouse clicks and the
// wheel, and size changes (ncurses turns SIGWINCH into a KEY_RESIZE read,
// which only wakes the loop; the resize is an event).
#pragma once

#include "term/display.h"

// A key as ncurses reports it, a KEY_ code when isKeyCode and else a
// character, as the event the layer passes on; false for a key that means
// nothing here.
bool cursesKey(bool isKeyCode, unsigned code, InputEvent &event);

class NcursesDisplay : public Display {
  public:
    ~NcursesDisplay() override;

    // Takes over the terminal on standard input and output; false when it
    // cannot (not a terminal, unknown TERM).
    bool start();
    // Gives the terminal back to the shell; safe to call more than once.
    void stop();
    // Puts the terminal back into its normal mode, for a message before abort.
    static void restoreTerminal();
    // Whether the terminal on standard output, as TERM describes it, can put
    // the cursor anywhere, which drawing the dialog needs: not TERM=dumb, nor
    // a TERM that no description knows.
    static bool canAddressCursor();

    TerminalSize size() const override;
    void write(int row, int col, const Cell *cells, int count) override;
    void setCursor(int row, int col, bool visible) override;
    void flush() override;
    bool readEvent(InputEvent &event, int timeoutMs) override;

  private:
    bool started_ = false;
    bool unicode_ = false; // the locale can show box drawing and arrows
    bool colours_ = false;
};
