// Names of the one-bit flags of the registers that are mostly flags, for
// writers that list the flags set in a raw register. Multi-bit fields of the
// same registers are decoded into the capability structs instead.
#pragma once

#include <cstddef>
#include <cstdint>

struct FlagName {
    uint32_t mask;
    const char *name;
};

struct FlagTable {
    const FlagName *flags;
    size_t count;

    const FlagName *begin() const { return flags; }
    const FlagName *end() const { return flags + count; }
};

extern const FlagTable COMMAND_FLAGS;              // 04h
extern const FlagTable STATUS_FLAGS;               // 06h, DEVSEL timing (bits 9..10) aside
extern const FlagTable SECONDARY_STATUS_FLAGS;     // type-1 header 1Eh, type-2 header 16h
extern const FlagTable BRIDGE_CONTROL_FLAGS;       // type-1 header, 3Eh
extern const FlagTable CARDBUS_CONTROL_FLAGS;      // type-2 header, 3Eh
extern const FlagTable PCIE_DEVICE_CONTROL_FLAGS;  // PCI Express +8
extern const FlagTable PCIE_DEVICE_STATUS_FLAGS;   // PCI Express +0Ah
extern const FlagTable PCIE_LINK_CAPABILITY_FLAGS; // PCI Express +0Ch
extern const FlagTable PCIE_LINK_CONTROL_FLAGS;    // PCI Express +10h
extern const FlagTable PCIE_LINK_STATUS_FLAGS;     // PCI Express +12h
extern const FlagTable AER_UNCORRECTABLE_FLAGS;    // AER +4, +8, +0Ch
extern const FlagTable AER_CORRECTABLE_FLAGS;      // AER +10h, +14h
extern const FlagTable AER_CONTROL_FLAGS;          // AER +18h
extern const FlagTable AER_ROOT_STATUS_FLAGS;      // AER +30h
extern const FlagTable SRIOV_CONTROL_FLAGS;        // SR-IOV +8
extern const FlagTable ACS_FLAGS;                  // ACS +4 and +6
extern const FlagTable L1SS_CAPABILITY_FLAGS;      // L1 PM Substates +4
extern const FlagTable L1SS_CONTROL_FLAGS;         // L1 PM Substates +8
