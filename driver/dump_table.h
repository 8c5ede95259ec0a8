// The functions of a dump in the lspci -xxx text format, parsed once when the
// driver starts and then looked up by bus and slot byte. Callable from C; no
// allocation inside, the caller owns every buffer.
#pragma once

#ifdef __cplusplus
#include <cstddef>
#include <cstdint>
extern "C" {
#else
#include <stddef.h>
#include <stdint.h>
#endif

#define DUMP_ENTRY_BYTES 256
#define DUMP_ERROR_SIZE 320

typedef struct DumpEntry {
    uint8_t bus;
    uint8_t slot; // device in bits 0..4, function in bits 5..7
    uint8_t bytes[DUMP_ENTRY_BYTES];
    int line; // line of its header, for messages
} DumpEntry;

// Receives a function that is read but left out, with the reason.
typedef void (*DumpNoteHandler)(int line, const char *message);

// The most functions that a dump of length bytes can hold: each takes three
// characters or more for each of its 256 bytes. A table this large is never
// too small for that text.
size_t dumpTableCapacity(size_t length);

// Counts the functions of the whole text of a dump. Returns their number, or
// -1 with a one-line cause ("LINE: what is wrong") in error.
long countDumpFunctions(const char *text, size_t length, char *error, size_t errorSize);

// Parses the text and stores its functions, at most capacity, in lspci order
// (bus, device, function), ready for findDumpEntry; notes may be null.
// Returns the number stored, or -1 with the cause in error: a malformed dump,
// a function given twice, or more functions than capacity.
long loadDumpFunctions(const char *text, size_t length, DumpEntry *entries, size_t capacity,
                       DumpNoteHandler notes, char *error, size_t errorSize);

// The stored function at bus and slot byte, or null.
const DumpEntry *findDumpEntry(const DumpEntry *entries, size_t count, uint8_t bus, uint8_t slot);

#ifdef __cplusplus
}
#endif
