// The name database (pcidevs.txt): lines "V vvvv name", "D dddd name",
// "O ssvv name", "S ssss name" and "R rr name" forming a tree by their order.
// One pass names the stored functions; branches that name none are skipped.
#pragma once

#include "access/device_table.h"

#include <cstdint>
#include <cstdio>

// Reads digits (0-9, A-Z, a-z as 10..35) from the start of text in the low
// 8 bits of base, wrapping modulo 2^32; stops at the first other character.
uint32_t parseNumber(unsigned base, const char *text);

// Names the table's records from an open text stream (read to its end).
void loadNameDatabaseFrom(FILE *stream, DeviceTable &table);
