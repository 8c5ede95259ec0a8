#include "scan/device_table.h"
#include "scan/left_out.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing_support::FakeSource;
using testing_support::makeHeader;

struct Position {
    unsigned bus, device, function;
};

std::vector<Position> scanOrder(FakeSource &source, DeviceTable &table) {
    ConfigChannel channel;
    channel.source = &source;
    EXPECT_TRUE(openChannel(channel));
    resetDeviceTable(table);
    scanDevices(channel, table);
    std::vector<Position> order;
    for (int i = 0; i < table.count; ++i)
        order.push_back({table.records[i].bus, slotDevice(table.records[i].slot),
                         slotFunction(table.records[i].slot)});
    return order;
}

bool operator==(const Position &a, const Position &b) {
    return a.bus == b.bus && a.device == b.device && a.function == b.function;
}

TEST(Scan, OrderIsFunctionMajorWithinABus) {
    FakeSource source;
    for (Position p : {Position{0, 0, 0}, {0, 1, 0}, {0, 1, 1}, {0, 2, 0}, {1, 0, 0}})
        source.add(p.bus, makeSlot(p.device, p.function), makeHeader(0x8086, 0x1000));
    static DeviceTable table;
    const auto order = scanOrder(source, table);
    // The second function of device 1 comes after every function 0 of bus 0.
    const std::vector<Position> expected = {{0, 0, 0}, {0, 1, 0}, {0, 2, 0}, {0, 1, 1}, {1, 0, 0}};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(source.reads, SCAN_BUSES * SCAN_SLOTS);
    EXPECT_EQ(table.current, 1);
}

TEST(Scan, KeepsTheFirst32AndStillReadsEverything) {
    FakeSource source;
    for (unsigned i = 0; i < 40; ++i)
        source.add(i / 8, makeSlot(i % 8, 0), makeHeader(0x1000, uint16_t(i)));
    static DeviceTable table;
    scanOrder(source, table);
    EXPECT_EQ(table.count, MAX_DEVICES);
    EXPECT_EQ(source.reads, 4096);
    for (int i = 0; i < MAX_DEVICES; ++i)
        EXPECT_EQ(table.records[i].ids[NAME_DEVICE], i);
}

TEST(Scan, NeverAsksBeyondBus15) {
    FakeSource source;
    source.add(16, 0, makeHeader(0x1234, 1));
    source.add(15, 255, makeHeader(0x1234, 2));
    static DeviceTable table;
    const auto order = scanOrder(source, table);
    ASSERT_EQ(order.size(), 1u);
    EXPECT_EQ(order[0], (Position{15, 31, 7}));
}

TEST(Scan, RecordsIdentifiersClassNamesAndDefaultNames) {
    FakeSource source;
    ConfigHeader h = makeHeader(0x1AF4, 0x1041, 0x02000001);
    h.SubsystemVendorId = 0x1AF4;
    h.SubsystemId = 0x0001;
    source.add(0, 3, h);
    ConfigHeader unknownClass = makeHeader(0xFFFF, 0xFFFF, 0x80000000);
    source.add(0, 4, unknownClass);
    static DeviceTable table;
    scanOrder(source, table);
    ASSERT_EQ(table.count, 2);
    const DeviceRecord &r = table.records[0];
    EXPECT_EQ(r.ids[NAME_VENDOR], 0x1AF4);
    EXPECT_EQ(r.ids[NAME_DEVICE], 0x1041);
    EXPECT_EQ(r.ids[NAME_SUBSYSTEM_VENDOR], 0x1AF4);
    EXPECT_EQ(r.ids[NAME_SUBSYSTEM], 0x0001);
    EXPECT_EQ(r.ids[NAME_REVISION], 0x01);
    EXPECT_STREQ(r.className, "Network Controller");
    EXPECT_STREQ(r.subClassName, "Ethernet");
    EXPECT_STREQ(r.names[NAME_VENDOR], "Unknown");
    for (int k = NAME_DEVICE; k < NAME_KINDS; ++k)
        EXPECT_STREQ(r.names[k], "");
    // No vendor-id test: whatever answers is a function.
    EXPECT_STREQ(table.records[1].className, "");
    EXPECT_STREQ(table.records[1].subClassName, "");
    EXPECT_STREQ(table.records[1].progIfName, "");
}

