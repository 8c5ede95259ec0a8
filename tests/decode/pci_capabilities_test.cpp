#include "config_image.h"
#include "decode/pci_capabilities.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using namespace testing_support;

namespace {

struct MsiCase {
    const char *name;
    uint16_t at;
    std::vector<Poke> body; // offsets relative to `at`
    uint16_t capable, enabled;
    uint64_t address;
    uint16_t data;
    uint32_t mask, pending;
    bool truncated;
};

// Control bits: 0 enable, 1..3 log2 capable, 4..6 log2 enabled, 7 64-bit,
// 8 per-vector masking. What follows the address moves with its width.
// clang-format off
const MsiCase MSI_CASES[] = {
    {"32-bit", 0x50, {u16(2, 0x0001), u32(4, 0xFEE0F00C), u16(8, 0x4171)},
     1, 1, 0xFEE0F00C, 0x4171, 0, 0, false},
    {"32-bit, masking", 0x50,
     {u16(2, 0x0117), u32(4, 0xFEE00000), u16(8, 0x21), u32(0xC, 0x2), u32(0x10, 0x1)},
     8, 2, 0xFEE00000, 0x21, 0x2, 0x1, false},
    {"64-bit", 0x50, {u16(2, 0x0086), u32(4, 0xFEE01000), u32(8, 0x1), u16(0xC, 0x4021)},
     8, 1, 0x1FEE01000, 0x4021, 0, 0, false},
    {"64-bit, masking", 0x50,
     {u16(2, 0x0197), u32(4, 0xFEE01000), u32(8, 0x1), u16(0xC, 0x4021), u32(0x10, 0x3),
      u32(0x14, 0x1)},
     8, 2, 0x1FEE01000, 0x4021, 0x3, 0x1, false},
    {"64-bit, masking, runs past 100h", 0xF0, {u16(2, 0x0180), u32(4, 0xFEE00000)},
     1, 1, 0xFEE00000, 0, 0, 0, true},
    {"32-bit, masking, ends at 100h", 0xEC, {u16(2, 0x0100), u32(0x10, 0x5)},
     1, 1, 0, 0, 0, 5, false},
};
// clang-format on

TEST(PciCapabilities, MsiFieldsFollowTheAddressWidthAndMasking) {
    for (const MsiCase &c : MSI_CASES) {
        SCOPED_TRACE(c.name);
        const MsiCap m = decodeMsi(ConfigImage(256).poke(c.body, c.at).space(), c.at);
        EXPECT_EQ(std::tuple(m.vectorsCapable, m.vectorsEnabled, m.address, m.data),
                  std::tuple(c.capable, c.enabled, c.address, c.data));
        EXPECT_EQ(std::tuple(m.mask, m.pending, m.truncated),
                  std::tuple(c.mask, c.pending, c.truncated));
    }
}

// The samples' tables all sit in BAR 0; here the BIR bits share the dword.
TEST(PciCapabilities, MsixTableInAnotherBar) {
    const ConfigImage image(256, {u16(0x72, 0x47FF), u32(0x74, 0x2003), u32(0x78, 0x3004)});
    const MsixCap x = decodeMsix(image.space(), 0x70);
    EXPECT_EQ(std::tuple(x.tableSize, x.enabled, x.functionMask), std::tuple(2048, false, true));
    EXPECT_EQ(std::tuple(x.tableBir, x.tableOffset, x.pbaBir, x.pbaOffset),
              std::tuple(3, 0x2000u, 4, 0x3000u));
}

TEST(PciCapabilities, PowerManagementFlagsAndState) {
    const ConfigImage image(
        256, {u16(0x42, 0xC9C3), u16(0x44, 0x2008), u16(0x52, 0xFE29), u16(0x54, 0x8103)});
    const PowerManagementCap a = decodePowerManagement(image.space(), 0x40);
    // PME from D0, D3hot and D3cold (bits 0, 3, 4).
    EXPECT_EQ(std::tuple(a.version, a.auxCurrentMa, a.d1, a.d2, a.pmeFrom),
              std::tuple(3, 375, false, false, 0x19));
    EXPECT_EQ(std::tuple(a.powerState, a.noSoftReset, a.dataScale), std::tuple(0, true, 1));
    const PowerManagementCap b = decodePowerManagement(image.space(), 0x50);
    EXPECT_EQ(std::tuple(b.version, b.pmeClock, b.d1, b.d2, b.pmeFrom),
              std::tuple(1, true, true, true, 0x1F));
    EXPECT_EQ(std::tuple(b.powerState, b.pmeEnable, b.pmeStatus), std::tuple(3, true, true));
}

struct PcieCase {
    const char *name;
    std::vector<Poke> body; // at 40h
    uint8_t version, portType;
    bool hasLink;
    uint16_t maxPayloadSupported, maxPayload, maxReadRequest;
    uint32_t maxSpeedMts, maxWidth, speedMts, width, portNumber, supportedSpeeds, targetSpeed;
    uint32_t capturedPowerMw, slotPowerMw;
};

// clang-format off
const PcieCase PCIE_CASES[] = {
    {"endpoint v2",
     {u16(0x42, 0x0002), u32(0x44, 0x10648CE2), u16(0x48, 0x2836), u32(0x4C, 0x00459C83),
      u16(0x52, 0x1083), u32(0x6C, 0x0E), u16(0x70, 0x3)},
     2, PCIE_ENDPOINT, true, 512, 256, 512, 8000, 8, 8000, 8, 0, 0x7, 3, 25000, 0},
    {"root port v2 with a slot",
     {u16(0x42, 0x0142), u32(0x4C, 0x07000104), u16(0x52, 0x2043), u32(0x54, 0x00000A00),
      u32(0x6C, 0x1E), u16(0x70, 0x4)},
     2, PCIE_ROOT_PORT, true, 128, 128, 128, 16000, 16, 8000, 4, 7, 0xF, 4, 0, 20000},
    {"v1 leaves the version 2 registers",
     {u16(0x42, 0x0071), u32(0x4C, 0x00000011), u16(0x52, 0x0011), u32(0x6C, 0x0E)},
     1, PCIE_TO_PCI_BRIDGE, true, 128, 128, 128, 2500, 1, 2500, 1, 0, 0, 0, 0, 0},
    {"integrated endpoint has no link", {u16(0x42, 0x0092), u32(0x44, 0x03C80000)},
     2, PCIE_ROOT_COMPLEX_ENDPOINT, false, 128, 128, 128, 0, 0, 0, 0, 0, 0, 0, 300000, 0},
};
// clang-format on

TEST(PciCapabilities, PciExpressPortLinkAndDevice) {
    for (const PcieCase &c : PCIE_CASES) {
        SCOPED_TRACE(c.name);
        const PciExpressCap e = decodePciExpress(ConfigImage(256, c.body).space(), 0x40);
        EXPECT_EQ(std::tuple(e.version, e.portType, e.hasLink, e.truncated),
                  std::tuple(c.version, c.portType, c.hasLink, false));
        EXPECT_EQ(std::tuple(e.maxPayloadSupported, e.maxPayload, e.maxReadRequest),
                  std::tuple(c.maxPayloadSupported, c.maxPayload, c.maxReadRequest));
        EXPECT_EQ(std::tuple(linkSpeedMts(e.maxLinkSpeed), uint32_t(e.maxLinkWidth),
                             linkSpeedMts(e.linkSpeed), uint32_t(e.linkWidth)),
                  std::tuple(c.maxSpeedMts, c.maxWidth, c.speedMts, c.width));
        EXPECT_EQ(std::tuple(uint32_t(e.portNumber), uint32_t(e.supportedSpeeds),
                             uint32_t(e.targetLinkSpeed)),
                  std::tuple(c.portNumber, c.supportedSpeeds, c.targetSpeed));
        EXPECT_EQ(std::tuple(e.capturedSlotPowerMw, e.slotPowerLimitMw),
                  std::tuple(c.capturedPowerMw, c.slotPowerMw));
    }
}

TEST(PciCapabilities, PciExpressPastTheFirst256BytesIsTruncated) {
    const ConfigImage image(4096, {u16(0xE2, 0x0002), u32(0x110, 0xFFFFFFFF)});
    const PciExpressCap e = decodePciExpress(image.space(), 0xE0);
    EXPECT_TRUE(e.truncated);
    EXPECT_EQ(e.linkCapabilities2, 0u) << "the PCI list ends at 100h whatever was read";
}

} // namespace
