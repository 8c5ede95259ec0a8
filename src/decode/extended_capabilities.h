// Decoders of the PCI Express extended capabilities: Advanced Error
// Reporting, Device Serial Number, SR-IOV, ARI, Resizable BAR, L1 PM
// Substates, Latency Tolerance Reporting, Access Control Services and the
// vendor-specific header. Each takes the offset of the capability's header
// and returns a plain struct; fields past the bytes given read as 0 and set
// `truncated`.
#pragma once

#include "decode/config_space.h"
#include "decode/header_layout.h"

#include <cstdint>

namespace extended_capability {
constexpr uint16_t AER = 0x0001;
constexpr uint16_t SERIAL_NUMBER = 0x0003;
constexpr uint16_t VENDOR_SPECIFIC = 0x000B;
constexpr uint16_t ACS = 0x000D;
constexpr uint16_t ARI = 0x000E;
constexpr uint16_t SR_IOV = 0x0010;
constexpr uint16_t RESIZABLE_BAR = 0x0015;
constexpr uint16_t LTR = 0x0018;
constexpr uint16_t L1_PM_SUBSTATES = 0x001E;
constexpr uint16_t VF_RESIZABLE_BAR = 0x0024;
} // namespace extended_capability

struct AerCap {
    bool truncated;
    uint32_t uncorrectableStatus;   // +4; flags in AER_UNCORRECTABLE_FLAGS
    uint32_t uncorrectableMask;     // +8
    uint32_t uncorrectableSeverity; // +0Ch: a set bit makes the error fatal
    uint32_t correctableStatus;     // +10h; flags in AER_CORRECTABLE_FLAGS
    uint32_t correctableMask;       // +14h
    uint32_t control;               // +18h; flags in AER_CONTROL_FLAGS
    uint8_t firstErrorPointer;      // bits 0..4 of it: a bit of the uncorrectable status
    uint32_t headerLog[4];          // +1Ch..+2Bh
    bool hasRoot;                   // root port or event collector: the registers below exist
    uint32_t rootCommand;           // +2Ch; bits 0..2 report correctable, non-fatal, fatal
    uint32_t rootStatus;            // +30h; flags in AER_ROOT_STATUS_FLAGS
    uint16_t correctableSource;     // +34h: requester id of the last correctable error
    uint16_t uncorrectableSource;   // +36h: that of the last fatal or non-fatal error
};

struct SerialNumberCap {
    bool truncated;
    uint64_t serial; // +4 lower dword, +8 upper dword
};

struct VendorSpecificExtendedCap {
    bool truncated;
    uint16_t vendorId; // +4 bits 0..15: the vendor's own id for the structure
    uint8_t revision;  // bits 16..19
    uint16_t length;   // bits 20..31: bytes, header included
};

struct SrIovCap {
    bool truncated;
    uint32_t capabilities;         // +4: bit 0 VF migration, bit 1 ARI hierarchy preserved
    uint16_t migrationInterrupt;   // bits 21..31 of it
    uint16_t control;              // +8; flags in SRIOV_CONTROL_FLAGS
    uint16_t status;               // +0Ah: bit 0 VF migration status
    uint16_t initialVfs;           // +0Ch
    uint16_t totalVfs;             // +0Eh
    uint16_t numVfs;               // +10h
    uint8_t functionDependency;    // +12h
    uint16_t firstVfOffset;        // +14h: routing id offset of the first VF
    uint16_t vfStride;             // +16h: between consecutive VFs
    uint16_t vfDeviceId;           // +1Ah
    uint32_t supportedPageSizes;   // +1Ch: bit n set = 4 KB << n supported
    uint32_t systemPageSize;       // +20h: the one bit in use
    BarList vfBars;                // +24h..+3Bh, 64-bit pairs joined
    uint8_t migrationStateBir;     // +3Ch bits 0..2
    uint32_t migrationStateOffset; // +3Ch with bits 0..2 cleared
};

struct AriCap {
    bool truncated;
    uint16_t capabilities;  // +4
    bool mfvcGroups;        // bit 0: MFVC function groups capable
    bool acsGroups;         // bit 1: ACS function groups capable
    uint8_t nextFunction;   // bits 8..15
    uint16_t control;       // +6
    bool mfvcGroupsEnabled; // bit 0
    bool acsGroupsEnabled;  // bit 1
    uint8_t functionGroup;  // bits 4..6
};

constexpr int MAX_RESIZABLE_BARS = 6;

struct ResizableBarEntry {
    uint32_t capability; // +4 + 8 * n
    uint32_t control;    // +8 + 8 * n
    uint8_t barIndex;    // control bits 0..2
    uint8_t currentSize; // control bits 8..13: 2^n MB
    uint64_t
        supportedSizes; // bit n set: 2^n MB supported (capability bits 4..31, control bits 16..31)
};

struct ResizableBarCap {
    bool truncated;
    uint8_t declaredCount; // bits 5..7 of the first control register
    uint8_t count;         // entries decoded: declaredCount, at most 6
    ResizableBarEntry entries[MAX_RESIZABLE_BARS];
};

struct L1SubstatesCap {
    bool truncated;
    uint32_t capabilities;           // +4; flags in L1SS_CAPABILITY_FLAGS
    uint8_t portCommonModeRestoreUs; // bits 8..15
    uint32_t portPowerOnUs;          // bits 16..17 scale, 19..23 value (0 for a reserved scale)
    uint32_t control1;               // +8; flags in L1SS_CONTROL_FLAGS
    uint8_t commonModeRestoreUs;     // bits 8..15
    uint64_t ltrThresholdNs;         // bits 16..25 value, 29..31 scale (0 for a reserved scale)
    uint32_t control2;               // +0Ch
    uint32_t powerOnUs;              // bits 0..1 scale, 3..7 value
};

struct LtrCap {
    bool truncated;
    uint16_t maxSnoopRaw;   // +4: bits 0..9 value, 10..12 scale
    uint64_t maxSnoopNs;    // value * 32^scale (0 for a reserved scale)
    uint16_t maxNoSnoopRaw; // +6
    uint64_t maxNoSnoopNs;
};

struct AcsCap {
    bool truncated;
    uint16_t capabilities;     // +4; flags in ACS_FLAGS
    uint16_t egressVectorBits; // bits 8..15, where 0 stands for 256
    uint16_t control;          // +6; flags in ACS_FLAGS
    uint32_t egressVector;     // +8, first dword, when P2P egress control is supported
};

// An LTR latency field (value bits 0..9, scale bits 10..12) in nanoseconds.
uint64_t ltrLatencyNs(uint16_t raw);

AerCap decodeAer(ConfigSpace space, uint16_t offset, bool hasRoot);
SerialNumberCap decodeSerialNumber(ConfigSpace space, uint16_t offset);
VendorSpecificExtendedCap decodeVendorSpecificExtended(ConfigSpace space, uint16_t offset);
SrIovCap decodeSrIov(ConfigSpace space, uint16_t offset);
AriCap decodeAri(ConfigSpace space, uint16_t offset);
ResizableBarCap decodeResizableBar(ConfigSpace space, uint16_t offset);
L1SubstatesCap decodeL1Substates(ConfigSpace space, uint16_t offset);
LtrCap decodeLtr(ConfigSpace space, uint16_t offset);
AcsCap decodeAcs(ConfigSpace space, uint16_t offset);
