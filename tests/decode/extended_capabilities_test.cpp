#include "config_image.h"
#include "decode/capability.h"
#include "decode/capability_names.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using namespace testing_support;

namespace {

// An SR-IOV network function with one of each decoded extended capability.
// `lspci -F` of its dump prints the same values as the expectations below.
const ConfigImage
    ENDPOINT(4096, {u16(6, 0x10), u8(0x34, 0x40), u16(0x40, 0x0010), u16(0x42, 0x0002),
                    // Advanced Error Reporting: statuses, masks, severity, control, header log.
                    ext(0x100, 0x0001, 2, 0x140), u32(0x104, 0x00104000), u32(0x108, 0x00400000),
                    u32(0x10C, 0x00462030), u32(0x110, 0x00002001), u32(0x114, 0x00002000),
                    u32(0x118, 0x000001EE), u32(0x11C, 0x40000001), u32(0x128, 0x9ABCDEF0),
                    u32(0x12C, 0xFFFFFFFF), // past an endpoint's registers
                    ext(0x140, 0x0003, 1, 0x150), u32(0x144, 0x44332211), u32(0x148, 0x88776655),
                    ext(0x150, 0x000E, 1, 0x160), u16(0x154, 0x0102), u16(0x156, 0x0012),
                    // SR-IOV with two 64-bit VF BARs, at registers 0 and 4.
                    ext(0x160, 0x0010, 1, 0x1A0), u32(0x164, 0x00A00002), u16(0x168, 0x0019),
                    u16(0x16C, 64), u16(0x16E, 64), u16(0x170, 8), u16(0x174, 128), u16(0x176, 2),
                    u16(0x17A, 0x10ED), u32(0x17C, 0x553), u32(0x180, 1), u32(0x184, 0xC000000C),
                    u32(0x188, 2), u32(0x194, 0xC010000C), u32(0x198, 2), u32(0x19C, 0x00001004),
                    // Resizable BAR, two entries; the first with sizes past 128 TB.
                    ext(0x1A0, 0x0015, 1, 0x1D0), u32(0x1A4, 0x000FFFF0), u32(0x1A8, 0x00030840),
                    u32(0x1AC, 0x00000FF0), u32(0x1B0, 0x00000402), ext(0x1D0, 0x0018, 1, 0x1E0),
                    u16(0x1D4, 0x1803), u16(0x1D6, 0x0C03), ext(0x1E0, 0x001E, 1, 0x200),
                    u32(0x1E4, 0x0029281F), u32(0x1E8, 0x4055320F), u32(0x1EC, 0x00000031),
                    ext(0x200, 0x000D, 1, 0x300), u16(0x204, 0x005F), u16(0x206, 0x001D),
                    u32(0x208, 0x5), ext(0x300, 0x000B, 1, 0), u32(0x304, 0x01811234)});

TEST(ExtendedCapabilities, ListInOrderWithKindsAndNames) {
    const ConfigSpace space = ENDPOINT.space();
    CapabilityWalk walk(space, CapabilitySpace::Extended);
    std::vector<CapabilityKind> kinds;
    for (CapabilityEntry e; walk.next(e);) {
        const Capability c = decodeCapability(space, e, pciePortTypeOf(space));
        EXPECT_STREQ(c.name, extendedCapabilityName(c.id));
        EXPECT_FALSE(c.truncated) << c.name;
        kinds.push_back(c.kind);
    }
    using K = CapabilityKind;
    const std::vector<K> expected = {K::Aer,         K::SerialNumber, K::Ari,
                                     K::SrIov,       K::ResizableBar, K::Ltr,
                                     K::L1Substates, K::Acs,          K::VendorSpecificExtended};
    EXPECT_EQ(kinds, expected);
}

TEST(ExtendedCapabilities, AerRegistersAndRootRegistersOnlyForRoots) {
    const AerCap a = decodeAer(ENDPOINT.space(), 0x100, false);
    EXPECT_EQ(std::tuple(a.uncorrectableStatus, a.uncorrectableMask, a.uncorrectableSeverity),
              std::tuple(0x00104000u, 0x00400000u, 0x00462030u));
    EXPECT_EQ(std::tuple(a.correctableStatus, a.correctableMask, a.firstErrorPointer),
              std::tuple(0x2001u, 0x2000u, 0x0E));
    EXPECT_EQ(std::tuple(a.headerLog[0], a.headerLog[3], a.rootCommand),
              std::tuple(0x40000001u, 0x9ABCDEF0u, 0u));

    const ConfigImage root(4096, {u16(6, 0x10), u8(0x34, 0x40), u16(0x40, 0x0010),
                                  u16(0x42, 0x0042), ext(0x100, 1, 2, 0), u32(0x12C, 7),
                                  u32(0x130, 0x10000005), u32(0x134, 0x02080100)});
    CapabilityEntry e{};
    ASSERT_TRUE(CapabilityWalk(root.space(), CapabilitySpace::Extended).next(e));
    const Capability c = decodeCapability(root.space(), e, pciePortTypeOf(root.space()));
    ASSERT_EQ(c.kind, CapabilityKind::Aer);
    EXPECT_EQ(std::tuple(c.aer.hasRoot, c.aer.rootCommand, c.aer.rootStatus),
              std::tuple(true, 7u, 0x10000005u));
    EXPECT_EQ(std::tuple(c.aer.correctableSource, c.aer.uncorrectableSource),
              std::tuple(0x0100, 0x0208));
}

TEST(ExtendedCapabilities, SerialNumberAriAcsVendor) {
    const ConfigSpace s = ENDPOINT.space();
    EXPECT_EQ(decodeSerialNumber(s, 0x140).serial, 0x8877665544332211u);
    const AriCap ari = decodeAri(s, 0x150);
    EXPECT_EQ(std::tuple(ari.mfvcGroups, ari.acsGroups, ari.nextFunction),
              std::tuple(false, true, 1));
    EXPECT_EQ(std::tuple(ari.mfvcGroupsEnabled, ari.acsGroupsEnabled, ari.functionGroup),
              std::tuple(false, true, 1));
    // The egress vector is there only with P2P egress control (bit 5).
    const AcsCap acs = decodeAcs(s, 0x200);
    EXPECT_EQ(std::tuple(acs.capabilities, acs.control, acs.egressVector, acs.egressVectorBits),
              std::tuple(0x5F, 0x1D, 0u, 256));
    const ConfigImage egress(4096, {u16(0x204, 0x0420), u32(0x208, 0x5)});
    const AcsCap withEgress = decodeAcs(egress.space(), 0x200);
    EXPECT_EQ(std::tuple(withEgress.egressVector, withEgress.egressVectorBits), std::tuple(5u, 4));
    const VendorSpecificExtendedCap v = decodeVendorSpecificExtended(s, 0x300);
    EXPECT_EQ(std::tuple(v.vendorId, v.revision, v.length), std::tuple(0x1234, 1, 0x18));
}

TEST(ExtendedCapabilities, SrIovCountsRoutingAndVfBars) {
    const SrIovCap s = decodeSrIov(ENDPOINT.space(), 0x160);
    EXPECT_EQ(std::tuple(s.initialVfs, s.totalVfs, s.numVfs, s.firstVfOffset, s.vfStride),
              std::tuple(64, 64, 8, 128, 2));
    EXPECT_EQ(std::tuple(s.vfDeviceId, s.migrationInterrupt, s.supportedPageSizes),
              std::tuple(0x10ED, 5, 0x553u));
    EXPECT_EQ(std::tuple(s.migrationStateBir, s.migrationStateOffset), std::tuple(4, 0x1000u));
    ASSERT_EQ(s.vfBars.count, 4); // 0-1, 2, 3, 4-5
    EXPECT_EQ(s.vfBars.bars[0].address, 0x2C0000000u);
    EXPECT_FALSE(s.vfBars.bars[1].present);
    EXPECT_EQ(std::tuple(s.vfBars.bars[3].index, s.vfBars.bars[3].address),
              std::tuple(4, 0x2C0100000u));
}

TEST(ExtendedCapabilities, ResizableBarEntriesAndSizes) {
    const ResizableBarCap r = decodeResizableBar(ENDPOINT.space(), 0x1A0);
    ASSERT_EQ(r.count, 2);
    // 256 MB now; 1 MB..32 GB, 256 TB and 512 TB supported.
    const ResizableBarEntry &a = r.entries[0], &b = r.entries[1];
    EXPECT_EQ(std::tuple(a.barIndex, a.currentSize, a.supportedSizes),
              std::tuple(0, 8, 0x3000FFFFu));
    EXPECT_EQ(std::tuple(b.barIndex, b.currentSize, b.supportedSizes), std::tuple(2, 4, 0xFFu));
    // The count is bounded by the six entries there can be.
    const ConfigImage seven(4096, {u32(0x108, 7 << 5)});
    const ResizableBarCap s = decodeResizableBar(seven.space(), 0x100);
    EXPECT_EQ(std::tuple(s.declaredCount, s.count), std::tuple(7, 6));
}

TEST(ExtendedCapabilities, LatencyAndPowerOnTimes) {
    const struct {
        uint16_t raw;
        uint64_t ns;
    } cases[] = {{0x0000, 0},       {0x03FF, 1023}, {0x0401, 32}, {0x0C03, 98304},
                 {0x1401, 1 << 25}, {0x1803, 0},    {0x1C01, 0}}; // scales 6, 7: not allowed
    for (const auto &c : cases)
        EXPECT_EQ(ltrLatencyNs(c.raw), c.ns) << std::hex << c.raw;
    const LtrCap l = decodeLtr(ENDPOINT.space(), 0x1D0);
    EXPECT_EQ(std::tuple(l.maxSnoopNs, l.maxNoSnoopNs), std::tuple(0u, 98304u));
    const L1SubstatesCap s = decodeL1Substates(ENDPOINT.space(), 0x1E0);
    EXPECT_EQ(std::tuple(s.portCommonModeRestoreUs, s.portPowerOnUs), std::tuple(40, 50u));
    EXPECT_EQ(std::tuple(s.commonModeRestoreUs, s.ltrThresholdNs, s.powerOnUs),
              std::tuple(50, 87040u, 60u));
}

TEST(ExtendedCapabilities, StructuresPastTheEndAreTruncated) {
    const ConfigImage full(4096, {u16(0xFFC, 64)});
    EXPECT_TRUE(decodeSrIov(full.space(), 0xFF0).truncated);
    EXPECT_FALSE(decodeSerialNumber(full.space(), 0xFF4).truncated);
    const ConfigImage partial(0x200, {u32(0x1F4, 0x00002000)});
    const AerCap a = decodeAer(partial.space(), 0x1E0, false);
    EXPECT_EQ(std::tuple(a.truncated, a.correctableMask), std::tuple(true, 0x2000u));
}

} // namespace
