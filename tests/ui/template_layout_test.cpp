// The compiled main dialog template and icon, as the Linux build reads them
// from lumivar_res, checked against the layout the window must have.
#include "ui/resource.h"
#include "winres/dialog_template.h"
#include "winres/resource_file.h"

#include "lumivar_res_data.h"
#include "win32_styles.h"

#include <gtest/gtest.h>

#include <cctype>
#include <iterator>
#include <set>
#include <vector>

namespace {

constexpr uint32_t NO_ID = 0xFFFFFFFF; // -1 as stored in an extended template

const DialogTemplate &mainDialog() {
    static DialogTemplate dialog;
    static bool parsed = false;
    if (!parsed) {
        ResourceEntry entry;
        const ResourceResult found =
            findResource(LUMIVAR_RES, LUMIVAR_RES_SIZE, resourceOrdinal(RESOURCE_TYPE_DIALOG),
                         resourceNamed(IDD_KESTRIX), &entry);
        EXPECT_EQ(found.status, ResourceStatus::Ok) << found.message;
        const DialogResult result = parseDialogTemplate(entry.data, entry.size, &dialog);
        EXPECT_EQ(result.status, DialogStatus::Ok) << result.message;
        parsed = true;
    }
    return dialog;
}

// Class names compare without regard to case, as Windows compares them.
bool sameText(const char *a, const char *b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b)))
            return false;
    }
    return *a == *b;
}

TEST(MainDialog, Header) {
    const DialogTemplate &d = mainDialog();
    EXPECT_EQ(d.version, 1);
    EXPECT_EQ(d.signature, 0xFFFF);
    EXPECT_EQ(d.helpId, 0u);
    EXPECT_EQ(d.exStyle, 0u);
    EXPECT_EQ(d.style, uint32_t(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_SETFONT));
    EXPECT_EQ(d.itemCount, 126);
    EXPECT_EQ(d.x, 0);
    EXPECT_EQ(d.y, 0);
    EXPECT_EQ(d.cx, 311);
    EXPECT_EQ(d.cy, 194);
    EXPECT_EQ(d.menu.kind, DialogRefKind::None);
    ASSERT_EQ(d.windowClass.kind, DialogRefKind::Name);
    // Window classes match without regard to case; windres upper-cases them.
    EXPECT_TRUE(sameText(d.windowClass.name, "Kestrix")) << d.windowClass.name;
    EXPECT_STREQ(d.title, "Lumivar V4.04 - PCI Spec V3.0");
    ASSERT_TRUE(d.hasFont);
    EXPECT_EQ(d.font.pointSize, 8);
    EXPECT_EQ(d.font.weight, 0);
    EXPECT_EQ(d.font.italic, 0);
    EXPECT_EQ(d.font.charset, 1);
    EXPECT_STREQ(d.font.typeface, "MS Sans Serif");
}

// The style bits beyond WS_CHILD | WS_VISIBLE, which every control has.
constexpr uint32_t PUSH = WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER;
constexpr uint32_t FLAG = WS_DISABLED | BS_3STATE;
constexpr uint32_t V = SS_SUNKEN | SS_RIGHT;
constexpr uint32_t VL = SS_SUNKEN | SS_LEFT;
constexpr uint32_t N = SS_LEFT;
constexpr uint32_t LIST = WS_BORDER | WS_VSCROLL | LBS_SORT | LBS_HASSTRINGS | LBS_NOSEL;
constexpr uint32_t SEE_THROUGH = WS_EX_TRANSPARENT;

struct ControlRow {
    int pos;
    uint32_t id;
    const char *cls;
    const char *text;
    int x, y, w, h;
    uint32_t style;
    uint32_t exStyle;
};

