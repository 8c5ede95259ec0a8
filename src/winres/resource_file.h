// Reader of compiled resource files (.res, the 32-bit format that rc and
// windres write), so that the Linux build finds its dialog template and icon
// in the same bytes that are linked into lumivar.exe. Every length and offset
// is checked against the buffer: a damaged file gives an error message, never
// a read past its end. Nothing is allocated; results point into the buffer.
#pragma once

#include "base/code_page.h"

#include <cstddef>
#include <cstdint>

// Resource types by ordinal (RT_ICON, RT_DIALOG, RT_GROUP_ICON).
constexpr uint16_t RESOURCE_TYPE_ICON = 3;
constexpr uint16_t RESOURCE_TYPE_DIALOG = 5;
constexpr uint16_t RESOURCE_TYPE_GROUP_ICON = 14;

constexpr int RESOURCE_NAME_SIZE = 64; // names of at most 63 characters
constexpr int RESOURCE_MESSAGE_SIZE = 160;

enum class ResourceStatus {
    Ok,
    NotFound,
    Truncated,       // a header or a name ends past the end of the file
    NotResourceFile, // the file does not start with the empty entry of the 32-bit format
    BadHeaderSize,   // HeaderSize disagrees with the fields it holds
    Misaligned,      // HeaderSize is not a multiple of 4
    DataPastEnd,     // DataSize reaches past the end of the file
    NameTooLong,
};

struct ResourceResult {
    ResourceStatus status;
    char message[RESOURCE_MESSAGE_SIZE]; // empty when status is Ok
};

// A type or name as stored: an ordinal or a string (Windows-1252).
struct ResourceId {
    bool isOrdinal;
    uint16_t ordinal;
    char name[RESOURCE_NAME_SIZE];
};

struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    uint32_t dataVersion;
    uint16_t memoryFlags;
    uint16_t languageId;
    uint32_t version;
    uint32_t characteristics;
    const unsigned char *data; // inside the file buffer
    uint32_t size;
};

// What to look for: a string (name not null), else an ordinal.
struct ResourceKey {
    const char *name;
    uint16_t ordinal;
};
constexpr ResourceKey resourceOrdinal(uint16_t ordinal) {
    return ResourceKey{nullptr, ordinal};
}
constexpr ResourceKey resourceNamed(const char *name) {
    return ResourceKey{name, 0};
}

// Reads the entry whose header starts at offset; *next receives the offset of
// the following entry, which equals size after the last one.
ResourceResult readResourceEntry(const unsigned char *file, size_t size, size_t offset,
                                 ResourceEntry *entry, size_t *next);

// Finds the first resource of that type and name, in any language. String
// names match without regard to case, as Windows matches them. The whole file
// is checked, so a damaged file fails even if the resource comes before the
// damage.
ResourceResult findResource(const unsigned char *file, size_t size, ResourceKey type,
                            ResourceKey name, ResourceEntry *entry);

enum class Utf16Status { Ok, Unterminated, TooLong };

// Reads the NUL-terminated UTF-16LE string at bytes[*offset], reading nothing
// at or past end, into out as Windows-1252 (outSize includes the NUL). On Ok,
// *offset is moved past the terminator.
Utf16Status readUtf16String(const unsigned char *bytes, size_t end, size_t *offset, char *out,
                            size_t outSize);
