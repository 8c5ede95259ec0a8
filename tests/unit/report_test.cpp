#include "report/dump_writer.h"
#include "report/report.h"

#include "golden.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using testing_support::capture;
using testing_support::exampleHeader;

class CountingFailures : public ReadFailureHandler {
  public:
    void readFailed(const DeviceRecord &r) override { failed.push_back(r.slot); }
    std::vector<uint8_t> failed;
};

// The record of a function as the scan leaves it.
DeviceRecord recordFor(unsigned bus, uint8_t slot, const ConfigHeader &h) {
    DeviceRecord r{};
    fillDeviceRecord(r, bus, slot, h);
    return r;
}

// A table and a source with the same functions.
struct Functions : testing::Test {
    testing_support::FakeSource source;
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
    std::string report(uint16_t index) {
        const ReportTime time = {9, 5, 3, 12, 5, 2026};
        return capture([&](FILE *f) { writeReportText(f, channel, table, index, time, failures); });
    }
};

TEST_F(Functions, WorkedExampleOfOneDevice) {
    add(0, makeSlot(9, 0), exampleHeader());
    testing_support::expectGolden("worked-example.report", report(0));
}

// An index below the count is that device; any other, all of them. A
// function that cannot be read is left out and told about; the heading stays.
TEST_F(Functions, OneDeviceOrAllAndTheUnreadableLeftOut) {
    for (unsigned d = 0; d < 3; ++d) {
        ConfigHeader h = exampleHeader();
        h.DeviceId = uint16_t(0x100 + d);
        add(0, makeSlot(d, 0), h);
    }
    source.functions.erase({0u, unsigned(makeSlot(1, 0))});
    const struct {
        uint16_t index;
        std::string devices;
    } cases[] = {{0, "0100"}, {1, ""}, {2, "0102"}, {3, "0100 0102"}, {0xFFFF, "0100 0102"}};
    for (const auto &c : cases) {
        failures.failed.clear();
        const std::string text = report(c.index);
        std::string devices;
        for (size_t at = 0; (at = text.find("h  Device ID", at)) != std::string::npos; ++at)
            devices.append(devices.empty() ? "" : " ").append(text, at - 4, 4);
        EXPECT_EQ(devices, c.devices) << c.index;
        EXPECT_EQ(failures.failed.size(), c.index == 0 || c.index == 2 ? 0u : 1u) << c.index;
    }
}

// The rules of each field, for the headers of tests/data/report-field-cases.txt.
TEST(ReportBlock, FieldRulesAsGoldenText) {
    std::string text;
    for (const auto &c : testing_support::readCases(TEST_DATA_DIR "/report-field-cases.txt")) {
        ConfigHeader h = exampleHeader();
        std::istringstream changes(c[2]);
        for (std::string change; std::getline(changes, change, ';');) {
            std::istringstream bytes(change);
            unsigned offset, byte;
            char colon;
            for (bytes >> std::hex >> offset >> colon; bytes >> byte; ++offset)
                h.bytes()[offset] = uint8_t(byte);
        }
        const uint8_t slot = makeSlot(unsigned(std::stoul(c[1], nullptr, 16)), c[1][2] - '0');
        text += "== " + c[0] + "\n" +
                capture([&](FILE *f) { writeFunctionBlock(f, recordFor(0, slot, h), h); });
    }
    testing_support::expectGolden("report-field-rules.report", text);
}

TEST(ReportFileName, ProposedNamesAndLongDirectories) {
    const std::string sep(1, PATH_SEPARATOR), d242(242, 'd'), d245(245, 'd');
    const struct {
        std::string directory;
        uint16_t index, count;
        std::string path;
    } cases[] = {
        {"C:\\work", 2, 5, "C:\\work" + sep + "pci-3.txt"},
        {"C:\\work", 5, 5, "C:\\work" + sep + "pci-info.txt"},
        {"/", 0, 1, "/" + sep + "pci-1.txt"}, // the separator even after a root's own
        {"/tmp", 31, 32, "/tmp" + sep + "pci-32.txt"},
        {d245, 0, 1, d245 + sep + "pci-1.txt"},
        {d245 + "d", 0, 1, sep + "pci-1.txt"}, // too long: the bare name
        {d242, 4, 5, d242 + sep + "pci-5.txt"},
        {d242 + "d", 5, 5, sep + "pci-info.txt"},
    };
    for (const auto &c : cases) {
        char path[256];
        reportFileName(path, sizeof path, c.directory.c_str(), c.index, c.count);
        EXPECT_EQ(std::string(path), c.path) << c.directory.size() << " " << c.index;
    }
}

// Every function that the source holds, in address order, as lspci -xxx
// writes them: the last one as much as the others.
TEST_F(Functions, DumpWriterWritesEveryFunctionTheSourceHolds) {
    const struct {
        unsigned bus;
        uint8_t slot;
        uint32_t classCode;
    } functions[] = {{5, makeSlot(4, 0), 0x02000000},
                     {0, makeSlot(0, 0), 0x06000000},
                     {0, makeSlot(3, 1), 0xFF000000},
                     {0, makeSlot(31, 7), 0x0C032000}};
    for (const auto &f : functions) {
        ConfigHeader h = testing_support::makeHeader(0x1234, f.slot, f.classCode);
        for (int i = 0x40; i < CONFIG_SPACE_SIZE; ++i)
            h.bytes()[i] = uint8_t(i * 7 + f.slot);
        source.add(f.bus, f.slot, h);
    }
    std::vector<FunctionAddress> unreadable;
    testing_support::expectGolden("dump-writer.dump",
                                  capture([&](FILE *f) { saveDump(f, channel, unreadable); }));
    EXPECT_TRUE(unreadable.empty());
}

} // namespace
