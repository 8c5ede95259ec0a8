// The Open or Save dialog, and the opening of the chosen file as a text stream.
#pragma once

#include "ui/app_state.h"

#include <cstdio>

constexpr int CHOOSER_PATH_SIZE = 256;

// The current directory, or "" when it does not fit (never a cut path).
void currentDirectory(char (&path)[CHOOSER_PATH_SIZE]);

// Runs the dialog; tests replace it to answer without a modal window.
using FileDialogRunner = BOOL (*)(OPENFILENAMEA *request, bool save);
extern FileDialogRunner fileDialogRunner;

// Fills the dialog request for path (the proposed, then the chosen, path).
void fillFileRequest(OPENFILENAMEA &request, HWND owner, char *path, bool save);

// mode "r..." or "R..." is the Open dialog, any other the Save dialog; the
// chosen file is opened in mode. Null when owner is null, when the user
// cancels, or when the file cannot be opened ("Unable to open '%s'" shown).
// The chosen path goes to chosenPath (CHOOSER_PATH_SIZE characters) if given.
FILE *FileChooser(HWND owner, const char *mode, const char *initialPath, const char *name,
                  char *chosenPath = nullptr);
