#include "scan/device_table.h"
#include "scan/left_out.h"

#include "golden.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using testing_support::FakeSource;
using testing_support::makeHeader;

// Scans source into table; the records as "BB:DD.F" in table order.
std::string scan(FakeSource &source, DeviceTable &table) {
    ConfigChannel channel;
    channel.source = &source;
    EXPECT_TRUE(openChannel(channel));
    resetDeviceTable(table);
    scanDevices(channel, table);
    std::string order;
    for (int i = 0; i < table.count; ++i) {
        char at[16];
        snprintf(at, sizeof at, "%s%02x:%02x.%u", i ? " " : "", table.records[i].bus,
                 slotDevice(table.records[i].slot), slotFunction(table.records[i].slot));
        order += at;
    }
    return order;
}

// Every bus/slot pair of buses 0..15 is read once; within a bus the second
// function of device 1 comes after every function 0. Device 1 is current.
TEST(Scan, ReadsBuses0To15FunctionMajor) {
    const struct {
        std::vector<std::array<unsigned, 3>> functions; // bus, device, function
        const char *order;
    } cases[] = {
        {{{0, 0, 0}, {0, 1, 0}, {0, 1, 1}, {0, 2, 0}, {1, 0, 0}},
         "00:00.0 00:01.0 00:02.0 00:01.1 01:00.0"},
        {{{16, 0, 0}, {15, 31, 7}}, "0f:1f.7"},
        {{}, ""},
    };
    for (const auto &c : cases) {
        FakeSource source;
        for (const auto &f : c.functions)
            source.add(f[0], makeSlot(f[1], f[2]), makeHeader(0x8086, 0x1000));
        static DeviceTable table;
        EXPECT_EQ(scan(source, table), c.order);
        EXPECT_EQ(source.reads, SCAN_BUSES * SCAN_SLOTS);
        EXPECT_EQ(table.current, 1);
    }
}

// Identifiers, class names, "Unknown" as vendor name and the other names
// empty; no vendor-id test: whatever answers is a function.
TEST(Scan, RecordsIdentifiersClassNamesAndDefaultNames) {
    FakeSource source;
    ConfigHeader h = makeHeader(0x1AF4, 0x1041, 0x02000001);
    h.SubsystemVendorId = 0x1AF4;
    h.SubsystemId = 0x0001;
    source.add(0, 3, h);
    source.add(0, 4, makeHeader(0xFFFF, 0xFFFF, 0x80000000));
    static DeviceTable table;
    scan(source, table);
    std::string records;
    for (int i = 0; i < table.count; ++i) {
        const DeviceRecord &r = table.records[i];
        char ids[32];
        snprintf(ids, sizeof ids, "%04X %04X %04X %04X %02X ", r.ids[0], r.ids[1], r.ids[2],
                 r.ids[3], r.ids[4]);
        records += std::string(ids) + r.className + "|" + r.subClassName + "|" + r.progIfName;
        for (const char *name : r.names)
            records += std::string("|") + name;
        records += "\n";
    }
    EXPECT_EQ(records, "1AF4 1041 1AF4 0001 01 Network Controller|Ethernet||Unknown||||\n"
                       "FFFF FFFF 0000 0000 00 |||Unknown||||\n");
}

// Bus and slot are cut to eight bits; no buffer, no read; a channel closes
// once and, closed, reads nothing.
TEST(Channel, CutsToEightBitsAndClosesOnce) {
    FakeSource source;
    ConfigChannel channel;
    channel.source = &source;
    closeChannel(channel); // never opened: harmless
    EXPECT_EQ(source.closes, 0);
    ASSERT_TRUE(openChannel(channel));
    EXPECT_FALSE(readConfig(channel, 0, 0, nullptr));
    EXPECT_EQ(source.reads, 0);
    ConfigHeader h;
    source.add(0, 44, makeHeader(0x1234, 1));
    EXPECT_TRUE(readConfig(channel, 256, 300, &h));
    closeChannel(channel);
    closeChannel(channel);
    EXPECT_EQ(source.closes, 1);
    EXPECT_FALSE(readConfig(channel, 0, 0, &h)) << "a closed channel reads nothing";
}

std::vector<FunctionAddress> onBus(uint8_t bus, unsigned count) {
    std::vector<FunctionAddress> out;
    for (unsigned i = 0; i < count; ++i)
        out.push_back({0, bus, uint8_t(i / 8), uint8_t(i % 8)});
    return out;
}

// The command line's one line about what the bounded table leaves out (the
// scan goes function-major: of 33 on bus 0, device 3 function 7 comes last,
// beyond the 32 the table keeps). A full table still reads every pair.
TEST(Scan, SaysWhichFunctionsLieOutsideAndWhy) {
    const FunctionAddress NONE = {0xFFFF, 0, 0, 0};
    const struct {
        std::vector<FunctionAddress> held;
        FunctionAddress unreadable;
    } cases[] = {
        {onBus(0, 3), NONE},
        {onBus(0x81, 2), NONE},
        {onBus(0, 33), NONE},
        {onBus(0x10, 10), NONE},
        {{{1, 0, 0, 0}, {0, 0x20, 1, 0}, {0, 0, 5, 0}}, {0, 0, 5, 0}},
    };
    std::string lines;
    for (const auto &c : cases) {
        FakeSource source;
        for (const FunctionAddress &at : c.held)
            if (at.domain == 0 && !(at == c.unreadable))
                source.add(at.bus, makeSlot(at.device, at.function), makeHeader(0x1000, 1));
        static DeviceTable table;
        scan(source, table);
        EXPECT_EQ(source.reads, SCAN_BUSES * SCAN_SLOTS);
        lines += describeLeftOut(c.held, table) + "\n";
    }
    testing_support::expectGolden("left-out.txt", lines);
}

} // namespace
