// Names of the command and status register bits and of the DEVSEL timing.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int COMMAND_BIT_NAMES = 16;
constexpr int STATUS_BIT_NAMES = 20; // 16 bits, then the four DEVSEL timings
constexpr int DEVSEL_NAME_BASE = 16;

// Entry i names bit i; an empty entry is never listed.
extern const char *const CommandBitNames[COMMAND_BIT_NAMES];
extern const char *const StatusBitNames[STATUS_BIT_NAMES];

// Writes one report line per set and named bit, in ascending bit order.
void writeBitNameLines(FILE *stream, const char *const *names, uint16_t value);

// The name of the DEVSEL timing in Status bits 9..10; never empty.
const char *devselName(uint16_t status);
