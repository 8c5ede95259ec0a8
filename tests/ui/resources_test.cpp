// The compiled resources of lumivar.rc as the Linux build reads them: every
// entry, the whole dialog template and the icon group as golden text, and the
// readers' answers to damaged and cut copies of the same bytes.
#include "base/code_page.h"
#include "winres/dialog_template.h"
#include "winres/resource_file.h"

#include "golden.h"
#include "lumivar_res_data.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

const Bytes RES(LUMIVAR_RES, LUMIVAR_RES + LUMIVAR_RES_SIZE);

std::string format(const char *fmt, auto... values) {
    std::string text(size_t(snprintf(nullptr, 0, fmt, values...)), '\0');
    snprintf(text.data(), text.size() + 1, fmt, values...);
    return text;
}

std::string ref(const auto &r) {
    return r.kind == DialogRefKind::None      ? "-"
           : r.kind == DialogRefKind::Ordinal ? format("#%u", r.ordinal) + (r.name[0] ? "=" : "")
                                              : "";
}

std::string id(const ResourceId &r) {
    return r.isOrdinal ? format("#%u", r.ordinal) : format("\"%s\"", r.name);
}

DialogTemplate parsed; // large: static storage

TEST(CompiledResources, AsGoldenText) {
    std::string text;
    ResourceEntry entry;
    for (size_t offset = 32, next; offset < RES.size(); offset = next) {
        ASSERT_EQ(readResourceEntry(RES.data(), RES.size(), offset, &entry, &next).status,
                  ResourceStatus::Ok);
        text += format("resource type %s name %s language %04X, %u bytes\n", id(entry.type).c_str(),
                       id(entry.name).c_str(), entry.languageId, entry.size);
    }
    ASSERT_EQ(findResource(RES.data(), RES.size(), resourceOrdinal(RESOURCE_TYPE_GROUP_ICON),
                           resourceNamed("MORVANEX_ICON"), &entry)
                  .status,
              ResourceStatus::Ok);
    IconGroup icons;
    ASSERT_EQ(readIconGroup(entry.data, entry.size, &icons).status, ResourceStatus::Ok);
    for (int i = 0; i < icons.count; ++i) {
        const IconGroupImage &m = icons.images[i];
        text += format("icon #%u: %dx%d, %u colours, %u planes, %u bits, %u bytes\n", m.id, m.width,
                       m.height, m.colorCount, m.planes, m.bitCount, m.bytes);
    }
    ASSERT_EQ(findResource(RES.data(), RES.size(), resourceOrdinal(RESOURCE_TYPE_DIALOG),
                           resourceNamed("kestrix"), &entry)
                  .status,
              ResourceStatus::Ok);
    const DialogResult r = parseDialogTemplate(entry.data, entry.size, &parsed);
    ASSERT_EQ(r.status, DialogStatus::Ok) << r.message;
    const DialogTemplate &d = parsed;
    text +=
        format("dialog version %u signature %04X help %u exstyle %08X style %08X, %u controls "
               "at %d,%d size %d,%d menu %s class %s%s \"%s\"\n",
               d.version, d.signature, d.helpId, d.exStyle, d.style, d.itemCount, d.x, d.y, d.cx,
               d.cy, ref(d.menu).c_str(), ref(d.windowClass).c_str(), d.windowClass.name, d.title);
    text += format("font %u pt weight %u italic %u charset %u \"%s\"\n", d.font.pointSize,
                   d.font.weight, d.font.italic, d.font.charset, d.font.typeface);
    for (int i = 0; i < d.itemCount; ++i) {
        const DialogItem &c = d.items[i];
        text +=
            format("%3d id %4d %s%-15s \"%s\" %d,%d %dx%d style %08X exstyle %08X help %u "
                   "data %u\n",
                   i + 1, int(c.id), ref(c.windowClass).c_str(), c.windowClass.name, c.title.name,
                   c.x, c.y, c.cx, c.cy, c.style, c.exStyle, c.helpId, c.extraCount);
    }
    testing_support::expectGolden("lumivar-res.txt", text);
}

