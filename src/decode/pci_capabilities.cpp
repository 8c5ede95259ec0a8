#include "decode/pci_capabilities.h"

namespace {

// Capabilities of the PCI list must lie in the first 256 bytes.
constexpr size_t PCI_LIST_LIMIT = 0x100;

FieldReader reader(ConfigSpace space, uint16_t offset) {
    return FieldReader(space, offset, PCI_LIST_LIMIT);
}

// Auxiliary current of PMC bits 6..8, in milliamperes.
constexpr uint16_t AUX_CURRENT_MA[] = {0, 55, 100, 160, 220, 270, 320, 375};

// A slot power limit: an 8-bit value times 10^-scale watts. At scale 0
// the values F0h..F2h stand for 250, 275 and 300 W, and the values above
// F2h are reserved (0 here).
uint32_t slotPowerMilliwatts(uint32_t value, uint32_t scale) {
    constexpr uint32_t MILLIWATTS_PER_UNIT[] = {1000, 100, 10, 1};
    if (scale == 0 && value >= 0xF0)
        return value <= 0xF2 ? 250000 + (value - 0xF0) * 25000 : 0;
    return value * MILLIWATTS_PER_UNIT[scale];
}

} // namespace

const char *pciePortTypeName(uint8_t portType) {
    switch (portType) {
    case PCIE_ENDPOINT: return "Endpoint";
    case PCIE_LEGACY_ENDPOINT: return "Legacy Endpoint";
    case PCIE_ROOT_PORT: return "Root Port";
    case PCIE_SWITCH_UPSTREAM: return "Upstream Port of a Switch";
    case PCIE_SWITCH_DOWNSTREAM: return "Downstream Port of a Switch";
    case PCIE_TO_PCI_BRIDGE: return "PCI Express to PCI/PCI-X Bridge";
    case PCI_TO_PCIE_BRIDGE: return "PCI/PCI-X to PCI Express Bridge";
    case PCIE_ROOT_COMPLEX_ENDPOINT: return "Root Complex Integrated Endpoint";
    case PCIE_ROOT_COMPLEX_EVENT_COLLECTOR: return "Root Complex Event Collector";
    default: return nullptr;
    }
}

bool pciePortHasLink(uint8_t portType) {
    return portType != PCIE_ROOT_COMPLEX_ENDPOINT && portType != PCIE_ROOT_COMPLEX_EVENT_COLLECTOR;
}

bool pciePortHasRoot(uint8_t portType) {
    return portType == PCIE_ROOT_PORT || portType == PCIE_ROOT_COMPLEX_EVENT_COLLECTOR;
}

uint32_t linkSpeedMts(uint8_t code) {
    constexpr uint32_t MTS[] = {0, 2500, 5000, 8000, 16000, 32000, 64000};
    return code < sizeof MTS / sizeof MTS[0] ? MTS[code] : 0;
}

PowerManagementCap decodePowerManagement(ConfigSpace space, uint16_t offset) {
    FieldReader r = reader(space, offset);
    PowerManagementCap pm{};
    pm.capabilities = r.u16(2);
    pm.version = uint8_t(bitField(pm.capabilities, 0, 2));
    pm.pmeClock = bit(pm.capabilities, 3);
    pm.immediateReadiness = bit(pm.capabilities, 4);
    pm.deviceSpecificInit = bit(pm.capabilities, 5);
    pm.auxCurrentMa = AUX_CURRENT_MA[bitField(pm.capabilities, 6, 8)];
    pm.d1 = bit(pm.capabilities, 9);
    pm.d2 = bit(pm.capabilities, 10);
    pm.pmeFrom = uint8_t(bitField(pm.capabilities, 11, 15));
    pm.controlStatus = r.u16(4);
    pm.powerState = uint8_t(bitField(pm.controlStatus, 0, 1));
    pm.noSoftReset = bit(pm.controlStatus, 3);
    pm.pmeEnable = bit(pm.controlStatus, 8);
    pm.dataSelect = uint8_t(bitField(pm.controlStatus, 9, 12));
    pm.dataScale = uint8_t(bitField(pm.controlStatus, 13, 14));
    pm.pmeStatus = bit(pm.controlStatus, 15);
    pm.bridgeExtensions = r.u8(6);
    pm.data = r.u8(7);
    pm.truncated = r.truncated();
    return pm;
}

MsiCap decodeMsi(ConfigSpace space, uint16_t offset) {
    FieldReader r = reader(space, offset);
    MsiCap msi{};
    msi.control = r.u16(2);
    msi.enabled = bit(msi.control, 0);
    msi.vectorsCapable = uint16_t(1u << bitField(msi.control, 1, 3));
    msi.vectorsEnabled = uint16_t(1u << bitField(msi.control, 4, 6));
    msi.address64 = bit(msi.control, 7);
    msi.perVectorMasking = bit(msi.control, 8);
    msi.extendedDataCapable = bit(msi.control, 9);
    msi.extendedDataEnabled = bit(msi.control, 10);
    msi.address = r.u32(4);
    // A 64-bit address moves everything after it down by one dword.
    const unsigned shift = msi.address64 ? 4 : 0;
    if (msi.address64)
        msi.address |= uint64_t(r.u32(8)) << 32;
    msi.data = r.u16(8 + shift);
    if (msi.extendedDataCapable)
        msi.extendedData = r.u16(0xA + shift);
    if (msi.perVectorMasking) {
        msi.mask = r.u32(0xC + shift);
        msi.pending = r.u32(0x10 + shift);
    }
    msi.truncated = r.truncated();
    return msi;
}

