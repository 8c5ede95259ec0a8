#include "base/code_page.h"
#include "winres/resource_file.h"

#include "byte_builder.h"
#include "lumivar_res_data.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

using testing_support::ByteBuilder;

namespace {

// A TYPE or NAME field: a string when name is set, else an ordinal.
struct Id {
    const char *name;
    uint16_t ordinal;
};
Id ordinal(uint16_t value) {
    return Id{nullptr, value};
}
Id named(const char *name) {
    return Id{name, 0};
}

void putId(ByteBuilder &b, Id id) {
    if (id.name != nullptr)
        b.utf16(id.name);
    else
        b.u16(0xFFFF).u16(id.ordinal);
}

// Appends one resource entry as rc writes it; returns the offset of its header.
size_t addEntry(ByteBuilder &b, Id type, Id name, const std::vector<uint8_t> &data,
                uint16_t memoryFlags = 0x1030, uint16_t language = 0x0409) {
    const size_t at = b.size();
    b.u32(uint32_t(data.size())).u32(0);
    putId(b, type);
    putId(b, name);
    b.alignTo4();
    b.u32(0).u16(memoryFlags).u16(language).u32(0).u32(0);
    b.put32(at + 4, uint32_t(b.size() - at));
    b.raw(data).alignTo4();
    return at;
}

uint32_t headerSizeAt(const ByteBuilder &b, size_t at) {
    return uint32_t(b.bytes[at + 4] | b.bytes[at + 5] << 8 | b.bytes[at + 6] << 16 |
                    b.bytes[at + 7] << 24);
}

// The empty entry that starts every 32-bit file, then three resources.
struct Sample {
    ByteBuilder b;
    size_t icon = 0;
    size_t dialog = 0;
    size_t custom = 0;
};

Sample sampleFile() {
    Sample s;
    addEntry(s.b, ordinal(0), ordinal(0), {}, 0, 0);
    s.icon = addEntry(s.b, ordinal(RESOURCE_TYPE_ICON), ordinal(1), {1, 2, 3, 4, 5});
    s.dialog = addEntry(s.b, ordinal(RESOURCE_TYPE_DIALOG), named("KESTRIX"),
                        {9, 9, 9, 9, 9, 9, 9, 9}, 0x1030, 0x0407);
    s.custom = addEntry(s.b, named("MYDATA"), ordinal(7), {0x42});
    return s;
}

ResourceResult find(const std::vector<uint8_t> &file, ResourceKey type, ResourceKey name,
                    ResourceEntry *entry) {
    return findResource(file.data(), file.size(), type, name, entry);
}

TEST(FindResource, MatchesTypeAndNameAnyCase) {
    const Sample s = sampleFile();
    const ResourceKey dialog = resourceOrdinal(RESOURCE_TYPE_DIALOG);
    const ResourceKey icon = resourceOrdinal(RESOURCE_TYPE_ICON);
    const struct {
        const char *what;
        ResourceKey type;
        ResourceKey name;
        ResourceStatus status;
        uint32_t size;
    } cases[] = {
        {"name as stored", dialog, resourceNamed("KESTRIX"), ResourceStatus::Ok, 8},
        {"lower case", dialog, resourceNamed("kestrix"), ResourceStatus::Ok, 8},
        {"mixed case", dialog, resourceNamed("Kestrix"), ResourceStatus::Ok, 8},
        {"prefix of the name", dialog, resourceNamed("KESTRI"), ResourceStatus::NotFound, 0},
        {"name plus a letter", dialog, resourceNamed("KESTRIXX"), ResourceStatus::NotFound, 0},
        {"ordinal name", icon, resourceOrdinal(1), ResourceStatus::Ok, 5},
        {"other ordinal", icon, resourceOrdinal(2), ResourceStatus::NotFound, 0},
        {"digits are not an ordinal", icon, resourceNamed("1"), ResourceStatus::NotFound, 0},
        {"right name, wrong type", icon, resourceNamed("KESTRIX"), ResourceStatus::NotFound, 0},
        {"string type", resourceNamed("mydata"), resourceOrdinal(7), ResourceStatus::Ok, 1},
        {"string type, ordinal asked", resourceOrdinal(7), resourceOrdinal(7),
         ResourceStatus::NotFound, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ResourceEntry entry;
        const ResourceResult r = find(s.b.bytes, c.type, c.name, &entry);
        EXPECT_EQ(r.status, c.status) << r.message;
        EXPECT_EQ(entry.size, c.size);
        EXPECT_EQ(r.message[0] == '\0', c.status == ResourceStatus::Ok) << r.message;
    }
}

TEST(FindResource, ReturnsTheEntryFields) {
    const Sample s = sampleFile();
    ResourceEntry entry;
    const ResourceResult r =
        find(s.b.bytes, resourceOrdinal(RESOURCE_TYPE_DIALOG), resourceNamed("kestrix"), &entry);
    ASSERT_EQ(r.status, ResourceStatus::Ok) << r.message;
    EXPECT_TRUE(entry.type.isOrdinal);
    EXPECT_EQ(entry.type.ordinal, RESOURCE_TYPE_DIALOG);
    EXPECT_FALSE(entry.name.isOrdinal);
    EXPECT_STREQ(entry.name.name, "KESTRIX");
    EXPECT_EQ(entry.memoryFlags, 0x1030);
    EXPECT_EQ(entry.languageId, 0x0407);
    EXPECT_EQ(entry.data, s.b.bytes.data() + s.dialog + headerSizeAt(s.b, s.dialog));
    EXPECT_EQ(entry.size, 8u);
}

TEST(FindResource, DamagedFiles) {
    const struct {
        const char *what;
        void (*damage)(Sample &);
        ResourceStatus status;
    } cases[] = {
        {"empty buffer", [](Sample &s) { s.b.bytes.clear(); }, ResourceStatus::NotResourceFile},
        {"no empty first entry (16-bit file)", [](Sample &s) { s.b.put32(0, 5); },
         ResourceStatus::NotResourceFile},
        {"shorter than the empty entry", [](Sample &s) { s.b.bytes.resize(20); },
         ResourceStatus::NotResourceFile},
        {"cut inside DataSize and HeaderSize", [](Sample &s) { s.b.bytes.resize(s.dialog + 6); },
         ResourceStatus::Truncated},
        {"cut inside the type ordinal", [](Sample &s) { s.b.bytes.resize(s.dialog + 10); },
         ResourceStatus::Truncated},
        {"cut inside the name", [](Sample &s) { s.b.bytes.resize(s.dialog + 18); },
         ResourceStatus::Truncated},
        {"cut inside the fixed fields",
         [](Sample &s) { s.b.bytes.resize(s.dialog + headerSizeAt(s.b, s.dialog) - 4); },
         ResourceStatus::Truncated},
        {"cut after a complete entry, inside the next header",
         [](Sample &s) { s.b.bytes.resize(s.custom + 2); }, ResourceStatus::Truncated},
        {"header size not a multiple of 4",
         [](Sample &s) { s.b.put32(s.dialog + 4, headerSizeAt(s.b, s.dialog) + 2); },
         ResourceStatus::Misaligned},
        {"header size smaller than its fields",
         [](Sample &s) { s.b.put32(s.dialog + 4, headerSizeAt(s.b, s.dialog) - 4); },
         ResourceStatus::BadHeaderSize},
        {"header size larger than its fields",
         [](Sample &s) { s.b.put32(s.dialog + 4, headerSizeAt(s.b, s.dialog) + 4); },
         ResourceStatus::BadHeaderSize},
        {"data size past the end",
         [](Sample &s) { s.b.put32(s.custom, uint32_t(s.b.size() - s.custom)); },
         ResourceStatus::DataPastEnd},
        {"data size near 4 GiB", [](Sample &s) { s.b.put32(s.icon, 0xFFFFFFFC); },
         ResourceStatus::DataPastEnd},
        {"cut inside the data",
         [](Sample &s) { s.b.bytes.resize(s.custom + headerSizeAt(s.b, s.custom)); },
         ResourceStatus::DataPastEnd},
        {"a name of 64 characters",
         [](Sample &s) { addEntry(s.b, ordinal(6), named(std::string(64, 'N').c_str()), {}); },
         ResourceStatus::NameTooLong},
        {"a name of 63 characters is kept",
         [](Sample &s) { addEntry(s.b, ordinal(6), named(std::string(63, 'N').c_str()), {}); },
         ResourceStatus::Ok},
        {"no padding after the last data", [](Sample &s) { s.b.bytes.resize(s.b.size() - 3); },
         ResourceStatus::Ok},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Sample s = sampleFile();
        c.damage(s);
        // An exact-size copy, so that a read past the end is caught by the
        // sanitizer build.
        const std::vector<uint8_t> file(s.b.bytes);
        ResourceEntry entry;
        const ResourceResult r =
            find(file, resourceOrdinal(RESOURCE_TYPE_DIALOG), resourceNamed("KESTRIX"), &entry);
        EXPECT_EQ(r.status, c.status) << r.message;
        if (c.status != ResourceStatus::Ok) {
            EXPECT_NE(r.message[0], '\0');
            EXPECT_EQ(entry.data, nullptr);
        }
    }
}

TEST(ReadResourceEntry, OffsetPastTheEnd) {
    const Sample s = sampleFile();
    const size_t offsets[] = {s.b.size(), s.b.size() + 1, size_t(-1)};
    for (size_t offset : offsets) {
        ResourceEntry entry;
        size_t next = 0;
        const ResourceResult r =
            readResourceEntry(s.b.bytes.data(), s.b.size(), offset, &entry, &next);
        EXPECT_EQ(r.status, ResourceStatus::Truncated) << offset;
    }
}

// The compiled script holds the icon image, the icon group and the dialog,
// and nothing else.
TEST(ReadResourceEntry, CompiledScriptContents) {
    std::set<std::pair<int, std::string>> found;
    size_t offset = 32;
    while (offset < LUMIVAR_RES_SIZE) {
        ResourceEntry entry;
        size_t next = 0;
        const ResourceResult r =
            readResourceEntry(LUMIVAR_RES, LUMIVAR_RES_SIZE, offset, &entry, &next);
        ASSERT_EQ(r.status, ResourceStatus::Ok) << r.message;
        ASSERT_GT(next, offset);
        ASSERT_TRUE(entry.type.isOrdinal);
        found.emplace(entry.type.ordinal,
                      entry.name.isOrdinal ? std::to_string(entry.name.ordinal) : entry.name.name);
        offset = next;
    }
    const std::set<std::pair<int, std::string>> expected{
        {RESOURCE_TYPE_ICON, "1"},
        {RESOURCE_TYPE_DIALOG, "KESTRIX"},
        {RESOURCE_TYPE_GROUP_ICON, "MORVANEX_ICON"},
    };
    EXPECT_EQ(found, expected);
}

// Every prefix of the compiled file is either a shorter valid file or an
// error; the reader never reads past the end of what it is given.
TEST(FindResource, EveryPrefixOfTheCompiledFile) {
    for (size_t size = 0; size < LUMIVAR_RES_SIZE; ++size) {
        const std::vector<uint8_t> prefix(LUMIVAR_RES, LUMIVAR_RES + size);
        ResourceEntry entry;
        const ResourceResult r = find(prefix, resourceOrdinal(RESOURCE_TYPE_GROUP_ICON),
                                      resourceNamed("MORVANEX_ICON"), &entry);
        if (r.status == ResourceStatus::Ok) {
            EXPECT_LE(entry.data + entry.size, prefix.data() + prefix.size()) << size;
        } else {
            EXPECT_NE(r.message[0], '\0') << size;
        }
    }
}

std::vector<uint8_t> iconGroup(uint16_t reserved, uint16_t type, uint16_t count, int entries,
                               uint8_t width) {
    ByteBuilder b;
    b.u16(reserved).u16(type).u16(count);
    for (int i = 0; i < entries; ++i)
        b.u8(width).u8(32).u8(16).u8(0).u16(1).u16(4).u32(744).u16(uint16_t(i + 1));
    return b.bytes;
}

TEST(ReadIconGroup, Directories) {
    const struct {
        const char *what;
        std::vector<uint8_t> data;
        ResourceStatus status;
        int count;
        int width;
    } cases[] = {
        {"one image", iconGroup(0, 1, 1, 1, 32), ResourceStatus::Ok, 1, 32},
        {"width 0 means 256", iconGroup(0, 1, 1, 1, 0), ResourceStatus::Ok, 1, 256},
        {"no images", iconGroup(0, 1, 0, 0, 32), ResourceStatus::Ok, 0, 0},
        {"shorter than the directory", {0, 0, 1, 0}, ResourceStatus::Truncated, 0, 0},
        {"reserved not zero", iconGroup(1, 1, 1, 1, 32), ResourceStatus::BadIconGroup, 0, 0},
        {"a cursor group", iconGroup(0, 2, 1, 1, 32), ResourceStatus::BadIconGroup, 0, 0},
        {"count beyond the entries", iconGroup(0, 1, 2, 1, 32), ResourceStatus::Truncated, 0, 0},
        {"more images than read", iconGroup(0, 1, 17, 17, 32), ResourceStatus::BadIconGroup, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t> data(c.data);
        IconGroup group;
        const ResourceResult r = readIconGroup(data.data(), data.size(), &group);
        EXPECT_EQ(r.status, c.status) << r.message;
        EXPECT_EQ(group.count, c.count);
        if (c.count > 0) {
            EXPECT_EQ(group.images[0].width, c.width);
            EXPECT_EQ(group.images[0].height, 32);
            EXPECT_EQ(group.images[0].colorCount, 16);
            EXPECT_EQ(group.images[0].planes, 1);
            EXPECT_EQ(group.images[0].bitCount, 4);
            EXPECT_EQ(group.images[0].bytes, 744u);
            EXPECT_EQ(group.images[0].id, 1);
        }
    }
}

TEST(AnsiFromCodePoint, Windows1252) {
    const struct {
        uint32_t codePoint;
        unsigned char byte;
    } cases[] = {
        {0x0041, 'A'},  {0x007F, 0x7F}, {0x00A0, 0xA0}, {0x00E9, 0xE9}, {0x00FF, 0xFF},
        {0x20AC, 0x80}, {0x2122, 0x99}, {0x0178, 0x9F}, {0x201C, 0x93}, {0x0081, 0x81},
        {0x009D, 0x9D}, {0x0080, '?'},  {0x009F, '?'},  {0x0100, '?'},  {0x0416, '?'},
        {0xD800, '?'},  {0xFFFF, '?'},  {0x1F600, '?'},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(static_cast<unsigned char>(ansiFromCodePoint(c.codePoint)), c.byte)
            << std::hex << c.codePoint;
    }
}

TEST(ReadUtf16String, BoundsAndSurrogates) {
    const struct {
        const char *what;
        std::vector<uint16_t> units;
        size_t cutBytes; // removed from the end of the buffer
        size_t outSize;
        Utf16Status status;
        const char *text;
        size_t consumed;
    } cases[] = {
        {"plain", {'A', 'B', 0}, 0, 8, Utf16Status::Ok, "AB", 6},
        {"empty", {0}, 0, 8, Utf16Status::Ok, "", 2},
        {"exact fit", {'A', 'B', 0}, 0, 3, Utf16Status::Ok, "AB", 6},
        {"one too many", {'A', 'B', 'C', 0}, 0, 3, Utf16Status::TooLong, "AB", 0},
        {"no terminator", {'A', 'B'}, 0, 8, Utf16Status::Unterminated, "AB", 0},
        {"terminator cut in half", {'A', 0}, 1, 8, Utf16Status::Unterminated, "A", 0},
        {"surrogate pair is one character",
         {0xD83D, 0xDE00, 'x', 0},
         0,
         8,
         Utf16Status::Ok,
         "?x",
         8},
        {"lone high surrogate", {0xD800, 'x', 0}, 0, 8, Utf16Status::Ok, "?x", 6},
        {"lone low surrogate", {0xDC00, 0}, 0, 8, Utf16Status::Ok, "?", 4},
        {"high surrogate at the end", {0xD800}, 0, 8, Utf16Status::Unterminated, "?", 0},
        {"Latin-1 and Windows-1252", {0xE9, 0x20AC, 0}, 0, 8, Utf16Status::Ok, "\xE9\x80", 6},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ByteBuilder b;
        b.units(c.units);
        b.bytes.resize(b.size() - c.cutBytes);
        size_t offset = 0;
        char out[8] = "garbage";
        const Utf16Status status =
            readUtf16String(b.bytes.data(), b.size(), &offset, out, c.outSize);
        EXPECT_EQ(status, c.status);
        EXPECT_STREQ(out, c.text);
        EXPECT_EQ(offset, c.consumed);
    }
}

TEST(ReadUtf16String, StartPastTheEnd) {
    const uint8_t bytes[4] = {'A', 0, 0, 0};
    for (size_t start : {size_t(3), size_t(4), size_t(5)}) {
        size_t offset = start;
        char out[4];
        EXPECT_EQ(readUtf16String(bytes, sizeof bytes, &offset, out, sizeof out),
                  Utf16Status::Unterminated);
        EXPECT_EQ(offset, start);
    }
}

} // namespace
