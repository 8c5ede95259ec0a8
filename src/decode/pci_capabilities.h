// Decoders of the capabilities in the PCI list: Power Management, MSI,
// MSI-X, PCI Express and Vendor-Specific. Each takes the offset of the
// capability's header (its id byte) and returns a plain struct; fields that
// lie past the first 256 bytes read as 0 and set `truncated`.
#pragma once

#include "decode/config_space.h"

#include <cstdint>

namespace pci_capability {
constexpr uint8_t POWER_MANAGEMENT = 0x01;
constexpr uint8_t MSI = 0x05;
constexpr uint8_t VENDOR_SPECIFIC = 0x09;
constexpr uint8_t BRIDGE_SUBSYSTEM = 0x0D; // +4 subsystem vendor id, +6 subsystem id
constexpr uint8_t PCI_EXPRESS = 0x10;
constexpr uint8_t MSI_X = 0x11;
} // namespace pci_capability

struct PowerManagementCap {
    bool truncated;
    uint16_t capabilities;    // PMC, +2
    uint8_t version;          // bits 0..2
    bool pmeClock;            // bit 3
    bool immediateReadiness;  // bit 4
    bool deviceSpecificInit;  // bit 5
    uint16_t auxCurrentMa;    // bits 6..8 as milliamperes (0: self powered or none)
    bool d1, d2;              // bits 9, 10: states supported
    uint8_t pmeFrom;          // bits 11..15: PME from D0, D1, D2, D3hot, D3cold (bit 0 = D0)
    uint16_t controlStatus;   // PMCSR, +4
    uint8_t powerState;       // bits 0..1: D0..D3hot
    bool noSoftReset;         // bit 3
    bool pmeEnable;           // bit 8
    uint8_t dataSelect;       // bits 9..12
    uint8_t dataScale;        // bits 13..14
    bool pmeStatus;           // bit 15
    uint8_t bridgeExtensions; // +6: bit 6 B2/B3 on D3hot, bit 7 bus power/clock control
    uint8_t data;             // +7
};

struct MsiCap {
    bool truncated;
    uint16_t control;         // +2
    bool enabled;             // bit 0
    uint16_t vectorsCapable;  // 1 << bits 1..3 (64 and 128 are reserved encodings)
    uint16_t vectorsEnabled;  // 1 << bits 4..6
    bool address64;           // bit 7
    bool perVectorMasking;    // bit 8
    bool extendedDataCapable; // bit 9
    bool extendedDataEnabled; // bit 10
    uint64_t address;         // +4, upper half at +8 when address64
    uint16_t data;            // +8, or +0Ch when address64
    uint16_t extendedData;    // the 16 bits after data
    uint32_t mask;            // per-vector masking only: +0Ch / +10h
    uint32_t pending;         // per-vector masking only: +10h / +14h
};

struct MsixCap {
    bool truncated;
    uint16_t control;     // +2
    uint16_t tableSize;   // bits 0..10 plus one: the number of vectors
    bool functionMask;    // bit 14
    bool enabled;         // bit 15
    uint8_t tableBir;     // +4 bits 0..2: the BAR that holds the table
    uint32_t tableOffset; // +4 with bits 0..2 cleared
    uint8_t pbaBir;       // +8 bits 0..2: the BAR that holds the pending bits
    uint32_t pbaOffset;   // +8 with bits 0..2 cleared
};

struct VendorSpecificCap {
    bool truncated;
    uint8_t length; // +2: bytes of the capability, header included
};

// Device/port type of the PCI Express capability register, bits 4..7.
enum PciePortType : uint8_t {
    PCIE_ENDPOINT = 0x0,
    PCIE_LEGACY_ENDPOINT = 0x1,
    PCIE_ROOT_PORT = 0x4,
    PCIE_SWITCH_UPSTREAM = 0x5,
    PCIE_SWITCH_DOWNSTREAM = 0x6,
    PCIE_TO_PCI_BRIDGE = 0x7,
    PCI_TO_PCIE_BRIDGE = 0x8,
    PCIE_ROOT_COMPLEX_ENDPOINT = 0x9,
    PCIE_ROOT_COMPLEX_EVENT_COLLECTOR = 0xA,
};

// The name of a port type, or nullptr for a reserved value.
const char *pciePortTypeName(uint8_t portType);
// True for the types whose port has a link (and link registers).
bool pciePortHasLink(uint8_t portType);
// True for the types with the root registers (root port, event collector).
bool pciePortHasRoot(uint8_t portType);