MsixCap decodeMsix(ConfigSpace space, uint16_t offset) {
    FieldReader r = reader(space, offset);
    MsixCap x{};
    x.control = r.u16(2);
    x.tableSize = uint16_t(bitField(x.control, 0, 10) + 1);
    x.functionMask = bit(x.control, 14);
    x.enabled = bit(x.control, 15);
    const uint32_t table = r.u32(4), pba = r.u32(8);
    x.tableBir = uint8_t(table & 7u);
    x.tableOffset = table & ~7u;
    x.pbaBir = uint8_t(pba & 7u);
    x.pbaOffset = pba & ~7u;
    x.truncated = r.truncated();
    return x;
}

VendorSpecificCap decodeVendorSpecific(ConfigSpace space, uint16_t offset) {
    FieldReader r = reader(space, offset);
    VendorSpecificCap v{};
    v.length = r.u8(2);
    v.truncated = r.truncated();
    return v;
}

PciExpressCap decodePciExpress(ConfigSpace space, uint16_t offset) {
    FieldReader r = reader(space, offset);
    PciExpressCap e{};
    e.capabilities = r.u16(2);
    e.version = uint8_t(bitField(e.capabilities, 0, 3));
    e.portType = uint8_t(bitField(e.capabilities, 4, 7));
    e.slotImplemented = bit(e.capabilities, 8);
    e.interruptMessage = uint8_t(bitField(e.capabilities, 9, 13));

    e.deviceCapabilities = r.u32(4);
    e.maxPayloadSupported = uint16_t(128u << bitField(e.deviceCapabilities, 0, 2));
    e.phantomFunctions = uint8_t(bitField(e.deviceCapabilities, 3, 4));
    e.extendedTagSupported = bit(e.deviceCapabilities, 5);
    e.l0sAcceptableLatency = uint8_t(bitField(e.deviceCapabilities, 6, 8));
    e.l1AcceptableLatency = uint8_t(bitField(e.deviceCapabilities, 9, 11));
    e.roleBasedErrors = bit(e.deviceCapabilities, 15);
    e.capturedSlotPowerMw = slotPowerMilliwatts(bitField(e.deviceCapabilities, 18, 25),
                                                bitField(e.deviceCapabilities, 26, 27));
    e.functionLevelReset = bit(e.deviceCapabilities, 28);

    e.deviceControl = r.u16(8);
    e.maxPayload = uint16_t(128u << bitField(e.deviceControl, 5, 7));
    e.maxReadRequest = uint16_t(128u << bitField(e.deviceControl, 12, 14));
    e.deviceStatus = r.u16(0xA);

    e.hasLink = pciePortHasLink(e.portType);
    e.linkCapabilities = r.u32(0xC);
    e.maxLinkSpeed = uint8_t(bitField(e.linkCapabilities, 0, 3));
    e.maxLinkWidth = uint8_t(bitField(e.linkCapabilities, 4, 9));
    e.aspmSupport = uint8_t(bitField(e.linkCapabilities, 10, 11));
    e.l0sExitLatency = uint8_t(bitField(e.linkCapabilities, 12, 14));
    e.l1ExitLatency = uint8_t(bitField(e.linkCapabilities, 15, 17));
    e.portNumber = uint8_t(bitField(e.linkCapabilities, 24, 31));
    e.linkControl = r.u16(0x10);
    e.aspmControl = uint8_t(bitField(e.linkControl, 0, 1));
    e.linkStatus = r.u16(0x12);
    e.linkSpeed = uint8_t(bitField(e.linkStatus, 0, 3));
    e.linkWidth = uint8_t(bitField(e.linkStatus, 4, 9));

    e.slotCapabilities = r.u32(0x14);
    e.slotPowerLimitMw = slotPowerMilliwatts(bitField(e.slotCapabilities, 7, 14),
                                             bitField(e.slotCapabilities, 15, 16));
    e.physicalSlot = uint16_t(bitField(e.slotCapabilities, 19, 31));
    e.slotControl = r.u16(0x18);
    e.slotStatus = r.u16(0x1A);
    e.rootControl = r.u16(0x1C);
    e.rootCapabilities = r.u16(0x1E);
    e.rootStatus = r.u32(0x20);

    if (e.version >= 2) {
        e.deviceCapabilities2 = r.u32(0x24);
        e.deviceControl2 = r.u16(0x28);
        e.deviceStatus2 = r.u16(0x2A);
        e.linkCapabilities2 = r.u32(0x2C);
        e.supportedSpeeds = uint8_t(bitField(e.linkCapabilities2, 1, 7));
        e.linkControl2 = r.u16(0x30);
        e.targetLinkSpeed = uint8_t(bitField(e.linkControl2, 0, 3));
        e.linkStatus2 = r.u16(0x32);
        e.slotCapabilities2 = r.u32(0x34);
        e.slotControl2 = r.u16(0x38);
        e.slotStatus2 = r.u16(0x3A);
    }
    e.truncated = r.truncated();
    return e;
}
