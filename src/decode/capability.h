// One capability decoded: where it is, what it is, and its fields, for the
// capabilities that have a decoder; the others carry only their header.
//
//     const uint8_t portType = pciePortTypeOf(space);
//     CapabilityWalk walk(space, CapabilitySpace::Pci);
//     for (CapabilityEntry entry; walk.next(entry);) {
//         const Capability c = decodeCapability(space, entry, portType);
//         switch (c.kind) { case CapabilityKind::Msi: ... c.msi ... }
//     }
//     if (walkStopIsFault(walk.stop())) ... walkStopText(walk.stop()) ...
#pragma once

#include "decode/capability_walk.h"
#include "decode/extended_capabilities.h"
#include "decode/pci_capabilities.h"

#include <cstdint>

enum class CapabilityKind : uint8_t {
    Other, // no decoder: header only
    PowerManagement,
    Msi,
    Msix,
    PciExpress,
    VendorSpecific,
    Aer,
    SerialNumber,
    VendorSpecificExtended,
    SrIov,
    Ari,
    ResizableBar, // also the VF Resizable BAR, which has the same layout
    L1Substates,
    Ltr,
    Acs,
};

struct Capability {
    CapabilitySpace space;
    uint16_t id;
    uint16_t offset;
    const char *name; // nullptr for an id not assigned
    // Extended list: the header's version. PCI list: the structure's own
    // version where it has one (Power Management, PCI Express), else 0.
    uint8_t version;
    uint16_t next;
    bool truncated; // the structure runs past the bytes it may occupy
    CapabilityKind kind;
    // The member named after `kind`; none for Other.
    union {
        PowerManagementCap pm;
        MsiCap msi;
        MsixCap msix;
        PciExpressCap pcie;
        VendorSpecificCap vendor;
        AerCap aer;
        SerialNumberCap serial;
        VendorSpecificExtendedCap vendorExtended;
        SrIovCap sriov;
        AriCap ari;
        ResizableBarCap resizableBar;
        L1SubstatesCap l1ss;
        LtrCap ltr;
        AcsCap acs;
    };
};

// The port type of the function's PCI Express capability, or
// PCIE_NOT_EXPRESS when it has none. AER needs it for its root registers.
constexpr uint8_t PCIE_NOT_EXPRESS = 0xFF;
uint8_t pciePortTypeOf(ConfigSpace space);

Capability decodeCapability(ConfigSpace space, const CapabilityEntry &entry, uint8_t portType);
