#include "winres/dialog_template.h"
#include "winres/resource_file.h"

#include "byte_builder.h"
#include "lumivar_res_data.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::ByteBuilder;

namespace {

constexpr uint32_t SETFONT = 0x40;
constexpr uint32_t CAPTION = 0x00C00000;

// A sz_Or_Ord field as code units.
std::vector<uint16_t> none() {
    return {0};
}
std::vector<uint16_t> ord(uint16_t value) {
    return {0xFFFF, value};
}
std::vector<uint16_t> text(const std::string &s) {
    std::vector<uint16_t> units(s.begin(), s.end());
    units.push_back(0);
    return units;
}

struct ItemFields {
    uint32_t helpId = 0;
    uint32_t exStyle = 0;
    uint32_t style = 0x50000000;
    int16_t x = 1, y = 2, cx = 3, cy = 4;
    uint32_t id = 7;
    std::vector<uint16_t> cls = ord(0x0080);
    std::vector<uint16_t> title = text("OK");
    std::vector<uint8_t> extra;
    int declaredExtra = -1; // -1: extra.size()
};

struct TemplateFields {
    uint16_t version = 1;
    uint16_t signature = 0xFFFF;
    uint32_t helpId = 0;
    uint32_t exStyle = 0;
    uint32_t style = CAPTION | SETFONT;
    int16_t x = 0, y = 0, cx = 311, cy = 194;
    std::vector<uint16_t> menu = none();
    std::vector<uint16_t> cls = text("Kestrix");
    std::vector<uint16_t> title = text("Title");
    uint16_t pointSize = 8, weight = 0;
    uint8_t italic = 0, charset = 1;
    std::vector<uint16_t> typeface = text("MS Sans Serif");
    std::vector<ItemFields> items = {ItemFields{}, ItemFields{}};
    int declaredItems = -1; // -1: items.size()
};

std::vector<uint8_t> build(const TemplateFields &t) {
    ByteBuilder b;
    b.u16(t.version).u16(t.signature).u32(t.helpId).u32(t.exStyle).u32(t.style);
    b.u16(uint16_t(t.declaredItems >= 0 ? t.declaredItems : int(t.items.size())));
    b.u16(uint16_t(t.x)).u16(uint16_t(t.y)).u16(uint16_t(t.cx)).u16(uint16_t(t.cy));
    b.units(t.menu).units(t.cls).units(t.title);
    if (t.style & SETFONT)
        b.u16(t.pointSize).u16(t.weight).u8(t.italic).u8(t.charset).units(t.typeface);
    for (const ItemFields &item : t.items) {
        b.alignTo4();
        b.u32(item.helpId).u32(item.exStyle).u32(item.style);
        b.u16(uint16_t(item.x)).u16(uint16_t(item.y)).u16(uint16_t(item.cx));
        b.u16(uint16_t(item.cy)).u32(item.id);
        b.units(item.cls).units(item.title);
        b.u16(uint16_t(item.declaredExtra >= 0 ? item.declaredExtra : int(item.extra.size())));
        b.raw(item.extra);
    }
    return b.bytes;
}

DialogTemplate parsed; // large: static storage

DialogResult parse(const std::vector<uint8_t> &bytes) {
    return parseDialogTemplate(bytes.data(), bytes.size(), &parsed);
}

TEST(ParseDialogTemplate, HeaderAndFont) {
    TemplateFields t;
    t.helpId = 0x11223344;
    t.exStyle = 0x00000008;
    t.x = -5;
    t.y = 7;
    t.weight = 700;
    t.italic = 1;
    t.charset = 0xEE;
    const DialogResult r = parse(build(t));
    ASSERT_EQ(r.status, DialogStatus::Ok) << r.message;
    EXPECT_STREQ(r.message, "");
    EXPECT_EQ(parsed.version, 1);
    EXPECT_EQ(parsed.signature, 0xFFFF);
    EXPECT_EQ(parsed.helpId, 0x11223344u);
    EXPECT_EQ(parsed.exStyle, 8u);
    EXPECT_EQ(parsed.style, CAPTION | SETFONT);
    EXPECT_EQ(parsed.itemCount, 2);
    EXPECT_EQ(parsed.x, -5);
    EXPECT_EQ(parsed.y, 7);
    EXPECT_EQ(parsed.cx, 311);
    EXPECT_EQ(parsed.cy, 194);
    EXPECT_EQ(parsed.menu.kind, DialogRefKind::None);
    EXPECT_EQ(parsed.windowClass.kind, DialogRefKind::Name);
    EXPECT_STREQ(parsed.windowClass.name, "Kestrix");
    EXPECT_STREQ(parsed.title, "Title");
    EXPECT_TRUE(parsed.hasFont);
    EXPECT_EQ(parsed.font.pointSize, 8);
    EXPECT_EQ(parsed.font.weight, 700);
    EXPECT_EQ(parsed.font.italic, 1);
    EXPECT_EQ(parsed.font.charset, 0xEE);
    EXPECT_STREQ(parsed.font.typeface, "MS Sans Serif");
}

// Without DS_SETFONT the header has no font fields: the first item follows
// the title directly.
TEST(ParseDialogTemplate, NoFontFieldsWithoutSetFont) {
    TemplateFields t;
    t.style = CAPTION;
    t.items[0].id = 41;
    const DialogResult r = parse(build(t));
    ASSERT_EQ(r.status, DialogStatus::Ok) << r.message;
    EXPECT_FALSE(parsed.hasFont);
    EXPECT_STREQ(parsed.font.typeface, "");
    EXPECT_EQ(parsed.items[0].id, 41u);
}

// Items start on DWORD boundaries whatever the lengths before them: odd title
// lengths and creation data of odd size.
TEST(ParseDialogTemplate, ItemsAlignedAfterTextsAndCreationData) {
    TemplateFields t;
    t.title = text("Odd");
    t.items[0].title = text("OK!");
    t.items[0].extra = {0xA1, 0xA2, 0xA3};
    t.items[0].helpId = 99;
    t.items[0].exStyle = 0x20;
    t.items[0].x = -8;
    t.items[1] = ItemFields{};
    t.items[1].id = 0xFFFFFFFF;
    t.items[1].style = 0x5000000C;
    t.items[1].cls = ord(0x0082);
    t.items[1].title = text("Label");
    t.items[1].x = 220;
    t.items[1].y = 172;
    t.items[1].cx = 60;
    t.items[1].cy = 8;
    const std::vector<uint8_t> bytes = build(t);
    const DialogResult r = parse(bytes);
    ASSERT_EQ(r.status, DialogStatus::Ok) << r.message;
    const DialogItem &first = parsed.items[0];
    EXPECT_EQ(first.helpId, 99u);
    EXPECT_EQ(first.exStyle, 0x20u);
    EXPECT_EQ(first.x, -8);
    EXPECT_STREQ(first.title.name, "OK!");
    ASSERT_EQ(first.extraCount, 3);
    ASSERT_NE(first.extraData, nullptr);
    EXPECT_EQ(first.extraData[0], 0xA1);
    EXPECT_EQ(first.extraData[2], 0xA3);
    EXPECT_GE(first.extraData, bytes.data());
    EXPECT_LE(first.extraData + 3, bytes.data() + bytes.size());
    const DialogItem &second = parsed.items[1];
    EXPECT_EQ(second.id, 0xFFFFFFFFu);
    EXPECT_EQ(second.style, 0x5000000Cu);
    EXPECT_STREQ(second.windowClass.name, "Static");
    EXPECT_STREQ(second.title.name, "Label");
    EXPECT_EQ(second.x, 220);
    EXPECT_EQ(second.y, 172);
    EXPECT_EQ(second.cx, 60);
    EXPECT_EQ(second.cy, 8);
    EXPECT_EQ(second.extraCount, 0);
    EXPECT_EQ(second.extraData, nullptr);
}

TEST(ParseDialogTemplate, ClassesAndTitles) {
    const struct {
        std::vector<uint16_t> cls;
        std::vector<uint16_t> title;
        DialogRefKind classKind;
        const char *className;
        DialogRefKind titleKind;
        uint16_t titleOrdinal;
        const char *titleText;
    } cases[] = {
        {ord(0x80), text("E&xit"), DialogRefKind::Ordinal, "Button", DialogRefKind::Name, 0,
         "E&xit"},
        {ord(0x81), none(), DialogRefKind::Ordinal, "Edit", DialogRefKind::None, 0, ""},
        {ord(0x82), ord(9), DialogRefKind::Ordinal, "Static", DialogRefKind::Ordinal, 9, ""},
        {ord(0x83), text("&Status"), DialogRefKind::Ordinal, "ListBox", DialogRefKind::Name, 0,
         "&Status"},
        {ord(0x84), none(), DialogRefKind::Ordinal, "ScrollBar", DialogRefKind::None, 0, ""},
        {ord(0x85), none(), DialogRefKind::Ordinal, "ComboBox", DialogRefKind::None, 0, ""},
        {text("msctls_updown32"), text("BackNext"), DialogRefKind::Name, "msctls_updown32",
         DialogRefKind::Name, 0, "BackNext"},
        // An empty text is a single 0 word, the same as no text.
        {text("Button"), text(""), DialogRefKind::Name, "Button", DialogRefKind::None, 0, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.className);
        TemplateFields t;
        t.items[0].cls = c.cls;
        t.items[0].title = c.title;
        const DialogResult r = parse(build(t));
        ASSERT_EQ(r.status, DialogStatus::Ok) << r.message;
        const DialogItem &item = parsed.items[0];
        EXPECT_EQ(item.windowClass.kind, c.classKind);
        EXPECT_STREQ(item.windowClass.name, c.className);
        EXPECT_EQ(item.title.kind, c.titleKind);
        EXPECT_EQ(item.title.ordinal, c.titleOrdinal);
        EXPECT_STREQ(item.title.name, c.titleText);
        EXPECT_EQ(parsed.items[1].id, 7u); // the next item is still found
    }
}

TEST(ParseDialogTemplate, MenuAndDialogClassForms) {
    const struct {
        std::vector<uint16_t> field;
        DialogRefKind kind;
        uint16_t ordinal;
        const char *name;
    } cases[] = {
        {none(), DialogRefKind::None, 0, ""},
        {ord(5), DialogRefKind::Ordinal, 5, ""},
        {text("MAIN"), DialogRefKind::Name, 0, "MAIN"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TemplateFields t;
        t.menu = c.field;
        t.cls = c.field;
        const DialogResult r = parse(build(t));
        ASSERT_EQ(r.status, DialogStatus::Ok) << r.message;
        EXPECT_EQ(parsed.menu.kind, c.kind);
        EXPECT_EQ(parsed.menu.ordinal, c.ordinal);
        EXPECT_STREQ(parsed.menu.name, c.name);
        EXPECT_EQ(parsed.windowClass.kind, c.kind);
        EXPECT_EQ(parsed.windowClass.ordinal, c.ordinal);
        EXPECT_STREQ(parsed.windowClass.name, c.name);
        EXPECT_STREQ(parsed.title, "Title");
    }
}

TEST(ParseDialogTemplate, DamagedTemplates) {
    const struct {
        const char *what;
        void (*damage)(TemplateFields &);
        DialogStatus status;
        const char *where; // expected in the message
    } cases[] = {
        {"the old template format", [](TemplateFields &t) { t.version = 0; },
         DialogStatus::NotExtended, "dialog template:"},
        {"a wrong signature", [](TemplateFields &t) { t.signature = 0xFFFE; },
         DialogStatus::NotExtended, "dialog template:"},
        {"more controls than read", [](TemplateFields &t) { t.declaredItems = 257; },
         DialogStatus::TooManyItems, "cDlgItems"},
        {"the most controls read", [](TemplateFields &t) { t.items.resize(256); }, DialogStatus::Ok,
         ""},
        {"a control fewer than declared", [](TemplateFields &t) { t.declaredItems = 3; },
         DialogStatus::Truncated, "control 3"},
        {"class ordinal above the predefined ones",
         [](TemplateFields &t) { t.items[1].cls = ord(0x86); }, DialogStatus::UnknownClass,
         "control 2"},
        {"class ordinal below the predefined ones",
         [](TemplateFields &t) { t.items[0].cls = ord(0x7F); }, DialogStatus::UnknownClass,
         "control 1"},
        {"control text of 255 characters",
         [](TemplateFields &t) { t.items[0].title = text(std::string(255, 'x')); },
         DialogStatus::Ok, ""},
        {"control text of 256 characters",
         [](TemplateFields &t) { t.items[0].title = text(std::string(256, 'x')); },
         DialogStatus::TextTooLong, "control 1: title"},
        {"caption of 256 characters",
         [](TemplateFields &t) { t.title = text(std::string(256, 'x')); },
         DialogStatus::TextTooLong, "title"},
        {"typeface of 64 characters",
         [](TemplateFields &t) { t.typeface = text(std::string(64, 'f')); },
         DialogStatus::TextTooLong, "typeface"},
        {"class name of 64 characters",
         [](TemplateFields &t) { t.items[0].cls = text(std::string(64, 'c')); },
         DialogStatus::TextTooLong, "windowClass"},
        {"creation data longer than the rest",
         [](TemplateFields &t) {
             t.items[1].extra = {1, 2, 3};
             t.items[1].declaredExtra = 200;
         },
         DialogStatus::Truncated, "creation data"},
        {"last text without its terminator",
         [](TemplateFields &t) {
             t.items[1].title = {'O', 'K'};
         },
         DialogStatus::Truncated, "control 2"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TemplateFields t;
        c.damage(t);
        const std::vector<uint8_t> bytes = build(t);
        const DialogResult r = parse(bytes);
        EXPECT_EQ(r.status, c.status) << r.message;
        EXPECT_NE(std::string(r.message).find(c.where), std::string::npos) << r.message;
        EXPECT_EQ(r.message[0] == '\0', c.status == DialogStatus::Ok) << r.message;
    }
}

// Cutting the real template anywhere gives Truncated, never a read past the
// end (each prefix is its own exact-size buffer for the sanitizer build).
TEST(ParseDialogTemplate, EveryPrefixOfTheCompiledTemplate) {
    ResourceEntry entry;
    const ResourceResult found =
        findResource(LUMIVAR_RES, LUMIVAR_RES_SIZE, resourceOrdinal(RESOURCE_TYPE_DIALOG),
                     resourceNamed("KESTRIX"), &entry);
    ASSERT_EQ(found.status, ResourceStatus::Ok) << found.message;
    for (size_t size = 0; size < entry.size; ++size) {
        const std::vector<uint8_t> prefix(entry.data, entry.data + size);
        const DialogResult r = parse(prefix);
        ASSERT_EQ(r.status, DialogStatus::Truncated) << size;
        ASSERT_NE(r.message[0], '\0');
    }
    const std::vector<uint8_t> whole(entry.data, entry.data + entry.size);
    EXPECT_EQ(parse(whole).status, DialogStatus::Ok);
}

} // namespace
