#include "config_image.h"
#include "decode/capability.h"
#include "decode/capability_names.h"

#include <gtest/gtest.h>

#include <vector>

using namespace testing_support;

namespace {

// An SR-IOV network function with one of each decoded extended capability.
// `lspci -F` of its dump prints the same values as the expectations below.
ConfigImage endpoint() {
    return ConfigImage(
        4096, {u16(6, 0x10), u8(0x34, 0x40), u16(0x40, 0x0010), u16(0x42, 0x0002),
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
}

TEST(ExtendedCapabilities, ListInOrderWithKindsAndNames) {
    const ConfigImage image = endpoint();
    const ConfigSpace space = image.space();
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
    EXPECT_EQ(walk.stop(), WalkStop::End);
}

TEST(ExtendedCapabilities, AerRegistersAndRootRegistersOnlyForRoots) {
    const ConfigImage image = endpoint();
    const AerCap a = decodeAer(image.space(), 0x100, false);
    EXPECT_EQ(a.uncorrectableStatus, 0x00104000u);
    EXPECT_EQ(a.uncorrectableMask, 0x00400000u);
    EXPECT_EQ(a.uncorrectableSeverity, 0x00462030u);
    EXPECT_EQ(a.correctableStatus, 0x00002001u);
    EXPECT_EQ(a.correctableMask, 0x00002000u);
    EXPECT_EQ(a.firstErrorPointer, 0x0E);
    EXPECT_EQ(a.headerLog[0], 0x40000001u);
    EXPECT_EQ(a.headerLog[3], 0x9ABCDEF0u);
    EXPECT_EQ(a.rootCommand, 0u);

    const ConfigImage root(4096, {u16(6, 0x10), u8(0x34, 0x40), u16(0x40, 0x0010),
                                  u16(0x42, 0x0042), ext(0x100, 1, 2, 0), u32(0x12C, 7),
                                  u32(0x130, 0x10000005), u32(0x134, 0x02080100)});
    CapabilityWalk walk(root.space(), CapabilitySpace::Extended);
    CapabilityEntry e{};
    ASSERT_TRUE(walk.next(e));
    const Capability c = decodeCapability(root.space(), e, pciePortTypeOf(root.space()));
    ASSERT_EQ(c.kind, CapabilityKind::Aer);
    EXPECT_TRUE(c.aer.hasRoot);
    EXPECT_EQ(c.aer.rootCommand, 7u);
    EXPECT_EQ(c.aer.rootStatus, 0x10000005u);
    EXPECT_EQ(c.aer.correctableSource, 0x0100);
    EXPECT_EQ(c.aer.uncorrectableSource, 0x0208);
}

TEST(ExtendedCapabilities, SerialNumberAriAcsVendor) {
    const ConfigImage image = endpoint();
    const ConfigSpace s = image.space();
    EXPECT_EQ(decodeSerialNumber(s, 0x140).serial, 0x8877665544332211u);

    const AriCap ari = decodeAri(s, 0x150);
    EXPECT_TRUE(ari.acsGroups && ari.acsGroupsEnabled);
    EXPECT_FALSE(ari.mfvcGroups || ari.mfvcGroupsEnabled);
    EXPECT_EQ(ari.nextFunction, 1);
    EXPECT_EQ(ari.functionGroup, 1);

    const AcsCap acs = decodeAcs(s, 0x200);
    EXPECT_EQ(acs.capabilities, 0x5F);
    EXPECT_EQ(acs.control, 0x1D);
    EXPECT_EQ(acs.egressVector, 0u) << "no egress control, no vector";
    EXPECT_EQ(acs.egressVectorBits, 256);
    const ConfigImage egress(4096, {u16(0x204, 0x0420), u32(0x208, 0x5)});
    EXPECT_EQ(decodeAcs(egress.space(), 0x200).egressVector, 5u);
    EXPECT_EQ(decodeAcs(egress.space(), 0x200).egressVectorBits, 4);

    const VendorSpecificExtendedCap v = decodeVendorSpecificExtended(s, 0x300);
    EXPECT_EQ(v.vendorId, 0x1234);
    EXPECT_EQ(v.revision, 1);
    EXPECT_EQ(v.length, 0x18);
}

TEST(ExtendedCapabilities, SrIovCountsRoutingAndVfBars) {
    const ConfigImage image = endpoint();
    const SrIovCap s = decodeSrIov(image.space(), 0x160);
    EXPECT_EQ(s.initialVfs, 64);
    EXPECT_EQ(s.totalVfs, 64);
    EXPECT_EQ(s.numVfs, 8);
    EXPECT_EQ(s.firstVfOffset, 128);
    EXPECT_EQ(s.vfStride, 2);
    EXPECT_EQ(s.vfDeviceId, 0x10ED);
    EXPECT_EQ(s.migrationInterrupt, 5);
    EXPECT_EQ(s.supportedPageSizes, 0x553u);
    EXPECT_EQ(s.migrationStateBir, 4);
    EXPECT_EQ(s.migrationStateOffset, 0x1000u);
    ASSERT_EQ(s.vfBars.count, 4);
    EXPECT_EQ(s.vfBars.bars[0].address, 0x2C0000000u);
    EXPECT_EQ(s.vfBars.bars[3].index, 4);
    EXPECT_EQ(s.vfBars.bars[3].address, 0x2C0100000u);
    EXPECT_FALSE(s.vfBars.bars[1].present);
}

TEST(ExtendedCapabilities, ResizableBarEntriesAndSizes) {
    const ConfigImage image = endpoint();
    const ResizableBarCap r = decodeResizableBar(image.space(), 0x1A0);
    ASSERT_EQ(r.count, 2);
    EXPECT_EQ(r.entries[0].barIndex, 0);
    EXPECT_EQ(r.entries[0].currentSize, 8);              // 256 MB
    EXPECT_EQ(r.entries[0].supportedSizes, 0x3000FFFFu); // 1 MB..32 GB, 256 and 512 TB
    EXPECT_EQ(r.entries[1].barIndex, 2);
    EXPECT_EQ(r.entries[1].currentSize, 4);
    EXPECT_EQ(r.entries[1].supportedSizes, 0xFFu);
    // The count is bounded by the six entries there can be.
    const ConfigImage seven(4096, {u32(0x108, 7 << 5)});
    EXPECT_EQ(decodeResizableBar(seven.space(), 0x100).declaredCount, 7);
    EXPECT_EQ(decodeResizableBar(seven.space(), 0x100).count, 6);
}

TEST(ExtendedCapabilities, LatencyScales) {
    const struct {
        uint16_t raw;
        uint64_t ns;
    } cases[] = {{0x0000, 0},     {0x03FF, 1023},    {0x0401, 32},
                 {0x0C03, 98304}, {0x1401, 1 << 25}, {0x1803, 0 /* scale 6 */},
                 {0x1C01, 0}};
    for (const auto &c : cases)
        EXPECT_EQ(ltrLatencyNs(c.raw), c.ns) << std::hex << c.raw;
    const ConfigImage image = endpoint();
    const LtrCap l = decodeLtr(image.space(), 0x1D0);
    EXPECT_EQ(l.maxSnoopNs, 0u);
    EXPECT_EQ(l.maxNoSnoopNs, 98304u);
}

TEST(ExtendedCapabilities, L1SubstatesTimes) {
    const ConfigImage image = endpoint();
    const L1SubstatesCap l = decodeL1Substates(image.space(), 0x1E0);
    EXPECT_EQ(l.capabilities & 0x1F, 0x1Fu);
    EXPECT_EQ(l.portCommonModeRestoreUs, 40);
    EXPECT_EQ(l.portPowerOnUs, 50u);
    EXPECT_EQ(l.commonModeRestoreUs, 50);
    EXPECT_EQ(l.ltrThresholdNs, 87040u);
    EXPECT_EQ(l.powerOnUs, 60u);
}

TEST(ExtendedCapabilities, StructuresPastTheEndAreTruncated) {
    const ConfigImage full(4096, {u16(0xFFC, 64)});
    EXPECT_TRUE(decodeSrIov(full.space(), 0xFF0).truncated);
    EXPECT_FALSE(decodeSerialNumber(full.space(), 0xFF4).truncated);
    const ConfigImage partial(0x200, {u32(0x1F4, 0x00002000)});
    const AerCap a = decodeAer(partial.space(), 0x1E0, false);
    EXPECT_TRUE(a.truncated);
    EXPECT_EQ(a.correctableMask, 0x2000u);
}

} // namespace
