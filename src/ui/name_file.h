// The name database as the application finds it: pcidevs.txt in the current
// directory, or a file chosen in the Open dialog when that is missing.
#pragma once

#include "ui/app_state.h"

// Names the table from the name database (pcidevs.txt in the current
// directory unless a path is set), or from a file chosen in the Open dialog
// when that is missing. 1 when a file was read.
int loadNameDatabase(HWND owner);

// The name database that loadNameDatabase reads instead of ./pcidevs.txt (the
// Linux entry's --names); null or "" goes back to pcidevs.txt.
void setNameDatabasePath(const char *path);
