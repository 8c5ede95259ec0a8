// The deeper view of --details and --json: every function the source holds,
// all domains and buses, with all the bytes it has (the extended space of
// PCI Express included) and the region sizes where the source knows them,
// chosen by lspci's selectors.
#pragma once

#include "access/config_channel.h"
#include "naming/name_database.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

// Which functions to show; -1 in a part takes any value.
struct FunctionFilter {
    int64_t domain = -1;
    int bus = -1, device = -1, function = -1;
    int vendorId = -1, deviceId = -1;
};

// "-s [[[DOMAIN]:]BUS:][DEVICE][.[FUNCTION]]": each part in hex, and an
// empty part or "*" takes any value. False, with the cause, if malformed.
bool parseSlotFilter(const char *text, FunctionFilter &filter, char *message, size_t size);
// "-d [VENDOR]:[DEVICE]", the same way.
bool parseIdFilter(const char *text, FunctionFilter &filter, char *message, size_t size);

bool selectsAddress(const FunctionFilter &filter, const FunctionAddress &at);
bool selectsIds(const FunctionFilter &filter, uint16_t vendorId, uint16_t deviceId);

enum class DeepViewFormat { Text, Json };

// Reads every function that the filter selects, names them from an open
// name database (null: unnamed) and writes them in address order. Functions
// that cannot be read are left out and added to unreadable. A name database
// that cannot be read to its end writes nothing; the result says why.
NameLoadResult writeDeepView(FILE *out, ConfigChannel &channel, const FunctionFilter &filter,
                             FILE *names, DeepViewFormat format,
                             std::vector<FunctionAddress> &unreadable);
