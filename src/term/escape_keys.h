// What follows an Esc that ncurses hands over undecoded: a key whose sequence
// this terminal's description does not know (ESC [ D from a terminal that
// announced ESC O D), Alt and a character, or Esc alone. A sequence that
// names no key of ours is dropped whole, so that none of its characters can
// act as a key of its own.
#pragma once

#include "term/display.h"

class EscapeInput {
  public:
    static constexpr int NOTHING = -1;
    virtual ~EscapeInput() = default;
    // The next character typed, if one comes at once; NOTHING otherwise
    // (also when what comes is a key that is not a character, which the
    // input keeps for the next read).
    virtual int next() = 0;
    // Gives a character back for the next read.
    virtual void keep(int ch) = 0;
};

// Reads what follows an Esc; false when it was a sequence dropped whole.
bool decodeEscape(EscapeInput &input, InputEvent &event);
