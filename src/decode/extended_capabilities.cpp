#include "decode/extended_capabilities.h"

namespace {

template <typename Cap, typename Fields> Cap decode(ConfigSpace space, uint16_t at, Fields fields) {
    return decodeFields<Cap>(space, at, EXTENDED_SPACE_SIZE, fields);
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

constexpr Register<AerCap> AER_REGISTERS[] = {
    {0x04, &AerCap::uncorrectableStatus},   {0x08, &AerCap::uncorrectableMask},
    {0x0C, &AerCap::uncorrectableSeverity}, {0x10, &AerCap::correctableStatus},
    {0x14, &AerCap::correctableMask},       {0x18, &AerCap::control}};
// Root ports and event collectors only.
constexpr Register<AerCap> AER_ROOT_REGISTERS[] = {{0x2C, &AerCap::rootCommand},
                                                   {0x30, &AerCap::rootStatus},
                                                   {0x34, &AerCap::correctableSource},
                                                   {0x36, &AerCap::uncorrectableSource}};

constexpr Register<SrIovCap> SRIOV_REGISTERS[] = {{0x04, &SrIovCap::capabilities},
                                                  {0x08, &SrIovCap::control},
                                                  {0x0A, &SrIovCap::status},
                                                  {0x0C, &SrIovCap::initialVfs},
                                                  {0x0E, &SrIovCap::totalVfs},
                                                  {0x10, &SrIovCap::numVfs},
                                                  {0x12, &SrIovCap::functionDependency},
                                                  {0x14, &SrIovCap::firstVfOffset},
                                                  {0x16, &SrIovCap::vfStride},
                                                  {0x1A, &SrIovCap::vfDeviceId},
                                                  {0x1C, &SrIovCap::supportedPageSizes},
                                                  {0x20, &SrIovCap::systemPageSize}};

constexpr Register<AriCap> ARI_REGISTERS[] = {{4, &AriCap::capabilities}, {6, &AriCap::control}};
constexpr Bits<AriCap> ARI_CAPABILITY_BITS[] = {
    {&AriCap::mfvcGroups, 0}, {&AriCap::acsGroups, 1}, {&AriCap::nextFunction, 8, 15}};
constexpr Bits<AriCap> ARI_CONTROL_BITS[] = {{&AriCap::mfvcGroupsEnabled, 0},
                                             {&AriCap::acsGroupsEnabled, 1},
                                             {&AriCap::functionGroup, 4, 6}};

} // namespace

uint64_t ltrLatencyNs(uint16_t raw) {
    return bitField(raw, 0, 9) * latencyScaleNs(bitField(raw, 10, 12));
}

AerCap decodeAer(ConfigSpace space, uint16_t offset, bool hasRoot) {
    return decode<AerCap>(space, offset, [hasRoot](FieldReader &r, AerCap &a) {
        r.read(a, AER_REGISTERS);
        a.firstErrorPointer = uint8_t(bitField(a.control, 0, 4));
        for (unsigned i = 0; i < 4; ++i)
            a.headerLog[i] = r.u32(0x1C + 4 * i);
        a.hasRoot = hasRoot;
        if (hasRoot)
            r.read(a, AER_ROOT_REGISTERS);
    });
}

SerialNumberCap decodeSerialNumber(ConfigSpace space, uint16_t offset) {
    return decode<SerialNumberCap>(space, offset, [](FieldReader &r, SerialNumberCap &s) {
        s.serial = r.u32(4) | uint64_t(r.u32(8)) << 32;
    });
}

VendorSpecificExtendedCap decodeVendorSpecificExtended(ConfigSpace space, uint16_t offset) {
    using V = VendorSpecificExtendedCap;
    return decode<V>(space, offset, [](FieldReader &r, V &v) {
        const uint32_t header = r.u32(4);
        v.vendorId = uint16_t(header & 0xFFFF);
        v.revision = uint8_t(bitField(header, 16, 19));
        v.length = uint16_t(bitField(header, 20, 31));
    });
}

SrIovCap decodeSrIov(ConfigSpace space, uint16_t offset) {
    return decode<SrIovCap>(space, offset, [&](FieldReader &r, SrIovCap &s) {
        r.read(s, SRIOV_REGISTERS);
        s.migrationInterrupt = uint16_t(bitField(s.capabilities, 21, 31));
        s.vfBars = decodeBarRegisters(space, uint16_t(offset + 0x24), 6);
        const uint32_t migration = r.u32(0x3C);
        s.migrationStateBir = uint8_t(migration & 7u);
        s.migrationStateOffset = migration & ~7u;
    });
}

AriCap decodeAri(ConfigSpace space, uint16_t offset) {
    return decode<AriCap>(space, offset, [](FieldReader &r, AriCap &a) {
        r.read(a, ARI_REGISTERS);
        splitBits(a, a.capabilities, ARI_CAPABILITY_BITS);
        splitBits(a, a.control, ARI_CONTROL_BITS);
    });
}

ResizableBarCap decodeResizableBar(ConfigSpace space, uint16_t offset) {
    return decode<ResizableBarCap>(space, offset, [](FieldReader &r, ResizableBarCap &b) {
        b.declaredCount = uint8_t(bitField(r.u32(8), 5, 7));
        b.count = b.declaredCount < MAX_RESIZABLE_BARS ? b.declaredCount : MAX_RESIZABLE_BARS;
        for (unsigned i = 0; i < b.count; ++i) {
            ResizableBarEntry &e = b.entries[i];
            e.capability = r.u32(4 + 8 * i);
            e.control = r.u32(8 + 8 * i);
            e.barIndex = uint8_t(bitField(e.control, 0, 2));
            e.currentSize = uint8_t(bitField(e.control, 8, 13));
            e.supportedSizes = uint64_t(bitField(e.capability, 4, 31)) |
                               uint64_t(bitField(e.control, 16, 31)) << 28;
        }
    });
}

L1SubstatesCap decodeL1Substates(ConfigSpace space, uint16_t offset) {
    return decode<L1SubstatesCap>(space, offset, [](FieldReader &r, L1SubstatesCap &l) {
        l.capabilities = r.u32(4);
        l.portCommonModeRestoreUs = uint8_t(bitField(l.capabilities, 8, 15));
        l.portPowerOnUs =
            bitField(l.capabilities, 19, 23) * powerOnScaleUs(bitField(l.capabilities, 16, 17));
        l.control1 = r.u32(8);
        l.commonModeRestoreUs = uint8_t(bitField(l.control1, 8, 15));
        l.ltrThresholdNs =
            bitField(l.control1, 16, 25) * latencyScaleNs(bitField(l.control1, 29, 31));
        l.control2 = r.u32(0xC);
        l.powerOnUs = bitField(l.control2, 3, 7) * powerOnScaleUs(bitField(l.control2, 0, 1));
    });
}

LtrCap decodeLtr(ConfigSpace space, uint16_t offset) {
    return decode<LtrCap>(space, offset, [](FieldReader &r, LtrCap &l) {
        l.maxSnoopRaw = r.u16(4);
        l.maxSnoopNs = ltrLatencyNs(l.maxSnoopRaw);
        l.maxNoSnoopRaw = r.u16(6);
        l.maxNoSnoopNs = ltrLatencyNs(l.maxNoSnoopRaw);
    });
}

AcsCap decodeAcs(ConfigSpace space, uint16_t offset) {
    return decode<AcsCap>(space, offset, [](FieldReader &r, AcsCap &a) {
        a.capabilities = r.u16(4);
        const uint16_t vectorBits = uint16_t(bitField(a.capabilities, 8, 15));
        a.egressVectorBits = vectorBits == 0 ? 256 : vectorBits;
        a.control = r.u16(6);
        if (bit(a.capabilities, 5))
            a.egressVector = r.u32(8);
    });
}