// clang-format off
const ControlRow CONTROLS[] = {
    {1, 2, "Button", "E&xit", 4, 176, 48, 16, PUSH, 0},
    {2, 201, "Button", "&Dump->", 112, 156, 36, 12, PUSH, 0},
    {3, 202, "Button", "PCI &Report", 168, 176, 48, 16, PUSH, 0},
    {4, 200, "msctls_updown32", "BackNext", 60, 176, 100, 16, UDS_HORZ | UDS_ARROWKEYS, 0},
    {5, 132, "Button", "", 168, 8, 12, 8, WS_DISABLED | WS_TABSTOP | BS_3STATE, 0},
    {6, NO_ID, "Static", "Total PCI Devices", 220, 172, 60, 8, SS_LEFT, 0},
    {7, NO_ID, "Static", "Current Device", 220, 180, 56, 8, SS_LEFT, 0},
    {8, NO_ID, "Static", "Address (h)", 36, 88, 36, 8, SS_LEFTNOWORDWRAP, 0},
    {9, NO_ID, "Static", "Len (h)", 80, 88, 24, 8, SS_LEFTNOWORDWRAP, 0},
    {10, NO_ID, "Static", "Base 0", 8, 96, 28, 8, SS_LEFT, 0},
    {11, NO_ID, "Static", "Base 1", 8, 104, 28, 8, SS_LEFT, 0},
    {12, NO_ID, "Static", "Base 2", 8, 112, 28, 8, SS_LEFT, 0},
    {13, NO_ID, "Static", "Base 3", 8, 120, 28, 8, SS_LEFT, 0},
    {14, NO_ID, "Static", "Base 4", 8, 128, 28, 8, SS_LEFT, 0},
    {15, NO_ID, "Static", "Base 5", 8, 136, 28, 8, SS_LEFT, 0},
    {16, NO_ID, "Static", "ROM ", 8, 148, 24, 8, SS_LEFT, 0},
    {17, NO_ID, "Static", "32", 128, 88, 12, 8, SS_LEFT, 0},
    {18, NO_ID, "Static", "64", 136, 144, 12, 8, SS_LEFT, 0},
    {19, NO_ID, "Static", "IO", 112, 88, 12, 8, SS_LEFT, 0},
    {20, NO_ID, "Static", "Mem", 116, 144, 16, 8, SS_LEFT, 0},
    {21, NO_ID, "Static", "Pre", 144, 88, 16, 8, SS_LEFT, 0},
    {22, NO_ID, "Static", "Fun#", 80, 8, 20, 8, SS_LEFT, 0},
    {23, NO_ID, "Static", "Bus#", 8, 8, 20, 8, SS_LEFT, 0},
    {24, NO_ID, "Static", "Dev#", 44, 8, 24, 8, SS_LEFT, 0},
    {25, NO_ID, "Static", "Latency (PCI clks)", 220, 128, 60, 8, SS_LEFT, 0},
    {26, NO_ID, "Static", "Min Grant (ns)", 220, 144, 52, 8, SS_LEFT, 0},
    {27, NO_ID, "Static", "Max Latency (ns)", 220, 136, 56, 8, SS_LEFT, 0},
    {28, NO_ID, "Static", "Interrupt Line (d)", 220, 152, 56, 8, SS_LEFT, 0},
    {29, NO_ID, "Static", "Interrupt Pin", 220, 160, 56, 8, SS_LEFT, 0},
    {30, NO_ID, "Static", "Prog I/F", 220, 100, 56, 8, SS_LEFT, 0},
    {31, NO_ID, "Static", "Line Cache (bytes)", 220, 120, 60, 8, SS_LEFT, 0},
    {32, NO_ID, "Static", "Base Class", 220, 84, 56, 8, SS_LEFT, 0},
    {33, NO_ID, "Static", "Revision ID", 220, 108, 56, 8, SS_LEFT, 0},
    {34, NO_ID, "Static", "Sub Class", 220, 92, 56, 8, SS_LEFT, 0},
    {35, NO_ID, "Static", "BIST", 264, 8, 20, 8, SS_LEFT, 0},
    {36, NO_ID, "Static", "Status (Enabled)", 112, 52, 100, 8, SS_LEFT, 0},
    {37, NO_ID, "Static", "Command (Capabilities)", 8, 52, 100, 8, SS_LEFT, 0},
    {38, NO_ID, "Static", "CIS", 8, 156, 20, 8, SS_LEFT, 0},
    {39, NO_ID, "Static", "PCI Header (h)", 160, 88, 52, 8, SS_LEFT, 0},
    {40, NO_ID, "Static", "Multi Function", 120, 8, 48, 8, SS_LEFT, 0},
    {41, NO_ID, "Static", "SVen", 8, 36, 20, 8, SS_LEFT, 0},
    {42, NO_ID, "Static", "Ven", 8, 20, 20, 8, SS_LEFT, 0},
    {43, NO_ID, "Static", "SSys", 8, 44, 20, 8, SS_LEFT, 0},
    {44, NO_ID, "Static", "Dev", 8, 28, 20, 8, SS_LEFT, 0},
    {45, NO_ID, "Static", "Capability Ptr", 188, 8, 44, 8, SS_LEFT, 0},
    {46, 300, "Static", "", 36, 96, 36, 8, V, 0},
    {47, 301, "Static", "", 36, 104, 36, 8, V, 0},
    {48, 302, "Static", "", 36, 112, 36, 8, V, 0},
    {49, 303, "Static", "", 36, 120, 36, 8, V, 0},
    {50, 304, "Static", "", 36, 128, 36, 8, V, 0},
    {51, 305, "Static", "", 36, 136, 36, 8, V, 0},
    {52, 306, "Static", "", 36, 148, 36, 8, V, 0},
    {53, 307, "Static", "", 72, 96, 36, 8, V, 0},
    {54, 308, "Static", "", 72, 104, 36, 8, V, 0},
    {55, 309, "Static", "", 72, 112, 36, 8, V, 0},
    {56, 310, "Static", "", 72, 120, 36, 8, V, 0},
    {57, 311, "Static", "", 72, 128, 36, 8, V, 0},
    {58, 312, "Static", "", 72, 136, 36, 8, V, 0},
    {59, 313, "Static", "", 72, 148, 36, 8, V, 0},
    {60, 325, "Static", "", 280, 172, 24, 8, V, 0},
    {61, 320, "Static", "", 56, 20, 248, 8, N, SEE_THROUGH},
    {62, 319, "Static", "", 56, 28, 248, 8, N, SEE_THROUGH},
    {63, 342, "Static", "", 56, 44, 248, 8, N, SEE_THROUGH},
    {64, 341, "Static", "", 56, 36, 248, 8, N, SEE_THROUGH},
    {65, 314, "Static", "", 100, 8, 12, 8, V, 0},
    {66, 316, "Static", "", 28, 8, 12, 8, V, 0},
    {67, 315, "Static", "", 64, 8, 12, 8, V, 0},
    {68, 317, "Static", "", 28, 28, 24, 8, VL, 0},
    {69, 318, "Static", "", 28, 20, 24, 8, VL, 0},
    {70, 324, "Static", "", 280, 180, 24, 8, V, 0},
    {71, 327, "Static", "", 280, 152, 24, 8, V, 0},
    {72, 330, "Static", "", 280, 128, 24, 8, V, 0},
    {73, 331, "Static", "", 280, 120, 24, 8, V, 0},
    {74, 326, "Static", "", 280, 160, 24, 8, V, 0},
    {75, 328, "Static", "", 280, 144, 24, 8, V, 0},
    {76, 329, "Static", "", 280, 136, 24, 8, V, 0},
    {77, 322, "Static", "", 220, 64, 84, 8, N, SEE_THROUGH},
    {78, 321, "Static", "", 220, 72, 84, 8, N, SEE_THROUGH},
    {79, 323, "Static", "", 220, 56, 84, 8, N, SEE_THROUGH},
    {80, 334, "Static", "", 280, 100, 24, 8, V, 0},
    {81, 333, "Static", "", 280, 92, 24, 8, V, 0},
    {82, 332, "Static", "", 280, 84, 24, 8, V, 0},
    {83, 335, "Static", "", 280, 108, 24, 8, V, 0},
    {84, 337, "Static", "", 36, 156, 36, 8, V, 0},
    {85, 338, "Static", "", 72, 156, 36, 8, V, 0},
    {86, 340, "Static", "", 28, 44, 24, 8, VL, 0},
    {87, 339, "Static", "", 28, 36, 24, 8, VL, 0},
    {88, 336, "Static", "", 284, 8, 20, 8, V, 0},
    {89, 343, "Static", "", 236, 8, 20, 8, V, 0},
    {90, 134, "ListBox", "&Command", 8, 60, 100, 32, LIST, 0},
    {91, 133, "ListBox", "&Status", 112, 60, 100, 32, LIST, 0},
    {92, 130, "ListBox", "&Status", 152, 96, 64, 76, LIST, 0},
    {93, 105, "Button", "", 112, 136, 8, 8, FLAG, 0},
    {94, 101, "Button", "", 112, 104, 8, 8, FLAG, 0},
    {95, 102, "Button", "", 112, 112, 8, 8, FLAG, 0},
    {96, 103, "Button", "", 112, 120, 8, 8, FLAG, 0},
    {97, 104, "Button", "", 112, 128, 8, 8, FLAG, 0},
    {98, 100, "Button", "", 112, 96, 8, 8, FLAG, 0},
    {99, 106, "Button", "", 120, 96, 8, 8, FLAG, 0},
    {100, 107, "Button", "", 120, 104, 8, 8, FLAG, 0},
    {101, 108, "Button", "", 120, 112, 8, 8, FLAG, 0},
    {102, 109, "Button", "", 120, 120, 8, 8, FLAG, 0},
    {103, 110, "Button", "", 120, 128, 8, 8, FLAG, 0},
    {104, 111, "Button", "", 120, 136, 8, 8, FLAG, 0},
    {105, 112, "Button", "", 128, 96, 8, 8, FLAG, 0},
    {106, 113, "Button", "", 128, 104, 8, 8, FLAG, 0},
    {107, 114, "Button", "", 128, 112, 8, 8, FLAG, 0},
    {108, 115, "Button", "", 128, 120, 8, 8, FLAG, 0},
    {109, 116, "Button", "", 128, 128, 8, 8, FLAG, 0},
    {110, 117, "Button", "", 128, 136, 8, 8, FLAG, 0},
    {111, 118, "Button", "", 136, 96, 8, 8, FLAG, 0},
    {112, 119, "Button", "", 136, 104, 8, 8, FLAG, 0},
    {113, 120, "Button", "", 136, 112, 8, 8, FLAG, 0},
    {114, 121, "Button", "", 136, 120, 8, 8, FLAG, 0},
    {115, 122, "Button", "", 136, 128, 8, 8, FLAG, 0},
    {116, 123, "Button", "", 136, 136, 8, 8, FLAG, 0},
    {117, 124, "Button", "", 144, 96, 8, 8, FLAG, 0},
    {118, 125, "Button", "", 144, 104, 8, 8, FLAG, 0},
    {119, 126, "Button", "", 144, 112, 8, 8, FLAG, 0},
    {120, 127, "Button", "", 144, 120, 8, 8, FLAG, 0},
    {121, 128, "Button", "", 144, 128, 8, 8, FLAG, 0},
    {122, 129, "Button", "", 144, 136, 8, 8, FLAG, 0},
    {123, NO_ID, "Static", "", 216, 52, 92, 2, SS_ETCHEDFRAME, 0},
    {124, NO_ID, "Static", "", 216, 80, 92, 2, SS_ETCHEDFRAME, 0},
    {125, NO_ID, "Static", "", 4, 4, 304, 168, SS_ETCHEDFRAME, 0},
    {126, NO_ID, "Static", "", 216, 52, 1, 120, SS_ETCHEDFRAME, 0},
};
// clang-format on

