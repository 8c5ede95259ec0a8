// The writer of saved dumps, in the text format that lspci -xxx prints and
// lspci -F and our own dump reader read back.
#pragma once

#include "access/config_channel.h"
#include "scan/device_table.h"

#include <cstdint>
#include <cstdio>

// Writes every function of the table that can be read: "BB:DD.F names",
// 16 lines of 16 bytes, a blank line.
void saveDump(FILE *out, ConfigChannel &channel, const DeviceTable &table,
              ReadFailureHandler &failures);

// One function's block of the dump.
void writeDumpFunction(FILE *out, const DeviceRecord &record, const uint8_t *bytes);
