#include "naming/bit_names.h"

#include "header/config_header.h"

const char *const CommandBitNames[COMMAND_BIT_NAMES] = {
    "I/O Space",
    "Memory Space",
    "Bus Master",
    "Special Cycles",
    "Memory Write/Invalidate",
    "VGA Palette Snoop",
    "Parity Error Enable",
    "Wait Cycle Control",
    "System Error Enable",
    "Fast Back-To-Back",
    "Interrupt Enable",
    "Reserved 11",
    "Reserved 12",
    "Reserved 13",
    "Reserved 14",
    "Reserved 15",
};

// Bits 9 and 10 are the DEVSEL field, named by entries 16..19 instead.
const char *const StatusBitNames[STATUS_BIT_NAMES] = {
    "Reserved 0",
    "Reserved 1",
    "Reserved 2",
    "Interrupt Status",
    "Capability List",
    "66 MHz Capable",
    "User-Defined Feature",
    "Fast Back-To-Back",
    "Master Data Parity Error",
    "",
    "",
    "Signalled Target Abort",
    "Received Target Abort",
    "Received Master Abort",
    "Signalled System Error",
    "Detected Parity Error",
    "Fast Devsel Speed",
    "Medium Devsel Speed",
    "Slow Devsel Speed",
    "Reserved 9&10",
};

void writeBitNameLines(FILE *stream, const char *const *names, uint16_t value) {
    forEachBitName(names, value, [stream](const char *name, unsigned mask) {
        char line[128];
        snprintf(line, sizeof line, "                            %04Xh - %s\n", mask, name);
        fputs(line, stream);
    });
}

const char *devselName(uint16_t status) {
    return StatusBitNames[DEVSEL_NAME_BASE + devselTiming(status)];
}
