#include "report/report.h"

#include "golden.h"
#include "naming/class_names.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testing_support::exampleHeader;

using testing_support::capture;
using testing_support::FakeSource;

class CountingFailures : public ReadFailureHandler {
  public:
    void readFailed(const DeviceRecord &r) override { failed.push_back(r.slot); }
    std::vector<uint8_t> failed;
};

const ReportTime EXAMPLE_TIME = {9, 5, 3, 12, 5, 2026};

DeviceRecord recordFor(unsigned bus, uint8_t slot, const ConfigHeader &h) {
    DeviceRecord r{};
    r.bus = uint8_t(bus);
    r.slot = slot;
    snprintf(r.names[NAME_VENDOR], NAME_SIZE, "Unknown");
    lookupClassNames(h.classCode(), &r.className, &r.subClassName, &r.progIfName);
    return r;
}

struct ReportFixture : testing::Test {
    FakeSource source;
    ConfigChannel channel;
    DeviceTable table{};
    CountingFailures failures;

    void SetUp() override {
        resetDeviceTable(table);
        channel.source = &source;
        ASSERT_TRUE(openChannel(channel));
    }
    void add(unsigned bus, uint8_t slot, const ConfigHeader &h) {
        source.add(bus, slot, h);
        table.records[table.count++] = recordFor(bus, slot, h);
    }
    std::string report(uint16_t index, const ReportTime &time = EXAMPLE_TIME) {
        return capture([&](FILE *f) { writeReportText(f, channel, table, index, time, failures); });
    }
    int blocks(const std::string &text) {
        int n = 0;
        for (size_t at = 0; (at = text.find("PCI Bus #", at)) != std::string::npos; ++at)
            ++n;
        return n;
    }
};

TEST_F(ReportFixture, WorkedExampleOfOneDevice) {
    add(0, makeSlot(9, 0), exampleHeader());
    testing_support::expectGolden("worked-example.report", report(0));
    EXPECT_TRUE(failures.failed.empty());
}

TEST_F(ReportFixture, IndexBelowCountIsOneDeviceOtherwiseAll) {
    for (unsigned d = 0; d < 5; ++d) {
        ConfigHeader h = exampleHeader();
        h.DeviceId = uint16_t(0x100 + d);
        add(0, makeSlot(d, 0), h);
    }
    const std::string three = report(2);
    EXPECT_EQ(blocks(three), 1);
    EXPECT_NE(three.find("PCI Bus #0,  PCI Device #2,  Function #0"), std::string::npos);
    EXPECT_NE(three.find("0102h  Device ID"), std::string::npos);
    for (uint16_t index : {uint16_t(5), uint16_t(6), uint16_t(0xFFFF)})
        EXPECT_EQ(blocks(report(index)), 5) << index;
    const std::string all = report(5);
    EXPECT_LT(all.find("0100h  Device ID"), all.find("0104h  Device ID"));
}

TEST_F(ReportFixture, UnreadableFunctionsAreLeftOut) {
    add(0, makeSlot(1, 0), exampleHeader());
    add(0, makeSlot(2, 0), exampleHeader());
    source.functions.erase({0u, unsigned(makeSlot(2, 0))});
    const std::string all = report(2);
    EXPECT_EQ(blocks(all), 1);
    ASSERT_EQ(failures.failed.size(), 1u);
    EXPECT_EQ(failures.failed[0], makeSlot(2, 0));
    const std::string one = report(1);
    EXPECT_EQ(blocks(one), 0);
    EXPECT_EQ(one, report(0).substr(0, one.size())) << "the heading stays";
}

TEST_F(ReportFixture, EmptyTableWritesTheHeadingOnly) {
    const std::string text = report(0, {7, 4, 9, 1, 3, 2027});
    EXPECT_EQ(text, "Lumivar V4.04 - PCI Spec V3.0\n\n"
                    "Local Report Generated 07:04:09 on 1/3/2027\n\n" +
                        std::string(75, '_') + "\n\n");
}

// One header change and the block lines it must produce.
struct BlockCase {
    const char *what;
    void (*change)(ConfigHeader &);
    uint8_t slot;
    std::vector<std::string> lines;
};

