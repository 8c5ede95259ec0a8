// The plain-text report of one function or of every function of the table.
#pragma once

#include "access/config_channel.h"
#include "header/config_header.h"
#include "scan/device_table.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Between a folder and a file name in the paths this system's users type.
#ifdef _WIN32
constexpr char PATH_SEPARATOR = '\\';
#else
constexpr char PATH_SEPARATOR = '/';
#endif

struct ReportTime {
    int hour, minute, second;
    int month, day, year;
};

// True when index names one function; otherwise the report covers them all.
inline bool reportsOneDevice(uint16_t index, uint16_t count) {
    return index < count;
}

// The file a report is proposed under: "pci-N.txt" (N = index + 1) or
// "pci-info.txt" appended to directory with PATH_SEPARATOR. A directory too
// long to fit with the name is dropped, leaving the bare name with its
// separator; never overruns.
void reportFileName(char *path, size_t size, const char *directory, uint16_t index, uint16_t count);

// Writes the heading and the block of function index (or of every function
// when index is not below count). Functions that cannot be read are left out
// and passed to failures.
void writeReportText(FILE *stream, ConfigChannel &channel, const DeviceTable &table, uint16_t index,
                     const ReportTime &time, ReadFailureHandler &failures);

// The 31 rows of one function, the separator included.
void writeFunctionBlock(FILE *stream, const DeviceRecord &record, const ConfigHeader &header);

// One line per 8 bytes: "   OOh : xxh xxh xxh xxh  xxh xxh xxh xxh".
void writeHexDumpLines(FILE *stream, uint16_t firstOffset, uint16_t count, const uint8_t *bytes);