TEST(MainDialog, ControlsInCreationOrder) {
    const DialogTemplate &d = mainDialog();
    ASSERT_EQ(d.itemCount, std::size(CONTROLS));
    for (const ControlRow &row : CONTROLS) {
        SCOPED_TRACE(testing::Message() << "Pos " << row.pos << " id " << int32_t(row.id));
        const DialogItem &item = d.items[row.pos - 1];
        EXPECT_EQ(item.id, row.id);
        EXPECT_TRUE(sameText(item.windowClass.name, row.cls)) << item.windowClass.name;
        if (item.title.kind != DialogRefKind::None) {
            EXPECT_EQ(item.title.kind, DialogRefKind::Name);
            EXPECT_STREQ(item.title.name, row.text);
        } else {
            EXPECT_STREQ(row.text, "");
        }
        EXPECT_EQ(item.x, row.x);
        EXPECT_EQ(item.y, row.y);
        EXPECT_EQ(item.cx, row.w);
        EXPECT_EQ(item.cy, row.h);
        EXPECT_EQ(item.style, uint32_t(WS_CHILD | WS_VISIBLE | row.style))
            << std::hex << item.style;
        EXPECT_EQ(item.exStyle, row.exStyle);
        EXPECT_EQ(item.helpId, 0u);
        EXPECT_EQ(item.extraCount, 0);
    }
}

