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

// Calls each(name, mask) for every set and named bit of value, in ascending
// bit order: the report's bit lines and the dialog's bit lists.
template <typename Each>
void forEachBitName(const char *const *names, uint16_t value, Each &&each) {
    for (unsigned bit = 0; bit < 16; ++bit)
        if ((value & (1u << bit)) != 0 && names[bit][0] != '\0')
            each(names[bit], 1u << bit);
}

// Writes one report line per set and named bit, in ascending bit order.
void writeBitNameLines(FILE *stream, const char *const *names, uint16_t value);

// The name of the DEVSEL timing in Status bits 9..10; never empty.
const char *devselName(uint16_t status);
