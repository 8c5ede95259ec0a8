// The application's operations that involve a window: naming the table from
// pcidevs.txt, writing reports, and filling a register's bit list.
#pragma once

#include "report/report.h"
#include "ui/app_state.h"

#include <cstdint>

// Names the table from the name database (pcidevs.txt in the current
// directory unless a path is set), or from a file chosen in the Open dialog
// when that is missing. 1 when a file was read.
int loadNameDatabase(HWND owner);

// The name database that loadNameDatabase reads instead of ./pcidevs.txt (the
// Linux entry's --names); null or "" goes back to pcidevs.txt.
void setNameDatabasePath(const char *path);

// Writes the report of function index, or of all when index >= count, to a
// file confirmed in the Save dialog. 1 when a stream was obtained.
int writeReport(HWND owner, uint16_t index);

// Lists the named set bits of value in a list box of the dialog.
void fillBitNameList(HWND dialog, int listId, const char *const *names, uint16_t value);

// The local time as the report's time line shows it.
ReportTime localReportTime();
