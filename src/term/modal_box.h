// Modal boxes of the terminal: the message box and the path prompt that stand
// in for MessageBoxA and the common Open and Save dialogs. Each runs its own
// loop over the terminal's input until the user answers.
#pragma once

#include "term/cell_buffer.h"
#include "term/display.h"

#include <cstddef>
#include <string>

namespace winlayer {

class ModalBox {
  public:
    virtual ~ModalBox() = default;
    // Draws the box centred on area (the owner's window, or the screen).
    virtual void paint(CellBuffer &buffer, const CellRect &area) = 0;
    // True once the box has its answer. Esc always ends a box, with the
    // answer that gives nothing away (Cancel, No).
    virtual bool handle(const InputEvent &event) = 0;
    // Where the text cursor stands, for a box that edits text.
    virtual bool cursor(int *row, int *col) const;
};

// Shows a box above everything and feeds it input until it is done: the
// loop of whoever owns the screen (the Win32 layer's runModal).
using ModalLoop = void (*)(ModalBox &box);

// A message with a row of buttons; the index of the one pressed. Enter
// presses the focused button (the first at the start), Esc the one at
// escapeIndex, a button's first letter that button.
int askMessage(ModalLoop run, const char *caption, const char *text, const char *const *buttons,
               int count, int escapeIndex);

struct PathRequest {
    const char *caption;
    const char *acceptButton; // "&Save" or "&Open"
    const char *typeLine;     // the filter in use, as the dialog's type line shows it
    size_t maxLength;         // characters the caller's buffer holds, without the NUL
    bool confirmOverwrite;    // ask before accepting a file that exists
    const char *note;         // what the file is for, above the name; may be null
};

// An editable path, prefilled with path; true with the accepted path in it,
// false when cancelled.
bool askPath(ModalLoop run, const PathRequest &request, std::string &path);

} // namespace winlayer
