// The writer of saved dumps, in the text format that lspci -xxx prints and
// lspci -F and our own dump reader read back. A saved dump is a capture, not
// a view: it holds every function of the source, past the scan's bounds.
#pragma once

#include "access/config_channel.h"
#include "scan/device_table.h"

#include <cstdint>
#include <cstdio>
#include <vector>

// Writes every function that the channel's source holds, all domains and all
// buses, in address order; those that cannot be read go to unreadable.
void saveDump(FILE *out, ConfigChannel &channel, std::vector<FunctionAddress> &unreadable);

// One function's block: "BB:DD.F class: names" ("DDDD:BB:DD.F" outside
// domain 0), 16 lines of 16 bytes, a blank line.
void writeDumpFunction(FILE *out, const FunctionAddress &at, const DeviceRecord &record,
                       const uint8_t *bytes);