// The predefined classes are stored as ordinals, the up-down class by name.
TEST(MainDialog, ClassForms) {
    const DialogTemplate &d = mainDialog();
    for (int i = 0; i < d.itemCount; ++i) {
        const DialogItem &item = d.items[i];
        SCOPED_TRACE(testing::Message() << "Pos " << i + 1);
        const bool updown = sameText(item.windowClass.name, "msctls_updown32");
        EXPECT_EQ(item.windowClass.kind, updown ? DialogRefKind::Name : DialogRefKind::Ordinal);
    }
}

TEST(MainDialog, TabStopsInOrder) {
    const DialogTemplate &d = mainDialog();
    std::vector<uint32_t> stops;
    for (int i = 0; i < d.itemCount; ++i) {
        if (d.items[i].style & WS_TABSTOP)
            stops.push_back(d.items[i].id);
    }
    EXPECT_EQ(stops, (std::vector<uint32_t>{2, 201, 202, 132}));
}

// Column k, row i of the flag grid: id 100 + 6k + i at (112 + 8k, 96 + 8i),
// the numbering the dialog code relies on through IDC_BAR_FLAG.
TEST(MainDialog, BarFlagGrid) {
    const DialogTemplate &d = mainDialog();
    for (int k = 0; k < 5; ++k) {
        for (int i = 0; i < 6; ++i) {
            const uint32_t id = 100 + 6 * k + i;
            SCOPED_TRACE(testing::Message() << "column " << k << " row " << i);
            EXPECT_EQ(id, uint32_t(IDC_BAR_FLAG(k, i)));
            const DialogItem *box = nullptr;
            for (int pos = 0; pos < d.itemCount; ++pos) {
                if (d.items[pos].id == id)
                    box = &d.items[pos];
            }
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->x, 112 + 8 * k);
            EXPECT_EQ(box->y, 96 + 8 * i);
            EXPECT_EQ(box->cx, 8);
            EXPECT_EQ(box->cy, 8);
            EXPECT_EQ(box->style, uint32_t(WS_CHILD | WS_VISIBLE | WS_DISABLED | BS_3STATE));
        }
    }
}

