// The configuration-access channel: every view reads configuration space
// through it, one fresh 256-byte read per display, never cached.
#pragma once

#include "access/config_source.h"

#include <cstdint>
#include <vector>

struct ConfigChannel {
    ConfigSource *source = nullptr; // the access method behind this channel
    bool isOpen = false;            // the "valid handle": set by a successful open
    char error[SOURCE_ERROR_SIZE] = {};
};

// Opens the channel's source; false (with channel.error filled) when it fails.
bool openChannel(ConfigChannel &channel);
// Reads the function at bus/slot; both are cut to 8 bits first.
bool readConfig(ConfigChannel &channel, unsigned bus, unsigned slot, void *buffer);
// Every function the open channel's source holds, all domains and buses, in
// address order; empty when the channel is not open.
void listFunctions(ConfigChannel &channel, std::vector<FunctionAddress> &functions);
// The first 256 bytes of the function at a full address.
bool readFunction(ConfigChannel &channel, const FunctionAddress &at, void *buffer);
// The scan's read: true where readConfig would find a function, with at least
// the words at SCAN_WORD_OFFSETS of the 256-byte buffer filled.
bool readScanWords(ConfigChannel &channel, unsigned bus, unsigned slot, void *buffer);
// All the bytes the source has of the function, up to size (256 or 4096);
// 0 when it cannot be read.
size_t readFunctionSpace(ConfigChannel &channel, const FunctionAddress &at, uint8_t *buffer,
                         size_t size);
// The function's region sizes, where the source knows them.
bool readRegionSizes(ConfigChannel &channel, const FunctionAddress &at, RegionSizes &sizes);
// Closes the source if it is open; harmless to call twice or after a failed open.
void closeChannel(ConfigChannel &channel);
