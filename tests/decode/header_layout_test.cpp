#include "config_image.h"
#include "decode/header_layout.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using namespace testing_support;

namespace {

struct BarRow {
    uint8_t index;
    BarKind kind;
    bool present, prefetchable, upperMissing;
    uint64_t address;
};

struct BarCase {
    const char *name;
    std::vector<Poke> pokes;
    std::vector<BarRow> bars;
};

// clang-format off
const BarCase BAR_CASES[] = {
    {"device: pairs joined, a 64-bit register in the last slot",
     {u8(0x0E, 0x80), u32(0x10, 0xFEBF000C), u32(0x14, 0x00000001), u32(0x18, 0x0000E001),
      u32(0x1C, 0xF0000008), u32(0x24, 0x00000004)},
     {{0, BarKind::Memory64, true, true, false, 0x1FEBF0000},
      {2, BarKind::Io, true, false, false, 0xE000},
      {3, BarKind::Memory32, true, true, false, 0xF0000000},
      {4, BarKind::Memory32, false, false, false, 0},
      {5, BarKind::Memory64, true, false, true, 0}}},
    {"device: 1 MB and reserved types, upper half alone non-zero",
     {u32(0x10, 0x000C0002), u32(0x14, 0x00000006), u32(0x18, 0x00000004), u32(0x1C, 0x10)},
     {{0, BarKind::Memory1M, true, false, false, 0xC0000},
      {1, BarKind::MemoryReserved, true, false, false, 0},
      {2, BarKind::Memory64, true, false, false, 0x1000000000},
      {4, BarKind::Memory32, false, false, false, 0},
      {5, BarKind::Memory32, false, false, false, 0}}},
    {"bridge: two registers, bus numbers are not a BAR",
     {u8(0x0E, 0x01), u32(0x10, 0xFE00000C), u32(0x14, 0x00000002), u32(0x18, 0x00050200)},
     {{0, BarKind::Memory64, true, true, false, 0x2FE000000}}},
    {"bridge: 64-bit in the second register has no upper half",
     {u8(0x0E, 0x01), u32(0x14, 0xFE000004), u32(0x18, 0x00050200)},
     {{0, BarKind::Memory32, false, false, false, 0},
      {1, BarKind::Memory64, true, false, true, 0xFE000000}}},
    {"CardBus: the socket register",
     {u8(0x0E, 0x82), u32(0x10, 0x38140000), u32(0x14, 0x020000DC)},
     {{0, BarKind::Memory32, true, false, false, 0x38140000}}},
    {"unknown layout: none", {u8(0x0E, 0x03), u32(0x10, 0xFE000000)}, {}},
};
// clang-format on

TEST(HeaderLayout, BarsOfEveryLayoutWith64BitPairsJoined) {
    for (const BarCase &c : BAR_CASES) {
        SCOPED_TRACE(c.name);
        const BarList list = decodeBars(ConfigImage(256, c.pokes).space());
        ASSERT_EQ(list.count, c.bars.size());
        for (size_t i = 0; i < c.bars.size(); ++i) {
            const Bar &b = list.bars[i];
            const BarRow &r = c.bars[i];
            SCOPED_TRACE(i);
            EXPECT_EQ(
                std::tuple(b.index, b.offset, b.present, b.prefetchable, b.upperMissing),
                std::tuple(r.index, 0x10 + 4 * r.index, r.present, r.prefetchable, r.upperMissing));
            EXPECT_EQ(b.address, r.address);
            EXPECT_TRUE(b.kind == r.kind || !r.present);
        }
    }
}

TEST(HeaderLayout, ExpansionRomWhereTheLayoutKeepsIt) {
    const ConfigImage device(256, {u32(0x30, 0xFCE40001), u32(0x38, 0x12345678)});
    ExpansionRom rom{};
    ASSERT_TRUE(decodeExpansionRom(device.space(), rom));
    EXPECT_EQ(std::tuple(rom.offset, rom.address, rom.enabled),
              std::tuple(0x30, 0xFCE40000u, true));
    const ConfigImage bridge(256, {u8(0x0E, 0x81), u32(0x30, 0x1), u32(0x38, 0xEFFE0000)});
    ASSERT_TRUE(decodeExpansionRom(bridge.space(), rom));
    EXPECT_EQ(std::tuple(rom.offset, rom.address, rom.enabled),
              std::tuple(0x38, 0xEFFE0000u, false));
    const ConfigImage cardbus(256, {u8(0x0E, 0x02)});
    EXPECT_FALSE(decodeExpansionRom(cardbus.space(), rom));
}

struct WindowCase {
    const char *name;
    std::vector<Poke> pokes;
    BridgeWindow io, memory, prefetchable; // base, limit, wide, open, typeMismatch
};

// clang-format off
// The samples' bridges hold the common windows; these are the rarer ones.
const WindowCase WINDOW_CASES[] = {
    {"32-bit I/O, 64-bit prefetchable with upper halves",
     {u16(0x1C, 0x3121), u16(0x30, 1), u16(0x32, 1), u32(0x20, 0xFE10FE00), u32(0x24, 0x00F10011),
      u32(0x28, 4), u32(0x2C, 5)},
     {0x12000, 0x13FFF, true, true, false},
     {0xFE000000, 0xFE1FFFFF, false, true, false},
     {0x400100000, 0x500FFFFFF, true, true, false}},
    {"upper halves ignored when the window is narrow",
     {u16(0x1C, 0xF0F0), u16(0x30, 1), u32(0x24, 0xF010E000), u32(0x28, 4)},
     {0xF000, 0xFFFF, false, true, false},
     {0, 0xFFFFF, false, true, false},
     {0xE0000000, 0xF01FFFFF, false, true, false}},
    {"types that disagree or are reserved",
     {u16(0x1C, 0x0001), u32(0x20, 0x00000001), u32(0x24, 0x00020002)},
     {0, 0xFFF, true, true, true},
     {0, 0xFFFFF, false, true, true},
     {0, 0xFFFFF, false, true, true}},
};
// clang-format on

void expectWindow(const char *which, const BridgeWindow &w, const BridgeWindow &expected) {
    EXPECT_EQ(std::tuple(w.base, w.limit, w.wide, w.open, w.typeMismatch),
              std::tuple(expected.base, expected.limit, expected.wide, expected.open,
                         expected.typeMismatch))
        << which;
}

TEST(HeaderLayout, BridgeWindows) {
    for (const WindowCase &c : WINDOW_CASES) {
        SCOPED_TRACE(c.name);
        const BridgeHeader b = decodeBridge(ConfigImage(256, c.pokes).poke({u8(0x0E, 1)}).space());
        expectWindow("I/O", b.io, c.io);
        expectWindow("memory", b.memory, c.memory);
        expectWindow("prefetchable", b.prefetchable, c.prefetchable);
    }
}

} // namespace
