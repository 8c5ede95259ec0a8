// The name database (pcidevs.txt): lines "V vvvv name", "D dddd name",
// "O ssvv name", "S ssss name" and "R rr name" forming a tree by their order.
// One pass names the stored functions; branches that name none are skipped.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int NAME_SIZE = 80; // 79 characters and a NUL

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

// Names count functions from an open text stream (read to its end).
void loadNameDatabaseFrom(FILE *stream, FunctionNames *const *functions, int count);
