#include "config_image.h"
#include "decode/capability_walk.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace testing_support;

namespace {

constexpr uint32_t CAP_LIST = 0x10; // Status bit 4

struct WalkCase {
    const char *name;
    CapabilitySpace which;
    size_t size;
    std::vector<Poke> pokes;
    std::vector<std::pair<uint16_t, uint16_t>> entries; // id, offset
    WalkStop stop;
    uint16_t stopOffset, stopPointer;
};

const WalkCase PCI_CASES[] = {
    {"two entries",
     CapabilitySpace::Pci,
     256,
     {u16(6, CAP_LIST), u8(0x34, 0x40), u16(0x40, 0x5001), u16(0x50, 0x0005)},
     {{1, 0x40}, {5, 0x50}},
     WalkStop::End,
     0x50,
     0},
    {"reserved pointer bits cleared",
     CapabilitySpace::Pci,
     256,
     {u16(6, CAP_LIST), u8(0x34, 0x43), u16(0x40, 0x5301), u16(0x50, 0x0011)},
     {{1, 0x40}, {0x11, 0x50}},
     WalkStop::End,
     0x50,
     0},
    {"entry pointing at itself",
     CapabilitySpace::Pci,
     256,
     {u16(6, CAP_LIST), u8(0x34, 0x40), u16(0x40, 0x4001)},
     {{1, 0x40}},
     WalkStop::Loop,
     0x40,
     0x40},
    {"loop back to the first entry",
     CapabilitySpace::Pci,
     256,
     {u16(6, CAP_LIST), u8(0x34, 0x40), u16(0x40, 0x5001), u16(0x50, 0x4005)},
     {{1, 0x40}, {5, 0x50}},
     WalkStop::Loop,
     0x50,
     0x40},
    {"pointer into the header",
     CapabilitySpace::Pci,
     256,
     {u16(6, CAP_LIST), u8(0x34, 0x40), u16(0x40, 0x2001)},
     {{1, 0x40}},
     WalkStop::IntoHeader,
     0x40,
     0x20},
    {"header pointer into the header",
     CapabilitySpace::Pci,
     256,
     {u16(6, CAP_LIST), u8(0x34, 0x10)},
     {},
     WalkStop::IntoHeader,
     0x34,
     0x10},
    {"Status bit clear: pointer ignored",
     CapabilitySpace::Pci,
     256,
     {u8(0x34, 0x40), u16(0x40, 0x0001)},
     {},
     WalkStop::NoList,
     0x34,
     0x40},
    {"zero pointer", CapabilitySpace::Pci, 256, {u16(6, CAP_LIST)}, {}, WalkStop::NoList, 0x34, 0},
    {"CardBus pointer at 14h",
     CapabilitySpace::Pci,
     256,
     {u16(6, CAP_LIST), u8(0x0E, 0x82), u8(0x14, 0x80), u8(0x34, 0x40), u16(0x80, 0x0001)},
     {{1, 0x80}},
     WalkStop::End,
     0x80,
     0},
    {"unknown layout",
     CapabilitySpace::Pci,
     256,
     {u16(6, CAP_LIST), u8(0x0E, 0x7F), u8(0x34, 0x40), u16(0x40, 0x0001)},
     {},
     WalkStop::UnknownLayout,
     0x0E,
     0},
    {"last dword of the 256 bytes",
     CapabilitySpace::Pci,
     256,
     {u16(6, CAP_LIST), u8(0x34, 0xFC), u16(0xFC, 0x0010)},
     {{0x10, 0xFC}},
     WalkStop::End,
     0xFC,
     0},
    {"past the end of a short image",
     CapabilitySpace::Pci,
     0x80,
     {u16(6, CAP_LIST), u8(0x34, 0x40), u16(0x40, 0x8001)},
     {{1, 0x40}},
     WalkStop::PastEnd,
     0x40,
     0x80},
};

const WalkCase EXTENDED_CASES[] = {
    {"three entries",
     CapabilitySpace::Extended,
     4096,
     {ext(0x100, 1, 2, 0x140), ext(0x140, 3, 1, 0x150), ext(0x150, 0xE, 1, 0)},
     {{1, 0x100}, {3, 0x140}, {0xE, 0x150}},
     WalkStop::End,
     0x150,
     0},
    {"256 bytes only", CapabilitySpace::Extended, 256, {}, {}, WalkStop::NoExtendedSpace, 0x100, 0},
    {"all ones at 100h",
     CapabilitySpace::Extended,
     4096,
     {u32(0x100, 0xFFFFFFFF)},
     {},
     WalkStop::NoExtendedSpace,
     0x100,
     0},
    {"zero at 100h", CapabilitySpace::Extended, 4096, {}, {}, WalkStop::NoList, 0x100, 0},
    {"null id leads on",
     CapabilitySpace::Extended,
     4096,
     {ext(0x100, 0, 0, 0x200), ext(0x200, 1, 1, 0)},
     {{0, 0x100}, {1, 0x200}},
     WalkStop::End,
     0x200,
     0},
    {"loop",
     CapabilitySpace::Extended,
     4096,
     {ext(0x100, 1, 1, 0x200), ext(0x200, 3, 1, 0x100)},
     {{1, 0x100}, {3, 0x200}},
     WalkStop::Loop,
     0x200,
     0x100},
    {"pointer into the first 256 bytes",
     CapabilitySpace::Extended,
     4096,
     {ext(0x100, 1, 1, 0xC0)},
     {{1, 0x100}},
     WalkStop::IntoHeader,
     0x100,
     0xC0},
    {"reserved pointer bits cleared, last dword",
     CapabilitySpace::Extended,
     4096,
     {ext(0x100, 1, 1, 0xFFF), ext(0xFFC, 0x18, 1, 0)},
     {{1, 0x100}, {0x18, 0xFFC}},
     WalkStop::End,
     0xFFC,
     0},
    {"past the end of a partial read",
     CapabilitySpace::Extended,
     0x200,
     {ext(0x100, 1, 1, 0x1FC), ext(0x1FC, 3, 1, 0x200)},
     {{1, 0x100}, {3, 0x1FC}},
     WalkStop::PastEnd,
     0x1FC,
     0x200},
};

void checkWalk(const WalkCase &c) {
    SCOPED_TRACE(c.name);
    ConfigImage image(c.size);
    for (const Poke &p : c.pokes)
        image.poke({p});
    CapabilityWalk walk(image.space(), c.which);
    std::vector<std::pair<uint16_t, uint16_t>> seen;
    for (CapabilityEntry e; walk.next(e);)
        seen.emplace_back(e.id, e.offset);
    EXPECT_EQ(seen, c.entries);
    EXPECT_EQ(walk.stop(), c.stop) << walkStopText(walk.stop());
    EXPECT_EQ(walk.stopOffset(), c.stopOffset);
    EXPECT_EQ(walk.stopPointer(), c.stopPointer);
    CapabilityEntry e{};
    EXPECT_FALSE(walk.next(e)) << "a finished walk stays finished";
}

TEST(CapabilityWalk, PciListEndsAndStopsWithTheCause) {
    for (const WalkCase &c : PCI_CASES)
        checkWalk(c);
}

TEST(CapabilityWalk, ExtendedListEndsAndStopsWithTheCause) {
    for (const WalkCase &c : EXTENDED_CASES)
        checkWalk(c);
}

// Every dword of a list's space chained to the next, the last back to the
// first: the walk visits each once, then stops at the loop.
TEST(CapabilityWalk, LongestChainsEndAtTheLoop) {
    ConfigImage pci(256, {u16(6, CAP_LIST), u8(0x34, 0x40)});
    for (uint16_t at = 0x40; at < 0x100; at += 4)
        pci.poke({u16(at, uint32_t(at == 0xFC ? 0x40 : at + 4) << 8 | 0x09)});
    ConfigImage extended(4096);
    for (uint16_t at = 0x100; at < 0x1000; at += 4)
        extended.poke({ext(at, 0x0B, 1, at == 0xFFC ? 0x100 : at + 4)});
    const struct {
        const ConfigImage &image;
        CapabilitySpace which;
        int entries;
    } cases[] = {{pci, CapabilitySpace::Pci, 48}, {extended, CapabilitySpace::Extended, 960}};
    for (const auto &c : cases) {
        CapabilityWalk walk(c.image.space(), c.which);
        int count = 0;
        for (CapabilityEntry e; walk.next(e);)
            ++count;
        EXPECT_EQ(count, c.entries);
        EXPECT_EQ(walk.stop(), WalkStop::Loop);
    }
}

TEST(CapabilityWalk, FindsTheFirstEntryOfAnId) {
    const ConfigImage image(4096,
                            {u16(6, CAP_LIST), u8(0x34, 0x40), u16(0x40, 0x5010), u16(0x50, 0x6010),
                             ext(0x100, 1, 1, 0x140), ext(0x140, 0x10, 1, 0)});
    EXPECT_EQ(findCapability(image.space(), CapabilitySpace::Pci, 0x10), 0x40);
    EXPECT_EQ(findCapability(image.space(), CapabilitySpace::Extended, 0x10), 0x140);
    EXPECT_EQ(findCapability(image.space(), CapabilitySpace::Pci, 0x05), 0);
}

} // namespace
