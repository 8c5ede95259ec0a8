// The rules of one database line, shared by the line reader
// (name_database.cpp) and the reader of a whole file in one block
// (name_database_block.cpp); used only inside naming/.
#pragma once

#include "naming/name_database.h"

#include <cstdint>

constexpr int NAME_LINE_SIZE = 256; // the line reader's buffer: 255 characters and a NUL

struct NameTag {
    int kind;  // NameKind the line names
    int level; // depth the line sets; also the number of ancestors it checks
};

// Only the five upper-case tags V, D, O, R, S make record lines.
inline bool nameTagOf(char tag, NameTag &info) {
    switch (tag) {
    case 'V': info = {NAME_VENDOR, 0}; return true;
    case 'D': info = {NAME_DEVICE, 1}; return true;
    case 'O': info = {NAME_SUBSYSTEM_VENDOR, 2}; return true;
    case 'R': info = {NAME_REVISION, 2}; return true;
    case 'S': info = {NAME_SUBSYSTEM, 3}; return true;
    default: return false;
    }
}

// The most recent considered line of each kind, if it named a function.
struct LastMatched {
    uint32_t number[NAME_KINDS];
    bool valid[NAME_KINDS];
};

// What the load carries from line to line.
struct NameLoadState {
    int depth = 0;
    LastMatched last{};
};

// parseNumber that stops at end too (null: no end but the first non-digit).
inline uint32_t parseNumberUntil(unsigned base, const char *text, const char *end) {
    const uint32_t radix = base & 0xFFu;
    uint32_t value = 0;
    for (const char *at = text; at != end; ++at) {
        const unsigned char c = static_cast<unsigned char>(*at);
        uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = c - 48u;
        else if (c >= 'A' && c <= 'Z')
            digit = c - 55u;
        else if (c >= 'a' && c <= 'z')
            digit = c - 87u;
        else
            break;
        value = value * radix + digit;
    }
    return value;
}

// The start of a considered line: depth drops to the line's level, and its
// kind's last match is gone until the line names a function.
void enterNameLine(const NameTag &tag, NameLoadState &state);

// One line as the line reader gives it: at most NAME_LINE_SIZE - 1
// characters, the line feed kept if it was reached, then a NUL.
void considerNameLine(const char *line, NameLoadState &state, FunctionNames *const *functions,
                      int count);

// After the last line: a subsystem name equal to its subsystem vendor's is
// emptied, then a subsystem vendor name equal to the device's.
void clearRepeatedNames(FunctionNames *const *functions, int count);
