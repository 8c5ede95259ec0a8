// The name database (pcidevs.txt): lines "V vvvv name", "D dddd name",
// "O ssvv name", "S ssss name" and "R rr name" forming a tree by their order.
// One pass names the stored functions; branches that name none are skipped.
#pragma once

#include "base/text_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr int NAME_SIZE = 80; // 79 characters and a NUL

// Far beyond any real database (pcidevs.txt has lines of about 100 characters
// and some 2 MB), so that endless input ends.
constexpr size_t NAME_LINE_LIMIT = 1024;
constexpr unsigned long long NAME_FILE_LIMIT = 64ull << 20;

enum NameKind {
    NAME_VENDOR = 0,
    NAME_DEVICE,
    NAME_SUBSYSTEM_VENDOR,
    NAME_SUBSYSTEM,
    NAME_REVISION
};
constexpr int NAME_KINDS = 5;

// One function's five identifiers and the names the database gives them.
struct FunctionNames {
    uint16_t ids[NAME_KINDS];
    char names[NAME_KINDS][NAME_SIZE];
};

// Reads digits (0-9, A-Z, a-z as 10..35) from the start of text in the low
// 8 bits of base, wrapping modulo 2^32; stops at the first other character.
uint32_t parseNumber(unsigned base, const char *text);

// How a load ended: TextEnd::END when the whole file was read; otherwise the
// names of the lines before the stop are kept.
struct NameLoadResult {
    TextEnd end;
    long line; // where reading stopped
    int error; // errno of a read error
};

// Names count functions from an open stream (read to its end by the text
// rules, within NAME_LINE_LIMIT and NAME_FILE_LIMIT), line by line. The
// reference for loadNameDatabaseBlock.
NameLoadResult loadNameDatabaseFrom(FILE *stream, FunctionNames *const *functions, int count);

// The same names from the raw bytes of a whole database file, in a fraction
// of the time: lines that cannot be considered at the current depth are
// passed over without being read. Returns false, with every name as it was,
// where the text rules would change what the line reader sees (a byte 1Ah, a
// CR not directly before a LF, a line longer than the reader takes at once)
// or the file is beyond NAME_FILE_LIMIT; the caller then reads the file
// through loadNameDatabaseFrom. Loaded, lines holds what the line reader's
// NameLoadResult would: the line feeds and one more.
bool loadNameDatabaseBlock(const char *bytes, size_t size, FunctionNames *const *functions,
                           int count, long &lines);
// The same over a mapped file, whose pages are let go as the reader passes.
bool loadNameDatabaseBlock(FileBlock &block, FunctionNames *const *functions, int count,
                           long &lines);

// "PATH:LINE: cause" for a load that did not reach the end.
void describeNameLoad(const NameLoadResult &result, const char *path, char *text, size_t size);
