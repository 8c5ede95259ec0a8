#include "decode/pci_capabilities.h"

namespace {

template <typename Cap, typename Fields> Cap decode(ConfigSpace space, uint16_t at, Fields fields) {
    return decodeFields<Cap>(space, at, PCI_LIST_LIMIT, fields);
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

using PM = PowerManagementCap;
constexpr Register<PM> PM_REGISTERS[] = {
    {2, &PM::capabilities}, {4, &PM::controlStatus}, {6, &PM::bridgeExtensions}, {7, &PM::data}};
constexpr Bits<PM> PMC_BITS[] = {
    {&PM::version, 0, 2},         {&PM::pmeClock, 3}, {&PM::immediateReadiness, 4},
    {&PM::deviceSpecificInit, 5}, {&PM::d1, 9},       {&PM::d2, 10},
    {&PM::pmeFrom, 11, 15}};
constexpr Bits<PM> PMCSR_BITS[] = {{&PM::powerState, 0, 1},  {&PM::noSoftReset, 3},
                                   {&PM::pmeEnable, 8},      {&PM::dataSelect, 9, 12},
                                   {&PM::dataScale, 13, 14}, {&PM::pmeStatus, 15}};

constexpr Bits<MsiCap> MSI_CONTROL_BITS[] = {{&MsiCap::enabled, 0},
                                             {&MsiCap::address64, 7},
                                             {&MsiCap::perVectorMasking, 8},
                                             {&MsiCap::extendedDataCapable, 9},
                                             {&MsiCap::extendedDataEnabled, 10}};

using PX = PciExpressCap;
constexpr Register<PX> PCIE_REGISTERS[] = {
    {0x02, &PX::capabilities}, {0x04, &PX::deviceCapabilities}, {0x08, &PX::deviceControl},
    {0x0A, &PX::deviceStatus}, {0x0C, &PX::linkCapabilities},   {0x10, &PX::linkControl},
    {0x12, &PX::linkStatus},   {0x14, &PX::slotCapabilities},   {0x18, &PX::slotControl},
    {0x1A, &PX::slotStatus},   {0x1C, &PX::rootControl},        {0x1E, &PX::rootCapabilities},
    {0x20, &PX::rootStatus}};
// Version 2 and later.
constexpr Register<PX> PCIE_V2_REGISTERS[] = {
    {0x24, &PX::deviceCapabilities2}, {0x28, &PX::deviceControl2}, {0x2A, &PX::deviceStatus2},
    {0x2C, &PX::linkCapabilities2},   {0x30, &PX::linkControl2},   {0x32, &PX::linkStatus2},
    {0x34, &PX::slotCapabilities2},   {0x38, &PX::slotControl2},   {0x3A, &PX::slotStatus2}};
constexpr Bits<PX> PCIE_CAPABILITY_BITS[] = {{&PX::version, 0, 3},
                                             {&PX::portType, 4, 7},
                                             {&PX::slotImplemented, 8},
                                             {&PX::interruptMessage, 9, 13}};
constexpr Bits<PX> DEVICE_CAPABILITY_BITS[] = {
    {&PX::phantomFunctions, 3, 4},     {&PX::extendedTagSupported, 5},
    {&PX::l0sAcceptableLatency, 6, 8}, {&PX::l1AcceptableLatency, 9, 11},
    {&PX::roleBasedErrors, 15},        {&PX::functionLevelReset, 28}};
constexpr Bits<PX> LINK_CAPABILITY_BITS[] = {
    {&PX::maxLinkSpeed, 0, 3},     {&PX::maxLinkWidth, 4, 9},    {&PX::aspmSupport, 10, 11},
    {&PX::l0sExitLatency, 12, 14}, {&PX::l1ExitLatency, 15, 17}, {&PX::portNumber, 24, 31}};
constexpr Bits<PX> LINK_STATUS_BITS[] = {{&PX::linkSpeed, 0, 3}, {&PX::linkWidth, 4, 9}};

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
    return decode<PM>(space, offset, [](FieldReader &r, PM &pm) {
        r.read(pm, PM_REGISTERS);
        splitBits(pm, pm.capabilities, PMC_BITS);
        pm.auxCurrentMa = AUX_CURRENT_MA[bitField(pm.capabilities, 6, 8)];
        splitBits(pm, pm.controlStatus, PMCSR_BITS);
    });
}

MsiCap decodeMsi(ConfigSpace space, uint16_t offset) {
    return decode<MsiCap>(space, offset, [](FieldReader &r, MsiCap &msi) {
        msi.control = r.u16(2);
        splitBits(msi, msi.control, MSI_CONTROL_BITS);
        msi.vectorsCapable = uint16_t(1u << bitField(msi.control, 1, 3));
        msi.vectorsEnabled = uint16_t(1u << bitField(msi.control, 4, 6));
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
    });
}

MsixCap decodeMsix(ConfigSpace space, uint16_t offset) {
    return decode<MsixCap>(space, offset, [](FieldReader &r, MsixCap &x) {
        x.control = r.u16(2);
        x.tableSize = uint16_t(bitField(x.control, 0, 10) + 1);
        x.functionMask = bit(x.control, 14);
        x.enabled = bit(x.control, 15);
        const uint32_t table = r.u32(4), pba = r.u32(8);
        x.tableBir = uint8_t(table & 7u);
        x.tableOffset = table & ~7u;
        x.pbaBir = uint8_t(pba & 7u);
        x.pbaOffset = pba & ~7u;
    });
}

VendorSpecificCap decodeVendorSpecific(ConfigSpace space, uint16_t offset) {
    return decode<VendorSpecificCap>(
        space, offset, [](FieldReader &r, VendorSpecificCap &v) { v.length = r.u8(2); });
}

PciExpressCap decodePciExpress(ConfigSpace space, uint16_t offset) {
    return decode<PX>(space, offset, [](FieldReader &r, PX &e) {
        r.read(e, PCIE_REGISTERS);
        splitBits(e, e.capabilities, PCIE_CAPABILITY_BITS);
        if (e.version >= 2)
            r.read(e, PCIE_V2_REGISTERS);

        splitBits(e, e.deviceCapabilities, DEVICE_CAPABILITY_BITS);
        e.maxPayloadSupported = uint16_t(128u << bitField(e.deviceCapabilities, 0, 2));
        e.capturedSlotPowerMw = slotPowerMilliwatts(bitField(e.deviceCapabilities, 18, 25),
                                                    bitField(e.deviceCapabilities, 26, 27));
        e.maxPayload = uint16_t(128u << bitField(e.deviceControl, 5, 7));
        e.maxReadRequest = uint16_t(128u << bitField(e.deviceControl, 12, 14));

        e.hasLink = pciePortHasLink(e.portType);
        splitBits(e, e.linkCapabilities, LINK_CAPABILITY_BITS);
        e.aspmControl = uint8_t(bitField(e.linkControl, 0, 1));
        splitBits(e, e.linkStatus, LINK_STATUS_BITS);

        e.slotPowerLimitMw = slotPowerMilliwatts(bitField(e.slotCapabilities, 7, 14),
                                                 bitField(e.slotCapabilities, 15, 16));
        e.physicalSlot = uint16_t(bitField(e.slotCapabilities, 19, 31));
        // Zero below version 2, which has none of these registers.
        e.supportedSpeeds = uint8_t(bitField(e.linkCapabilities2, 1, 7));
        e.targetLinkSpeed = uint8_t(bitField(e.linkControl2, 0, 3));
    });
}
