#include "decode/extended_capabilities.h"

namespace {

FieldReader reader(ConfigSpace space, uint16_t offset) {
    return FieldReader(space, offset, EXTENDED_SPACE_SIZE);
}

// Latency scales of LTR and of the L1.2 threshold: 32^n ns; 6 and 7 are
// not allowed.
uint64_t latencyScaleNs(uint32_t scale) {
    return scale <= 5 ? uint64_t(1) << (5 * scale) : 0;
}

// T_POWER_ON scales: 2, 10, 100 us; 3 is reserved.
uint32_t powerOnScaleUs(uint32_t scale) {
    constexpr uint32_t US[] = {2, 10, 100, 0};
    return US[scale & 3];
}

} // namespace

uint64_t ltrLatencyNs(uint16_t raw) {
    return bitField(raw, 0, 9) * latencyScaleNs(bitField(raw, 10, 12));
}

AerCap decodeAer(ConfigSpace space, uint16_t offset, bool hasRoot) {
    FieldReader r = reader(space, offset);
    AerCap a{};
    a.uncorrectableStatus = r.u32(0x4);
    a.uncorrectableMask = r.u32(0x8);
    a.uncorrectableSeverity = r.u32(0xC);
    a.correctableStatus = r.u32(0x10);
    a.correctableMask = r.u32(0x14);
    a.control = r.u32(0x18);
    a.firstErrorPointer = uint8_t(bitField(a.control, 0, 4));
    for (unsigned i = 0; i < 4; ++i)
        a.headerLog[i] = r.u32(0x1C + 4 * i);
    a.hasRoot = hasRoot;
    if (hasRoot) {
        a.rootCommand = r.u32(0x2C);
        a.rootStatus = r.u32(0x30);
        a.correctableSource = r.u16(0x34);
        a.uncorrectableSource = r.u16(0x36);
    }
    a.truncated = r.truncated();
    return a;
}

SerialNumberCap decodeSerialNumber(ConfigSpace space, uint16_t offset) {
    FieldReader r = reader(space, offset);
    SerialNumberCap s{};
    s.serial = r.u32(4);
    s.serial |= uint64_t(r.u32(8)) << 32;
    s.truncated = r.truncated();
    return s;
}

VendorSpecificExtendedCap decodeVendorSpecificExtended(ConfigSpace space, uint16_t offset) {
    FieldReader r = reader(space, offset);
    VendorSpecificExtendedCap v{};
    const uint32_t header = r.u32(4);
    v.vendorId = uint16_t(header & 0xFFFF);
    v.revision = uint8_t(bitField(header, 16, 19));
    v.length = uint16_t(bitField(header, 20, 31));
    v.truncated = r.truncated();
    return v;
}

SrIovCap decodeSrIov(ConfigSpace space, uint16_t offset) {
    FieldReader r = reader(space, offset);
    SrIovCap s{};
    s.capabilities = r.u32(0x4);
    s.migrationInterrupt = uint16_t(bitField(s.capabilities, 21, 31));
    s.control = r.u16(0x8);
    s.status = r.u16(0xA);
    s.initialVfs = r.u16(0xC);
    s.totalVfs = r.u16(0xE);
    s.numVfs = r.u16(0x10);
    s.functionDependency = r.u8(0x12);
    s.firstVfOffset = r.u16(0x14);
    s.vfStride = r.u16(0x16);
    s.vfDeviceId = r.u16(0x1A);
    s.supportedPageSizes = r.u32(0x1C);
    s.systemPageSize = r.u32(0x20);
    s.vfBars = decodeBarRegisters(space, uint16_t(offset + 0x24), 6);
    const uint32_t migration = r.u32(0x3C);
    s.migrationStateBir = uint8_t(migration & 7u);
    s.migrationStateOffset = migration & ~7u;
    s.truncated = r.truncated();
    return s;
}

AriCap decodeAri(ConfigSpace space, uint16_t offset) {
    FieldReader r = reader(space, offset);
    AriCap a{};
    a.capabilities = r.u16(4);
    a.mfvcGroups = bit(a.capabilities, 0);
    a.acsGroups = bit(a.capabilities, 1);
    a.nextFunction = uint8_t(bitField(a.capabilities, 8, 15));
    a.control = r.u16(6);
    a.mfvcGroupsEnabled = bit(a.control, 0);
    a.acsGroupsEnabled = bit(a.control, 1);
    a.functionGroup = uint8_t(bitField(a.control, 4, 6));
    a.truncated = r.truncated();
    return a;
}

ResizableBarCap decodeResizableBar(ConfigSpace space, uint16_t offset) {
    FieldReader r = reader(space, offset);
    ResizableBarCap b{};
    b.declaredCount = uint8_t(bitField(r.u32(8), 5, 7));
    b.count = b.declaredCount < MAX_RESIZABLE_BARS ? b.declaredCount : MAX_RESIZABLE_BARS;
    for (unsigned i = 0; i < b.count; ++i) {
        ResizableBarEntry &e = b.entries[i];
        e.capability = r.u32(4 + 8 * i);
        e.control = r.u32(8 + 8 * i);
        e.barIndex = uint8_t(bitField(e.control, 0, 2));
        e.currentSize = uint8_t(bitField(e.control, 8, 13));
        e.supportedSizes =
            uint64_t(bitField(e.capability, 4, 31)) | uint64_t(bitField(e.control, 16, 31)) << 28;
    }
    b.truncated = r.truncated();
    return b;
}

L1SubstatesCap decodeL1Substates(ConfigSpace space, uint16_t offset) {
    FieldReader r = reader(space, offset);
    L1SubstatesCap l{};
    l.capabilities = r.u32(4);
    l.portCommonModeRestoreUs = uint8_t(bitField(l.capabilities, 8, 15));
    l.portPowerOnUs =
        bitField(l.capabilities, 19, 23) * powerOnScaleUs(bitField(l.capabilities, 16, 17));
    l.control1 = r.u32(8);
    l.commonModeRestoreUs = uint8_t(bitField(l.control1, 8, 15));
    l.ltrThresholdNs = bitField(l.control1, 16, 25) * latencyScaleNs(bitField(l.control1, 29, 31));
    l.control2 = r.u32(0xC);
    l.powerOnUs = bitField(l.control2, 3, 7) * powerOnScaleUs(bitField(l.control2, 0, 1));
    l.truncated = r.truncated();
    return l;
}

LtrCap decodeLtr(ConfigSpace space, uint16_t offset) {
    FieldReader r = reader(space, offset);
    LtrCap l{};
    l.maxSnoopRaw = r.u16(4);
    l.maxSnoopNs = ltrLatencyNs(l.maxSnoopRaw);
    l.maxNoSnoopRaw = r.u16(6);
    l.maxNoSnoopNs = ltrLatencyNs(l.maxNoSnoopRaw);
    l.truncated = r.truncated();
    return l;
}

AcsCap decodeAcs(ConfigSpace space, uint16_t offset) {
    FieldReader r = reader(space, offset);
    AcsCap a{};
    a.capabilities = r.u16(4);
    const uint16_t vectorBits = uint16_t(bitField(a.capabilities, 8, 15));
    a.egressVectorBits = vectorBits == 0 ? 256 : vectorBits;
    a.control = r.u16(6);
    if (bit(a.capabilities, 5))
        a.egressVector = r.u32(8);
    a.truncated = r.truncated();
    return a;
}
