#include "scan/device_table.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using testing_support::FakeSource;
using testing_support::makeHeader;

// The table after a scan of source, one "bus:device.function" per record.
std::string scan(FakeSource &source, DeviceTable &table) {
    ConfigChannel channel;
    channel.source = &source;
    EXPECT_TRUE(openChannel(channel));
    resetDeviceTable(table);
    scanDevices(channel, table);
    std::string order;
    for (int i = 0; i < table.count; ++i) {
        const DeviceRecord &r = table.records[i];
        char text[16];
        snprintf(text, sizeof text, "%s%u:%u.%u", i ? " " : "", r.bus, slotDevice(r.slot),
                 slotFunction(r.slot));
        order += text;
    }
    return order;
}

// The slot loop runs over the slot byte: within a bus every function 0 comes
// before any function 1. Buses 0..15 only; every pair is read, even when the
// table is full.
TEST(Scan, OrderAndBounds) {
    FakeSource source;
    for (const auto &[bus, device, function] :
         {std::tuple{0, 1, 1}, {0, 0, 0}, {0, 1, 0}, {0, 2, 0}, {1, 0, 0}, {15, 31, 7}, {16, 0, 0}})
        source.add(bus, makeSlot(device, function), makeHeader(0x8086, 0x1000));
    static DeviceTable table;
    EXPECT_EQ(scan(source, table), "0:0.0 0:1.0 0:2.0 0:1.1 1:0.0 15:31.7");
    EXPECT_EQ(source.reads, SCAN_BUSES * SCAN_SLOTS);
    EXPECT_EQ(table.current, 1);

    FakeSource many;
    for (unsigned i = 0; i < 40; ++i)
        many.add(i / 8, makeSlot(i % 8, 0), makeHeader(0x1000, uint16_t(i)));
    scan(many, table);
    EXPECT_EQ(table.count, MAX_DEVICES);
    EXPECT_EQ(table.records[MAX_DEVICES - 1].ids[NAME_DEVICE], MAX_DEVICES - 1);
    EXPECT_EQ(many.reads, SCAN_BUSES * SCAN_SLOTS);
}

TEST(Scan, RecordsIdentifiersClassNamesAndDefaultNames) {
    FakeSource source;
    ConfigHeader h = makeHeader(0x1AF4, 0x1041, 0x02000001);
    h.SubsystemVendorId = 0x1AF5;
    h.SubsystemId = 0x0002;
    source.add(0, 3, h);
    static DeviceTable table;
    scan(source, table);
    const DeviceRecord &r = table.records[0];
    EXPECT_EQ(std::vector<uint16_t>(r.ids, r.ids + NAME_KINDS),
              (std::vector<uint16_t>{0x1AF4, 0x1041, 0x1AF5, 0x0002, 0x01}));
    EXPECT_EQ(std::string(r.className) + "|" + r.subClassName + "|" + r.progIfName,
              "Network Controller|Ethernet|");
    EXPECT_STREQ(r.names[NAME_VENDOR], "Unknown");
    for (int k = NAME_DEVICE; k < NAME_KINDS; ++k)
        EXPECT_STREQ(r.names[k], "");
}

TEST(Channel, CutsToEightBitsAndClosesOnce) {
    FakeSource source;
    ConfigChannel channel;
    channel.source = &source;
    closeChannel(channel); // never opened: harmless
    ASSERT_TRUE(openChannel(channel));
    ConfigHeader h;
    readConfig(channel, 256, 300, &h);
    EXPECT_EQ(source.lastBus, 0u);
    EXPECT_EQ(source.lastSlot, 44u);
    EXPECT_FALSE(readConfig(channel, 0, 0, nullptr));
    EXPECT_EQ(source.reads, 1);
    closeChannel(channel);
    closeChannel(channel);
    EXPECT_EQ(source.closes, 1);
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

} // namespace
