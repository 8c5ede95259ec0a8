#include "naming/bit_names.h"

#include "test_support.h"

#include <gtest/gtest.h>

namespace {

using testing_support::capture;

std::string line(const char *maskAndName) {
    return std::string(28, ' ') + maskAndName + "\n";
}

struct BitLinesCase {
    const char *what;
    bool status; // which table
    uint16_t value;
    std::string expected;
};

const BitLinesCase BIT_LINE_CASES[] = {
    {"no command bits", false, 0x0000, ""},
    {"ascending bit order", false, 0x0007,
     line("0001h - I/O Space") + line("0002h - Memory Space") + line("0004h - Bus Master")},
    {"reserved command bits are named", false, 0xF800,
     line("0800h - Reserved 11") + line("1000h - Reserved 12") + line("2000h - Reserved 13") +
         line("4000h - Reserved 14") + line("8000h - Reserved 15")},
    {"fast back-to-back is command bit 9", false, 0x0200, line("0200h - Fast Back-To-Back")},
    {"no status bits", true, 0x0000, ""},
    {"DEVSEL bits have no line of their own", true, 0x0290,
     line("0010h - Capability List") + line("0080h - Fast Back-To-Back")},
    {"both DEVSEL bits", true, 0x0600, ""},
    {"top status bit", true, 0x8000, line("8000h - Detected Parity Error")},
    {"reserved status bits", true, 0x0007,
     line("0001h - Reserved 0") + line("0002h - Reserved 1") + line("0004h - Reserved 2")},
};

TEST(BitNameLines, WriteOneLinePerSetNamedBit) {
    for (const BitLinesCase &c : BIT_LINE_CASES) {
        const std::string written = capture([&](FILE *f) {
            writeBitNameLines(f, c.status ? StatusBitNames : CommandBitNames, c.value);
        });
        EXPECT_EQ(written, c.expected) << c.what;
    }
}

TEST(BitNameLines, LongestLineFitsItsBuffer) {
    const std::string all = capture([](FILE *f) {
        writeBitNameLines(f, CommandBitNames, 0xFFFF);
        writeBitNameLines(f, StatusBitNames, 0xFFFF);
    });
    size_t longest = 0, start = 0;
    for (size_t nl; (nl = all.find('\n', start)) != std::string::npos; start = nl + 1)
        longest = std::max(longest, nl - start + 1);
    EXPECT_EQ(longest, 61u); // "Master Data Parity Error" with its newline
}

TEST(DevselNames, FollowBitsNineAndTen) {
    const struct {
        uint16_t status;
        const char *name;
    } cases[] = {
        {0x0000, "Fast Devsel Speed"}, {0x0290, "Medium Devsel Speed"},
        {0x0400, "Slow Devsel Speed"}, {0x0600, "Reserved 9&10"},
        {0xF9FF, "Fast Devsel Speed"}, {0xFFFF, "Reserved 9&10"},
    };
    for (const auto &c : cases)
        EXPECT_STREQ(devselName(c.status), c.name) << std::hex << c.status;
}

} // namespace
