#include "config_image.h"
#include "decode/capability_walk.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

constexpr Poke CAP_LIST = u16(6, 0x10); // Status bit 4
constexpr auto PCI = CapabilitySpace::Pci;
constexpr auto EXT = CapabilitySpace::Extended;

struct WalkCase {
    const char *name;
    CapabilitySpace which;
    size_t size;
    std::vector<Poke> pokes;
    const char *entries; // "id@offset ..."
    WalkStop stop;
    uint16_t stopOffset, stopPointer;
};

// clang-format off
const WalkCase WALK_CASES[] = {
    {"two entries", PCI, 256, {CAP_LIST, u8(0x34, 0x40), u16(0x40, 0x5001), u16(0x50, 0x0005)},
     "1@40 5@50", WalkStop::End, 0x50, 0},
    {"reserved pointer bits cleared", PCI, 256,
     {CAP_LIST, u8(0x34, 0x43), u16(0x40, 0x5301), u16(0x50, 0x0011)},
     "1@40 11@50", WalkStop::End, 0x50, 0},
    {"entry pointing at itself", PCI, 256, {CAP_LIST, u8(0x34, 0x40), u16(0x40, 0x4001)},
     "1@40", WalkStop::Loop, 0x40, 0x40},
    {"loop back to the first entry", PCI, 256,
     {CAP_LIST, u8(0x34, 0x40), u16(0x40, 0x5001), u16(0x50, 0x4005)},
     "1@40 5@50", WalkStop::Loop, 0x50, 0x40},
    {"pointer into the header", PCI, 256, {CAP_LIST, u8(0x34, 0x40), u16(0x40, 0x2001)},
     "1@40", WalkStop::IntoHeader, 0x40, 0x20},
    {"header pointer into the header", PCI, 256, {CAP_LIST, u8(0x34, 0x10)},
     "", WalkStop::IntoHeader, 0x34, 0x10},
    {"Status bit clear: pointer ignored", PCI, 256, {u8(0x34, 0x40), u16(0x40, 0x0001)},
     "", WalkStop::NoList, 0x34, 0x40},
    {"zero pointer", PCI, 256, {CAP_LIST}, "", WalkStop::NoList, 0x34, 0},
    {"CardBus pointer at 14h", PCI, 256,
     {CAP_LIST, u8(0x0E, 0x82), u8(0x14, 0x80), u8(0x34, 0x40), u16(0x80, 0x0001)},
     "1@80", WalkStop::End, 0x80, 0},
    {"unknown layout", PCI, 256, {CAP_LIST, u8(0x0E, 0x7F), u8(0x34, 0x40), u16(0x40, 0x0001)},
     "", WalkStop::UnknownLayout, 0x0E, 0},
    {"last dword of the 256 bytes", PCI, 256, {CAP_LIST, u8(0x34, 0xFC), u16(0xFC, 0x0010)},
     "10@fc", WalkStop::End, 0xFC, 0},
    {"past the end of a short image", PCI, 0x80,
     {CAP_LIST, u8(0x34, 0x40), u16(0x40, 0x8001)},
     "1@40", WalkStop::PastEnd, 0x40, 0x80},

    {"three entries", EXT, 4096,
     {ext(0x100, 1, 2, 0x140), ext(0x140, 3, 1, 0x150), ext(0x150, 0xE, 1, 0)},
     "1@100 3@140 e@150", WalkStop::End, 0x150, 0},
    {"256 bytes only", EXT, 256, {}, "", WalkStop::NoExtendedSpace, 0x100, 0},
    {"all ones at 100h", EXT, 4096, {u32(0x100, 0xFFFFFFFF)},
     "", WalkStop::NoExtendedSpace, 0x100, 0},
    {"zero at 100h", EXT, 4096, {}, "", WalkStop::NoList, 0x100, 0},
    {"null id leads on", EXT, 4096, {ext(0x100, 0, 0, 0x200), ext(0x200, 1, 1, 0)},
     "0@100 1@200", WalkStop::End, 0x200, 0},
    {"loop", EXT, 4096, {ext(0x100, 1, 1, 0x200), ext(0x200, 3, 1, 0x100)},
     "1@100 3@200", WalkStop::Loop, 0x200, 0x100},
    {"pointer into the first 256 bytes", EXT, 4096, {ext(0x100, 1, 1, 0xC0)},
     "1@100", WalkStop::IntoHeader, 0x100, 0xC0},
    {"reserved pointer bits cleared, last dword", EXT, 4096,
     {ext(0x100, 1, 1, 0xFFF), ext(0xFFC, 0x18, 1, 0)},
     "1@100 18@ffc", WalkStop::End, 0xFFC, 0},
    {"past the end of a partial read", EXT, 0x200,
     {ext(0x100, 1, 1, 0x1FC), ext(0x1FC, 3, 1, 0x200)},
     "1@100 3@1fc", WalkStop::PastEnd, 0x1FC, 0x200},
};
// clang-format on

TEST(CapabilityWalk, ListsEndOrStopWithTheCause) {
    for (const WalkCase &c : WALK_CASES) {
        SCOPED_TRACE(c.name);
        const ConfigImage image(c.size, c.pokes);
        CapabilityWalk walk(image.space(), c.which);
        std::string seen;
        char entry[16];
        for (CapabilityEntry e; walk.next(e);) {
            std::snprintf(entry, sizeof entry, "%s%x@%x", seen.empty() ? "" : " ", e.id, e.offset);
            seen += entry;
        }
        EXPECT_EQ(seen, c.entries);
        EXPECT_EQ(walk.stop(), c.stop) << walkStopText(walk.stop());
        EXPECT_EQ(walk.stopOffset(), c.stopOffset);
        EXPECT_EQ(walk.stopPointer(), c.stopPointer);
        CapabilityEntry e{};
        EXPECT_FALSE(walk.next(e)) << "a finished walk stays finished";
    }
}

// Every dword of a list's space chained to the next, the last back to the
// first: the walk visits each once, then stops at the loop.
TEST(CapabilityWalk, LongestChainsEndAtTheLoop) {
    ConfigImage pci(256, {CAP_LIST, u8(0x34, 0x40)});
    for (uint16_t at = 0x40; at < 0x100; at += 4)
        pci.poke({u16(at, uint32_t(at == 0xFC ? 0x40 : at + 4) << 8 | 0x09)});
    ConfigImage extended(4096);
    for (uint16_t at = 0x100; at < 0x1000; at += 4)
        extended.poke({ext(at, 0x0B, 1, at == 0xFFC ? 0x100 : at + 4)});
    const struct {
        const ConfigImage &image;
        CapabilitySpace which;
        int entries;
    } cases[] = {{pci, PCI, 48}, {extended, EXT, 960}};
    for (const auto &c : cases) {
        CapabilityWalk walk(c.image.space(), c.which);
        int count = 0;
        for (CapabilityEntry e; walk.next(e);)
            ++count;
        EXPECT_EQ(count, c.entries);
        EXPECT_EQ(walk.stop(), WalkStop::Loop);
    }
}

} // namespace