// Every id the dialog code addresses exists exactly once; nothing else does.
TEST(MainDialog, IdsAreTheContract) {
    const DialogTemplate &d = mainDialog();
    std::multiset<uint32_t> ids;
    for (int i = 0; i < d.itemCount; ++i) {
        if (d.items[i].id != NO_ID)
            ids.insert(d.items[i].id);
    }
    std::multiset<uint32_t> expected{2, 130, 132, 133, 134, 200, 201, 202};
    for (uint32_t id = 100; id <= 129; ++id)
        expected.insert(id);
    for (uint32_t id = 300; id <= 343; ++id)
        expected.insert(id);
    EXPECT_EQ(ids, expected);
}

TEST(MainIcon, OneImage32By32In16Colours) {
    ResourceEntry group;
    ResourceResult r =
        findResource(LUMIVAR_RES, LUMIVAR_RES_SIZE, resourceOrdinal(RESOURCE_TYPE_GROUP_ICON),
                     resourceNamed(IDI_MORVANEX_ICON), &group);
    ASSERT_EQ(r.status, ResourceStatus::Ok) << r.message;
    IconGroup icons;
    r = readIconGroup(group.data, group.size, &icons);
    ASSERT_EQ(r.status, ResourceStatus::Ok) << r.message;
    ASSERT_EQ(icons.count, 1);
    const IconGroupImage &image = icons.images[0];
    EXPECT_EQ(image.width, 32);
    EXPECT_EQ(image.height, 32);
    EXPECT_EQ(image.colorCount, 16);
    EXPECT_EQ(image.planes, 1);
    EXPECT_EQ(image.bitCount, 4);
    EXPECT_EQ(image.bytes, 744u);
    EXPECT_EQ(image.id, 1);

    ResourceEntry bits;
    r = findResource(LUMIVAR_RES, LUMIVAR_RES_SIZE, resourceOrdinal(RESOURCE_TYPE_ICON),
                     resourceOrdinal(image.id), &bits);
    ASSERT_EQ(r.status, ResourceStatus::Ok) << r.message;
    ASSERT_EQ(bits.size, 744u);
    // BITMAPINFOHEADER: size 40, width 32, height 64 (colour bits and mask), one
    // plane, 4 bits per pixel, no compression.
    const auto le32 = [&](int at) {
        return uint32_t(bits.data[at]) | uint32_t(bits.data[at + 1]) << 8 |
               uint32_t(bits.data[at + 2]) << 16 | uint32_t(bits.data[at + 3]) << 24;
    };
    const auto le16 = [&](int at) { return unsigned(bits.data[at] | bits.data[at + 1] << 8); };
    EXPECT_EQ(le32(0), 40u);
    EXPECT_EQ(le32(4), 32u);
    EXPECT_EQ(le32(8), 64u);
    EXPECT_EQ(le16(12), 1u);
    EXPECT_EQ(le16(14), 4u);
    EXPECT_EQ(le32(16), 0u);
    // Not a blank image: some pixels are opaque and some transparent.
    const unsigned char *mask = bits.data + 40 + 64 + 512;
    int transparent = 0;
    for (int i = 0; i < 128; ++i)
        transparent += __builtin_popcount(mask[i]);
    EXPECT_GT(transparent, 0);
    EXPECT_LT(transparent, 32 * 32);
}

} // namespace
