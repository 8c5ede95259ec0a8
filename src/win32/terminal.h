// The terminal that the Win32 layer draws its windows on and takes the user's
// input from. The program's entry attaches one before the message loop runs.
#pragma once

class Display;

// From now on windows are drawn on display, and GetMessageA and the modal
// boxes wait for its input. restore (may be null) gives the terminal back to
// the shell before a failure of the layer is printed.
void attachTerminal(Display *display, void (*restore)());

// Windows are no longer drawn; the display may be closed.
void detachTerminal();

// The keys of the program's window, shown in a box on F1 or ?; none when empty.
void setKeyHelp(const char *text);

// A line for the Open prompt that says what the file is for: the Win32 Open
// dialog has no place for it, a terminal prompt does.
void setOpenPromptNote(const char *text);
