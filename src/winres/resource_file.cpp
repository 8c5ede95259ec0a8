#include "winres/resource_file.h"

#include "base/code_page.h"

#include <cstdarg>
#include <cstdio>

namespace {

constexpr size_t ENTRY_PREFIX = 8;        // DataSize, HeaderSize
constexpr size_t ENTRY_FIXED_FIELDS = 16; // DataVersion .. Characteristics
constexpr size_t EMPTY_ENTRY_SIZE = 32;

uint16_t le16(const unsigned char *p) {
    return uint16_t(p[0] | p[1] << 8);
}

uint32_t le32(const unsigned char *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

size_t alignUp4(size_t value) {
    return (value + 3) & ~size_t(3);
}

ResourceResult ok() {
    return ResourceResult{ResourceStatus::Ok, {}};
}

ResourceResult fail(ResourceStatus status, const char *format, ...) {
    ResourceResult result{status, {}};
    va_list args;
    va_start(args, format);
    vsnprintf(result.message, sizeof result.message, format, args);
    va_end(args);
    return result;
}

bool matches(const ResourceId &id, ResourceKey key) {
    if (key.name == nullptr)
        return id.isOrdinal && id.ordinal == key.ordinal;
    return !id.isOrdinal && sameName(id.name, key.name);
}

// Reads a TYPE or NAME field at *pos: 0xFFFF and an ordinal, or a string.
ResourceResult readId(const unsigned char *file, size_t size, size_t entryOffset, size_t *pos,
                      const char *what, ResourceId *id) {
    *id = ResourceId{};
    if (size - *pos < 2)
        return fail(ResourceStatus::Truncated,
                    "resource at offset 0x%zX: the %s ends past the end of the file", entryOffset,
                    what);
    if (le16(file + *pos) == 0xFFFF) {
        if (size - *pos < 4)
            return fail(ResourceStatus::Truncated,
                        "resource at offset 0x%zX: the %s ends past the end of the file",
                        entryOffset, what);
        id->isOrdinal = true;
        id->ordinal = le16(file + *pos + 2);
        *pos += 4;
        return ok();
    }
    switch (readUtf16String(file, size, pos, id->name, sizeof id->name)) {
    case Utf16Status::Ok: return ok();
    case Utf16Status::Unterminated:
        return fail(ResourceStatus::Truncated,
                    "resource at offset 0x%zX: the %s ends past the end of the file", entryOffset,
                    what);
    case Utf16Status::TooLong:
        return fail(ResourceStatus::NameTooLong,
                    "resource at offset 0x%zX: the %s is longer than %d characters", entryOffset,
                    what, RESOURCE_NAME_SIZE - 1);
    }
    return ok();
}

bool startsWithEmptyEntry(const unsigned char *file, size_t size) {
    return size >= EMPTY_ENTRY_SIZE && le32(file) == 0 && le32(file + 4) == EMPTY_ENTRY_SIZE &&
           le32(file + 8) == 0x0000FFFF && le32(file + 12) == 0x0000FFFF;
}

} // namespace

ResourceResult readResourceEntry(const unsigned char *file, size_t size, size_t offset,
                                 ResourceEntry *entry, size_t *next) {
    *entry = ResourceEntry{};
    if (offset > size || size - offset < ENTRY_PREFIX)
        return fail(ResourceStatus::Truncated,
                    "resource at offset 0x%zX: the header ends past the end of the file (%zu "
                    "bytes)",
                    offset, size);
    const uint32_t dataSize = le32(file + offset);
    const uint32_t headerSize = le32(file + offset + 4);
    if (headerSize % 4 != 0)
        return fail(ResourceStatus::Misaligned,
                    "resource at offset 0x%zX: header size %u is not a multiple of 4", offset,
                    unsigned(headerSize));

    size_t pos = offset + ENTRY_PREFIX;
    ResourceResult result = readId(file, size, offset, &pos, "type", &entry->type);
    if (result.status != ResourceStatus::Ok)
        return result;
    result = readId(file, size, offset, &pos, "name", &entry->name);
    if (result.status != ResourceStatus::Ok)
        return result;
    pos = offset + alignUp4(pos - offset);
    if (pos > size || size - pos < ENTRY_FIXED_FIELDS)
        return fail(ResourceStatus::Truncated,
                    "resource at offset 0x%zX: the header ends past the end of the file (%zu "
                    "bytes)",
                    offset, size);
    const size_t fieldsSize = pos + ENTRY_FIXED_FIELDS - offset;
    if (headerSize != fieldsSize)
        return fail(ResourceStatus::BadHeaderSize,
                    "resource at offset 0x%zX: header size %u, but its fields take %zu bytes",
                    offset, unsigned(headerSize), fieldsSize);
    entry->dataVersion = le32(file + pos);
    entry->memoryFlags = le16(file + pos + 4);
    entry->languageId = le16(file + pos + 6);
    entry->version = le32(file + pos + 8);
    entry->characteristics = le32(file + pos + 12);

    const size_t dataOffset = offset + headerSize;
    if (dataSize > size - dataOffset)
        return fail(ResourceStatus::DataPastEnd,
                    "resource at offset 0x%zX: %u bytes of data from offset 0x%zX run past the "
                    "end of the file (%zu bytes)",
                    offset, unsigned(dataSize), dataOffset, size);
    entry->data = file + dataOffset;
    entry->size = dataSize;
    // The padding after the last entry's data may be missing.
    const size_t dataEnd = dataOffset + dataSize;
    const size_t padded = alignUp4(dataEnd);
    *next = padded <= size ? padded : size;
    return ok();
}

ResourceResult findResource(const unsigned char *file, size_t size, ResourceKey type,
                            ResourceKey name, ResourceEntry *entry) {
    *entry = ResourceEntry{};
    if (!startsWithEmptyEntry(file, size))
        return fail(ResourceStatus::NotResourceFile,
                    "not a 32-bit resource file: it does not start with the empty entry");
    bool found = false;
    ResourceEntry current{};
    for (size_t offset = EMPTY_ENTRY_SIZE; offset < size;) {
        size_t next = 0;
        const ResourceResult result = readResourceEntry(file, size, offset, &current, &next);
        if (result.status != ResourceStatus::Ok) {
            *entry = ResourceEntry{};
            return result;
        }
        if (!found && matches(current.type, type) && matches(current.name, name)) {
            *entry = current;
            found = true;
        }
        offset = next;
    }
    if (found)
        return ok();
    char typeText[24];
    if (type.name == nullptr)
        snprintf(typeText, sizeof typeText, "type %u", unsigned(type.ordinal));
    else
        snprintf(typeText, sizeof typeText, "type \"%.16s\"", type.name);
    if (name.name == nullptr)
        return fail(ResourceStatus::NotFound, "no resource of %s named %u", typeText,
                    unsigned(name.ordinal));
    return fail(ResourceStatus::NotFound, "no resource of %s named \"%.64s\"", typeText, name.name);
}

Utf16Status readUtf16String(const unsigned char *bytes, size_t end, size_t *offset, char *out,
                            size_t outSize) {
    size_t pos = *offset;
    size_t length = 0;
    Utf16Status status = Utf16Status::Ok;
    for (;;) {
        if (pos > end || end - pos < 2) {
            status = Utf16Status::Unterminated;
            break;
        }
        const uint16_t unit = le16(bytes + pos);
        pos += 2;
        if (unit == 0)
            break;
        uint32_t codePoint = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF && end - pos >= 2) {
            const uint16_t low = le16(bytes + pos);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                codePoint = 0x10000 + ((uint32_t(unit) - 0xD800) << 10) + (low - 0xDC00);
                pos += 2;
            }
        }
        if (length + 1 >= outSize) {
            status = Utf16Status::TooLong;
            break;
        }
        out[length++] = ansiFromCodePoint(codePoint);
    }
    if (outSize > 0)
        out[length] = '\0';
    if (status == Utf16Status::Ok)
        *offset = pos;
    return status;
}