const BlockCase BLOCK_CASES[] = {
    {"zero timers and interrupt pin",
     [](ConfigHeader &h) {
         h.CacheLineSize = h.LatencyTimer = h.InterruptPin = h.MaxLat = h.MinGnt = 0;
     },
     0x09,
     {"       00h  Cache Size\n", "       00h  Latency Timer\n", "       00h  Interrupt Line\n",
      "       00h  Interrupt Pin\n", "       00h  Max Latency\n", "       00h  Minimum Grant\n"}},
    {"multifunction on function 0",
     [](ConfigHeader &h) { h.HeaderType = 0x80; },
     0x09,
     {"       80h  Header Type     Multifunction device\n\n"}},
    {"component on function 1",
     [](ConfigHeader &h) { h.HeaderType = 0x00; },
     makeSlot(9, 1),
     {"PCI Bus #0,  PCI Device #9,  Function #1\n",
      "       00h  Header Type     Component To Multifunction Device\n\n"}},
    {"64-bit pair",
     [](ConfigHeader &h) {
         h.Bar[0] = 0xFEBF0004;
         h.Bar[1] = 0;
     },
     0x09,
     {" FEBF0000h  Base Address 0  64 Bit Memory Space \n", " 00000000h  Base Address 1  \n"}},
    {"below 1M, prefetchable, reserved type",
     [](ConfigHeader &h) {
         h.Bar[2] = 0x000C000A;
         h.Bar[3] = 0x00000006;
     },
     0x09,
     {" 000C0000h  Base Address 2  1M Memory Space (Cacheable)\n",
      " 00000000h  Base Address 3  Memory Space \n"}},
    {"raw ROM and CIS",
     [](ConfigHeader &h) {
         h.ExpansionRom = 0xC0000001;
         h.CisPointer = 0x00000403;
     },
     0x09,
     {" C0000001h  ROM Address\n\n", " 00000403h  CIS Pointer\n\n"}},
    {"no capabilities",
     [](ConfigHeader &h) { h.CapabilitiesPtr = 0; },
     0x09,
     {"       00h  Capability Ptr  \n\n"}},
    {"interrupt line hidden by pin 0",
     [](ConfigHeader &h) { h.InterruptPin = 0; },
     0x09,
     {"       00h  Interrupt Line\n"}},
    {"pin letter beyond D",
     [](ConfigHeader &h) { h.InterruptPin = 5; },
     0x09,
     {"       05h  Interrupt Pin   E\n"}},
    {"pin that has no letter",
     [](ConfigHeader &h) { h.InterruptPin = 0xC0; },
     0x09,
     {"       C0h  Interrupt Pin   ?\n"}},
    {"largest timers",
     [](ConfigHeader &h) { h.CacheLineSize = h.MaxLat = 0xFF; },
     0x09,
     {"       FFh  Cache Size      1020 bytes\n",
      "       FFh  Max Latency     63750 nanoseconds\n"}},
};

TEST(ReportBlock, FieldRules) {
    for (const BlockCase &c : BLOCK_CASES) {
        ConfigHeader h = exampleHeader();
        c.change(h);
        const std::string text =
            capture([&](FILE *f) { writeFunctionBlock(f, recordFor(0, c.slot, h), h); });
        for (const std::string &line : c.lines)
            EXPECT_NE(text.find(line), std::string::npos) << c.what << ": " << line;
    }
}

TEST(ReportFileName, ProposedNamesAndLongDirectories) {
    const std::string sep(1, PATH_SEPARATOR);
    const std::string longDir(300, 'd');
    const struct {
        std::string directory;
        uint16_t index, count;
        std::string path;
    } cases[] = {
        {"C:\\work", 2, 5, "C:\\work" + sep + "pci-3.txt"},
        {"C:\\work", 5, 5, "C:\\work" + sep + "pci-info.txt"},
        // The separator goes in even after a root's own.
        {"C:\\", 0, 1, "C:\\" + sep + "pci-1.txt"},
        {"/", 0, 1, "/" + sep + "pci-1.txt"},
        {"C:\\work", 0, 0, "C:\\work" + sep + "pci-info.txt"},
        {"/tmp", 31, 32, "/tmp" + sep + "pci-32.txt"},
        {longDir, 0, 1, sep + "pci-1.txt"},
        {std::string(245, 'd'), 0, 1, std::string(245, 'd') + sep + "pci-1.txt"},
        {std::string(246, 'd'), 0, 1, sep + "pci-1.txt"},
        {std::string(242, 'd'), 0, 1, std::string(242, 'd') + sep + "pci-1.txt"},
        {std::string(242, 'd'), 4, 5, std::string(242, 'd') + sep + "pci-5.txt"},
        {std::string(243, 'd'), 5, 5, sep + "pci-info.txt"},
    };
    for (const auto &c : cases) {
        char path[256];
        reportFileName(path, sizeof path, c.directory.c_str(), c.index, c.count);
        EXPECT_EQ(std::string(path), c.path) << c.directory.size() << " " << c.index;
    }
}

TEST(HexDumpLines, EightBytesALineAndCountsCutToFour) {
    uint8_t bytes[16];
    for (int i = 0; i < 16; ++i)
        bytes[i] = uint8_t(0xA0 + i);
    const auto dump = [&](uint16_t first, uint16_t count) {
        return capture([&](FILE *f) { writeHexDumpLines(f, first, count, bytes); });
    };
    EXPECT_EQ(dump(0x40, 16), "   40h : A0h A1h A2h A3h  A4h A5h A6h A7h\n"
                              "   48h : A8h A9h AAh ABh  ACh ADh AEh AFh\n");
    EXPECT_EQ(dump(0, 3), "");
    EXPECT_EQ(dump(0xF8, 7), "   F8h : A0h A1h A2h A3h\n") << "never reads past the count";
}

} // namespace