TEST(Scan, NothingAnswers) {
    FakeSource source;
    static DeviceTable table;
    scanOrder(source, table);
    EXPECT_EQ(table.count, 0);
    EXPECT_EQ(table.current, 1);
}

TEST(Channel, CutsBusAndSlotToEightBits) {
    FakeSource source;
    ConfigChannel channel;
    channel.source = &source;
    ASSERT_TRUE(openChannel(channel));
    ConfigHeader h;
    readConfig(channel, 256, 300, &h);
    EXPECT_EQ(source.lastBus, 0u);
    EXPECT_EQ(source.lastSlot, 44u);
}

TEST(Channel, NullBufferReadsNothingAndCloseHappensOnce) {
    FakeSource source;
    ConfigChannel channel;
    channel.source = &source;
    closeChannel(channel); // never opened: harmless
    EXPECT_EQ(source.closes, 0);
    ASSERT_TRUE(openChannel(channel));
    EXPECT_FALSE(readConfig(channel, 0, 0, nullptr));
    EXPECT_EQ(source.reads, 0);
    closeChannel(channel);
    closeChannel(channel);
    EXPECT_EQ(source.closes, 1);
    ConfigHeader h;
    EXPECT_FALSE(readConfig(channel, 0, 0, &h)) << "a closed channel reads nothing";
}

TEST(ReadFailureText, NamesBusDeviceAndFunction) {
    DeviceRecord r{};
    r.bus = 2;
    r.slot = makeSlot(17, 3);
    char text[128];
    formatReadFailure(r, text, sizeof text);
    EXPECT_STREQ(text, "Unable to obtain PCI information for\nBus: 2,  Device: 17,  Function: 3");
}

std::vector<FunctionAddress> onBus(uint8_t bus, unsigned count, uint32_t domain = 0) {
    std::vector<FunctionAddress> out;
    for (unsigned i = 0; i < count; ++i)
        out.push_back({domain, bus, uint8_t(i / 8), uint8_t(i % 8)});
    return out;
}

// The command line's one line about what the bounded table leaves out.
TEST(Scan, SaysWhichFunctionsLieOutsideAndWhy) {
    const FunctionAddress NONE = {0xFFFF, 0, 0, 0};
    const struct {
        std::vector<FunctionAddress> held;
        FunctionAddress unreadable;
        const char *line;
    } cases[] = {
        {onBus(0, 3), NONE, ""},
        {onBus(0x81, 2), NONE,
         "2 functions lie outside the scan (bus above 15): 0000:81:00.0, 0000:81:00.1"},
        // The scan goes function-major: device 3 function 7 comes last.
        {onBus(0, 33), NONE,
         "1 function lies outside the scan (beyond the 32 the table holds): 0000:00:03.7"},
        {onBus(0x10, 10), NONE,
         "10 functions lie outside the scan (bus above 15): 0000:10:00.0, 0000:10:00.1, "
         "0000:10:00.2, 0000:10:00.3, 0000:10:00.4, 0000:10:00.5, 0000:10:00.6, 0000:10:00.7 "
         "and 2 more"},
        {{{1, 0, 0, 0}, {0, 0x20, 1, 0}, {0, 0, 5, 0}},
         {0, 0, 5, 0},
         "3 functions lie outside the scan (outside domain 0): 0001:00:00.0; (bus above 15): "
         "0000:20:01.0; (could not be read): 0000:00:05.0"},
    };
    for (const auto &c : cases) {
        FakeSource source;
        for (const FunctionAddress &at : c.held)
            if (at.domain == 0 && !(at == c.unreadable))
                source.add(at.bus, makeSlot(at.device, at.function), makeHeader(0x1000, 1));
        static DeviceTable table;
        scanOrder(source, table);
        EXPECT_EQ(describeLeftOut(c.held, table), c.line);
    }
}

} // namespace
