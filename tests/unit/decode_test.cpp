#include "header/config_header.h"

#include <gtest/gtest.h>

namespace {

struct BarCase {
    uint32_t raw;
    bool present, isIo;
    uint32_t address;
    uint8_t memoryType;
    bool prefetchable;
};

const BarCase BAR_CASES[] = {
    {0x00000000, false, false, 0, 0, false},
    {0xE0000008, true, false, 0xE0000000, 0, true},
    {0x0000E001, true, true, 0xE000, 0, false},
    // I/O: bits 2 and 3 are address bits, not flags.
    {0x0000E00D, true, true, 0xE00C, 0, false},
    {0xFEBF0004, true, false, 0xFEBF0000, 2, false},
    {0x00000002, true, false, 0, 1, false},
    {0x00000006, true, false, 0, 3, false},
    {0x00000008, true, false, 0, 0, true},
    {0xFFFFFFFF, true, true, 0xFFFFFFFC, 0, false},
    {0xFFFFFFFE, true, false, 0xFFFFFFF0, 3, true},
    {0x00000001, true, true, 0, 0, false},
};

TEST(DecodeBar, SpaceAddressTypeAndPrefetch) {
    for (const BarCase &c : BAR_CASES) {
        const BarInfo b = decodeBar(c.raw);
        SCOPED_TRACE(testing::Message() << std::hex << "raw " << c.raw);
        EXPECT_EQ(b.present, c.present);
        EXPECT_EQ(b.isIo, c.isIo);
        EXPECT_EQ(b.address, c.address);
        EXPECT_EQ(b.memoryType, c.memoryType);
        EXPECT_EQ(b.prefetchable, c.prefetchable);
    }
}

TEST(DecodeScales, CacheLineAndLatency) {
    EXPECT_EQ(cacheLineBytes(0x10), 64u);
    EXPECT_EQ(cacheLineBytes(0xFF), 1020u);
    EXPECT_EQ(cacheLineBytes(0x00), 0u);
    EXPECT_EQ(latencyNs(0xFF), 63750u);
    EXPECT_EQ(latencyNs(0x01), 250u);
    EXPECT_EQ(latencyNs(0x04), 1000u);
}

TEST(DecodeInterrupt, PinLetters) {
    const struct {
        uint8_t pin;
        char letter;
    } cases[] = {{1, 'A'}, {2, 'B'}, {4, 'D'}, {5, 'E'}, {0xC0, '\0'}, {0xFF, '?'}};
    for (const auto &c : cases)
        EXPECT_EQ(interruptPinLetter(c.pin), c.letter) << int(c.pin);
}

TEST(DecodeStatus, DevselTiming) {
    EXPECT_EQ(devselTiming(0x0290), 1u);
    EXPECT_EQ(devselTiming(0x0000), 0u);
    EXPECT_EQ(devselTiming(0x0400), 2u);
    EXPECT_EQ(devselTiming(0xFFFF), 3u);
}

struct RoleCase {
    uint8_t headerType;
    unsigned function;
    bool multi;
    const char *role;
};

const RoleCase ROLE_CASES[] = {
    {0x80, 0, true, "Multifunction device"},
    {0x81, 3, true, "Multifunction device"},
    {0x00, 2, true, "Component To Multifunction Device"},
    {0x00, 0, false, "Single Function Device"},
    {0x01, 0, false, "Single Function Device"},
    {0x7F, 7, true, "Component To Multifunction Device"},
};

TEST(DecodeRole, MultiFunctionAndRoleText) {
    for (const RoleCase &c : ROLE_CASES) {
        const uint8_t slot = makeSlot(5, c.function);
        EXPECT_EQ(isMultiFunction(c.headerType, slot), c.multi) << int(c.headerType);
        EXPECT_STREQ(functionRoleText(c.headerType, slot), c.role) << int(c.headerType);
    }
}

TEST(DecodeSlot, DeviceInLowBitsFunctionInHighBits) {
    EXPECT_EQ(slotDevice(0x29), 9u);
    EXPECT_EQ(slotFunction(0x29), 1u);
    EXPECT_EQ(slotDevice(0xFF), 31u);
    EXPECT_EQ(slotFunction(0xFF), 7u);
    EXPECT_EQ(makeSlot(1, 1), 0x21);
}

TEST(DecodeHeader, FieldsSitAtTheirOffsets) {
    ConfigHeader h{};
    uint8_t *b = h.bytes();
    for (int i = 0; i < CONFIG_SPACE_SIZE; ++i)
        b[i] = uint8_t(i);
    EXPECT_EQ(h.VendorId, 0x0100);
    EXPECT_EQ(h.Status, 0x0706);
    EXPECT_EQ(h.classCode(), 0x0B0A0908u);
    EXPECT_EQ(h.Bar[5], 0x27262524u);
    EXPECT_EQ(h.SubsystemId, 0x2F2E);
    EXPECT_EQ(h.ExpansionRom, 0x33323130u);
    EXPECT_EQ(h.InterruptPin, 0x3D);
    EXPECT_EQ(h.MaxLat, 0x3F);
    EXPECT_TRUE(hasCapabilities(h.CapabilitiesPtr));
    EXPECT_FALSE(hasCapabilities(0));
}

} // namespace