// Windows' rules: any case, accented letters included; no prefix matches.
TEST(CompiledResources, NamesMatchWithoutRegardToCase) {
    const struct {
        uint16_t type;
        const char *name;
        ResourceStatus status;
    } rows[] = {
        {RESOURCE_TYPE_DIALOG, "KESTRIX", ResourceStatus::Ok},
        {RESOURCE_TYPE_DIALOG, "Kestrix", ResourceStatus::Ok},
        {RESOURCE_TYPE_DIALOG, "KESTRI", ResourceStatus::NotFound},
        {RESOURCE_TYPE_DIALOG, "KESTRIXX", ResourceStatus::NotFound},
        {RESOURCE_TYPE_GROUP_ICON, "morvanex_icon", ResourceStatus::Ok},
        {RESOURCE_TYPE_ICON, "KESTRIX", ResourceStatus::NotFound},
    };
    for (const auto &r : rows) {
        ResourceEntry entry;
        EXPECT_EQ(findResource(RES.data(), RES.size(), resourceOrdinal(r.type),
                               resourceNamed(r.name), &entry)
                      .status,
                  r.status)
            << r.name;
    }
    EXPECT_TRUE(sameName("\xC9t\xE9 \x8A\xFF", "\xE9T\xC9 \x9A\x9F")); // Été Šÿ
    EXPECT_FALSE(sameName("\xDF", "SS"));
}

// Cut anywhere, either reader says so and reads nothing past the end (each
// prefix is its own exact-size buffer for the sanitizer build).
TEST(CompiledResources, EveryPrefixIsRefused) {
    for (size_t size = 0; size < RES.size(); ++size) {
        const Bytes cut(RES.begin(), RES.begin() + long(size));
        ResourceEntry entry;
        const ResourceResult r =
            findResource(cut.data(), cut.size(), resourceOrdinal(1), resourceOrdinal(1), &entry);
        // A cut in the padding after the last entry's data leaves it whole.
        if (r.status == ResourceStatus::Ok)
            ASSERT_GE(size + 3, RES.size());
        else
            ASSERT_NE(r.message[0], '\0') << size;
    }
    ResourceEntry dialog;
    findResource(RES.data(), RES.size(), resourceOrdinal(RESOURCE_TYPE_DIALOG),
                 resourceNamed("KESTRIX"), &dialog);
    for (size_t size = 0; size < dialog.size; ++size) {
        const Bytes cut(dialog.data, dialog.data + size);
        ASSERT_EQ(parseDialogTemplate(cut.data(), cut.size(), &parsed).status,
                  DialogStatus::Truncated)
            << size;
    }
}

void put32(Bytes &b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// Damage at known places: the first entry's header at offset 32, the
// template's header fields.
TEST(CompiledResources, DamageIsNamed) {
    const struct {
        size_t at;
        uint32_t value;
        const char *message;
    } resources[] = {
        {0, 5, "not a 32-bit resource file: it does not start with the empty entry"},
        {36, 30, "resource at offset 0x20: header size 30 is not a multiple of 4"},
        {36, 64, "resource at offset 0x20: header size 64, but its fields take 32 bytes"},
        {32, 0xFFFFFFFC, "resource at offset 0x20: 4294967292 bytes of data from offset 0x40 run"},
    };
    for (const auto &c : resources) {
        Bytes b = RES;
        put32(b, c.at, c.value);
        ResourceEntry entry;
        const ResourceResult r =
            findResource(b.data(), b.size(), resourceOrdinal(1), resourceOrdinal(1), &entry);
        EXPECT_EQ(std::string(r.message).rfind(c.message, 0), 0u) << r.message;
    }
    ResourceEntry dialog;
    findResource(RES.data(), RES.size(), resourceOrdinal(RESOURCE_TYPE_DIALOG),
                 resourceNamed("KESTRIX"), &dialog);
    const struct {
        size_t at;
        uint32_t value;
        DialogStatus status;
    } templates[] = {
        {0, 0xFFFF0000, DialogStatus::NotExtended},   // version 0
        {0, 0xFFFE0001, DialogStatus::NotExtended},   // another signature
        {16, 0x013B0101, DialogStatus::TooManyItems}, // 257 controls
        {16, 0x013B007F, DialogStatus::Truncated},    // one control more than there is
    };
    for (const auto &c : templates) {
        Bytes b(dialog.data, dialog.data + dialog.size);
        put32(b, c.at, c.value);
        const DialogResult r = parseDialogTemplate(b.data(), b.size(), &parsed);
        EXPECT_EQ(r.status, c.status) << r.message;
        EXPECT_NE(r.message[0], '\0');
    }
}

} // namespace