// A link speed code (Link Capabilities, Link Status, Link Control 2) as
// megatransfers per second: 1 = 2500 .. 6 = 64000; 0 for other codes.
uint32_t linkSpeedMts(uint8_t code);

struct PciExpressCap {
    bool truncated;
    uint16_t capabilities;    // +2
    uint8_t version;          // bits 0..3
    uint8_t portType;         // bits 4..7, PciePortType
    bool slotImplemented;     // bit 8
    uint8_t interruptMessage; // bits 9..13

    uint32_t deviceCapabilities;  // +4
    uint16_t maxPayloadSupported; // bits 0..2 as bytes (128 << n)
    uint8_t phantomFunctions;     // bits 3..4
    bool extendedTagSupported;    // bit 5
    uint8_t l0sAcceptableLatency; // bits 6..8, encoded: 64 ns << n, 7 = no limit
    uint8_t l1AcceptableLatency;  // bits 9..11, encoded: 1 us << n, 7 = no limit
    bool roleBasedErrors;         // bit 15
    uint32_t capturedSlotPowerMw; // bits 18..27 as milliwatts
    bool functionLevelReset;      // bit 28

    uint16_t deviceControl;  // +8; flags in PCIE_DEVICE_CONTROL_FLAGS
    uint16_t maxPayload;     // bits 5..7 as bytes
    uint16_t maxReadRequest; // bits 12..14 as bytes
    uint16_t deviceStatus;   // +0Ah; flags in PCIE_DEVICE_STATUS_FLAGS

    bool hasLink;              // the port type has the link registers
    uint32_t linkCapabilities; // +0Ch; flags in PCIE_LINK_CAPABILITY_FLAGS
    uint8_t maxLinkSpeed;      // bits 0..3, a speed code (linkSpeedMts)
    uint8_t maxLinkWidth;      // bits 4..9, lanes
    uint8_t aspmSupport;       // bits 10..11: 1 L0s, 2 L1, 3 both
    uint8_t l0sExitLatency;    // bits 12..14, encoded: 64 ns << n, 7 = over 4 us
    uint8_t l1ExitLatency;     // bits 15..17, encoded: 1 us << n, 7 = over 64 us
    uint8_t portNumber;        // bits 24..31
    uint16_t linkControl;      // +10h; flags in PCIE_LINK_CONTROL_FLAGS
    uint8_t aspmControl;       // bits 0..1: 1 L0s, 2 L1, 3 both
    uint16_t linkStatus;       // +12h; flags in PCIE_LINK_STATUS_FLAGS
    uint8_t linkSpeed;         // bits 0..3, a speed code
    uint8_t linkWidth;         // bits 4..9, lanes

    uint32_t slotCapabilities; // +14h, meaningful when slotImplemented
    uint32_t slotPowerLimitMw; // bits 7..16 as milliwatts
    uint16_t physicalSlot;     // bits 19..31
    uint16_t slotControl;      // +18h
    uint16_t slotStatus;       // +1Ah
    uint16_t rootControl;      // +1Ch, meaningful for pciePortHasRoot
    uint16_t rootCapabilities; // +1Eh
    uint32_t rootStatus;       // +20h

    // Version 2 and later.
    uint32_t deviceCapabilities2; // +24h
    uint16_t deviceControl2;      // +28h
    uint16_t deviceStatus2;       // +2Ah
    uint32_t linkCapabilities2;   // +2Ch
    uint8_t supportedSpeeds;      // bits 1..7 of it: bit n set = speed code n+1 supported
    uint16_t linkControl2;        // +30h
    uint8_t targetLinkSpeed;      // bits 0..3, a speed code
    uint16_t linkStatus2;         // +32h
    uint32_t slotCapabilities2;   // +34h
    uint16_t slotControl2;        // +38h
    uint16_t slotStatus2;         // +3Ah
};

PowerManagementCap decodePowerManagement(ConfigSpace space, uint16_t offset);
MsiCap decodeMsi(ConfigSpace space, uint16_t offset);
MsixCap decodeMsix(ConfigSpace space, uint16_t offset);
VendorSpecificCap decodeVendorSpecific(ConfigSpace space, uint16_t offset);
PciExpressCap decodePciExpress(ConfigSpace space, uint16_t offset);
