#include "config_image.h"
#include "decode/capability.h"

#include <gtest/gtest.h>

#include <vector>

using namespace testing_support;

namespace {

struct MsiCase {
    const char *name;
    uint16_t at;
    std::vector<Poke> body; // relative to `at`
    uint16_t capable, enabled;
    uint64_t address;
    uint16_t data;
    uint32_t mask, pending;
    bool truncated;
};

// Control bits: 0 enable, 1..3 log2 capable, 4..6 log2 enabled, 7 64-bit,
// 8 per-vector masking. What follows moves with the address width.
const MsiCase MSI_CASES[] = {
    {"32-bit",
     0x50,
     {u16(2, 0x0001), u32(4, 0xFEE0F00C), u16(8, 0x4171)},
     1,
     1,
     0xFEE0F00C,
     0x4171,
     0,
     0,
     false},
    {"32-bit, masking",
     0x50,
     {u16(2, 0x0117), u32(4, 0xFEE00000), u16(8, 0x0021), u32(0xC, 0x2), u32(0x10, 0x1)},
     8,
     2,
     0xFEE00000,
     0x0021,
     0x2,
     0x1,
     false},
    {"64-bit",
     0x50,
     {u16(2, 0x0086), u32(4, 0xFEE01000), u32(8, 0x1), u16(0xC, 0x4021)},
     8,
     1,
     0x1FEE01000,
     0x4021,
     0,
     0,
     false},
    {"64-bit, masking",
     0x50,
     {u16(2, 0x0197), u32(4, 0xFEE01000), u32(8, 0x1), u16(0xC, 0x4021), u32(0x10, 0x3),
      u32(0x14, 0x1)},
     8,
     2,
     0x1FEE01000,
     0x4021,
     0x3,
     0x1,
     false},
    {"64-bit, masking, runs past 100h",
     0xF0,
     {u16(2, 0x0180), u32(4, 0xFEE00000)},
     1,
     1,
     0xFEE00000,
     0,
     0,
     0,
     true},
    {"32-bit, masking, ends at 100h",
     0xEC,
     {u16(2, 0x0100), u32(0x10, 0x5)},
     1,
     1,
     0,
     0,
     0,
     5,
     false},
};

TEST(PciCapabilities, MsiFieldsFollowTheAddressWidthAndMasking) {
    for (const MsiCase &c : MSI_CASES) {
        SCOPED_TRACE(c.name);
        ConfigImage image(256);
        for (Poke p : c.body) {
            p.at = uint16_t(p.at + c.at);
            image.poke({p});
        }
        const MsiCap m = decodeMsi(image.space(), c.at);
        EXPECT_EQ(m.vectorsCapable, c.capable);
        EXPECT_EQ(m.vectorsEnabled, c.enabled);
        EXPECT_EQ(m.address, c.address);
        EXPECT_EQ(m.data, c.data);
        EXPECT_EQ(m.mask, c.mask);
        EXPECT_EQ(m.pending, c.pending);
        EXPECT_EQ(m.truncated, c.truncated);
    }
}

TEST(PciCapabilities, MsixTableAndPendingBits) {
    const ConfigImage image(256, {u16(0x72, 0x803F), u32(0x74, 0x2003), u32(0x78, 0x3004)});
    const MsixCap x = decodeMsix(image.space(), 0x70);
    EXPECT_EQ(x.tableSize, 64);
    EXPECT_TRUE(x.enabled);
    EXPECT_FALSE(x.functionMask);
    EXPECT_EQ(x.tableBir, 3);
    EXPECT_EQ(x.tableOffset, 0x2000u);
    EXPECT_EQ(x.pbaBir, 4);
    EXPECT_EQ(x.pbaOffset, 0x3000u);
    const ConfigImage masked(256, {u16(0x72, 0x47FF)});
    EXPECT_EQ(decodeMsix(masked.space(), 0x70).tableSize, 2048);
    EXPECT_TRUE(decodeMsix(masked.space(), 0x70).functionMask);
}

TEST(PciCapabilities, PowerManagementFlagsAndState) {
    const ConfigImage image(
        256, {u16(0x42, 0xC9C3), u16(0x44, 0x2008), u16(0x52, 0xFE29), u16(0x54, 0x8103)});
    const PowerManagementCap a = decodePowerManagement(image.space(), 0x40);
    EXPECT_EQ(a.version, 3);
    EXPECT_EQ(a.auxCurrentMa, 375);
    EXPECT_FALSE(a.d1 || a.d2);
    EXPECT_EQ(a.pmeFrom, 0x19); // D0, D3hot, D3cold
    EXPECT_EQ(a.powerState, 0);
    EXPECT_TRUE(a.noSoftReset);
    EXPECT_EQ(a.dataScale, 1);
    const PowerManagementCap b = decodePowerManagement(image.space(), 0x50);
    EXPECT_EQ(b.version, 1);
    EXPECT_TRUE(b.pmeClock && b.d1 && b.d2);
    EXPECT_EQ(b.pmeFrom, 0x1F);
    EXPECT_EQ(b.powerState, 3);
    EXPECT_TRUE(b.pmeEnable && b.pmeStatus);
}

struct PcieCase {
    const char *name;
    std::vector<Poke> body; // at 40h
    uint8_t version, portType;
    bool hasLink;
    uint16_t maxPayloadSupported, maxPayload, maxReadRequest;
    uint32_t maxSpeedMts;
    uint8_t maxWidth;
    uint32_t speedMts;
    uint8_t width, portNumber, supportedSpeeds, targetSpeed;
    uint32_t capturedPowerMw, slotPowerMw;
};

const PcieCase PCIE_CASES[] = {
    {"endpoint v2",
     {u16(0x42, 0x0002), u32(0x44, 0x10648CE2), u16(0x48, 0x2836), u32(0x4C, 0x00459C83),
      u16(0x52, 0x1083), u32(0x6C, 0x0E), u16(0x70, 0x3)},
     2,
     PCIE_ENDPOINT,
     true,
     512,
     256,
     512,
     8000,
     8,
     8000,
     8,
     0,
     0x7,
     3,
     25000,
     0},
    {"root port v2 with a slot",
     {u16(0x42, 0x0142), u32(0x4C, 0x07000104), u16(0x52, 0x2043), u32(0x54, 0x00000A00),
      u32(0x6C, 0x1E), u16(0x70, 0x4)},
     2,
     PCIE_ROOT_PORT,
     true,
     128,
     128,
     128,
     16000,
     16,
     8000,
     4,
     7,
     0xF,
     4,
     0,
     20000},
    {"v1 leaves the version 2 registers",
     {u16(0x42, 0x0071), u32(0x4C, 0x00000011), u16(0x52, 0x0011), u32(0x6C, 0x0E)},
     1,
     PCIE_TO_PCI_BRIDGE,
     true,
     128,
     128,
     128,
     2500,
     1,
     2500,
     1,
     0,
     0,
     0,
     0,
     0},
    {"integrated endpoint has no link",
     {u16(0x42, 0x0092), u32(0x44, 0x03C80000)},
     2,
     PCIE_ROOT_COMPLEX_ENDPOINT,
     false,
     128,
     128,
     128,
     0,
     0,
     0,
     0,
     0,
     0,
     0,
     300000,
     0},
};

TEST(PciCapabilities, PciExpressPortLinkAndDevice) {
    for (const PcieCase &c : PCIE_CASES) {
        SCOPED_TRACE(c.name);
        ConfigImage image(256);
        for (const Poke &p : c.body)
            image.poke({p});
        const PciExpressCap e = decodePciExpress(image.space(), 0x40);
        EXPECT_EQ(e.version, c.version);
        EXPECT_EQ(e.portType, c.portType);
        EXPECT_EQ(e.hasLink, c.hasLink);
        EXPECT_EQ(e.maxPayloadSupported, c.maxPayloadSupported);
        EXPECT_EQ(e.maxPayload, c.maxPayload);
        EXPECT_EQ(e.maxReadRequest, c.maxReadRequest);
        EXPECT_EQ(linkSpeedMts(e.maxLinkSpeed), c.maxSpeedMts);
        EXPECT_EQ(e.maxLinkWidth, c.maxWidth);
        EXPECT_EQ(linkSpeedMts(e.linkSpeed), c.speedMts);
        EXPECT_EQ(e.linkWidth, c.width);
        EXPECT_EQ(e.portNumber, c.portNumber);
        EXPECT_EQ(e.supportedSpeeds, c.supportedSpeeds);
        EXPECT_EQ(e.targetLinkSpeed, c.targetSpeed);
        EXPECT_EQ(e.capturedSlotPowerMw, c.capturedPowerMw);
        EXPECT_EQ(e.slotPowerLimitMw, c.slotPowerMw);
        EXPECT_FALSE(e.truncated);
    }
}

TEST(PciCapabilities, PciExpressPastTheFirst256BytesIsTruncated) {
    const ConfigImage image(4096, {u16(0xE2, 0x0002), u32(0x110, 0xFFFFFFFF)});
    const PciExpressCap e = decodePciExpress(image.space(), 0xE0);
    EXPECT_TRUE(e.truncated);
    EXPECT_EQ(e.linkCapabilities2, 0u) << "the PCI list ends at 100h whatever was read";
}

TEST(PciCapabilities, VendorSpecificLength) {
    const ConfigImage image(256, {u8(0x4A, 0x08)});
    EXPECT_EQ(decodeVendorSpecific(image.space(), 0x48).length, 8);
}

} // namespace
