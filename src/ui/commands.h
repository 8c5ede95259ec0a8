// The dialog's commands beyond stepping: the two report buttons.
#pragma once

#include "ui/app_state.h"

#include <cstdint>

// Writes the report of function index, or of all when index >= count, to a
// file confirmed in the Save dialog. 1 when a stream was obtained.
int writeReport(HWND owner, uint16_t index);
