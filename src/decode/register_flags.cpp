#include "decode/register_flags.h"

namespace {

// One name a line, from the table's first bit on.
// clang-format off

// Bits 0..10.
const char *const COMMAND[] = {
    "I/O Space",
    "Memory Space",
    "Bus Master",
    "Special Cycles",
    "Memory Write and Invalidate",
    "VGA Palette Snoop",
    "Parity Error Response",
    "Stepping",
    "SERR# Enable",
    "Fast Back-to-Back Enable",
    "Interrupt Disable",
};

// Bits 0..15; bits 9..10 are the DEVSEL timing, a field of its own.
const char *const STATUS[] = {
    "Immediate Readiness",
    nullptr,
    nullptr,
    "Interrupt Status",
    "Capabilities List",
    "66 MHz Capable",
    nullptr,
    "Fast Back-to-Back Capable",
    "Master Data Parity Error",
    nullptr,
    nullptr,
    "Signaled Target Abort",
    "Received Target Abort",
    "Received Master Abort",
    "Signaled System Error",
    "Detected Parity Error",
};

// Bits 0..11.
const char *const BRIDGE_CONTROL[] = {
    "Parity Error Response",
    "SERR# Enable",
    "ISA Enable",
    "VGA Enable",
    "VGA 16-bit Decode",
    "Master Abort Mode",
    "Secondary Bus Reset",
    "Fast Back-to-Back Enable",
    "Primary Discard Timeout",
    "Secondary Discard Timeout",
    "Discard Timer Status",
    "Discard Timer SERR# Enable",
};

// Bits 0..10.
const char *const CARDBUS_CONTROL[] = {
    "Parity Error Response",
    "SERR# Enable",
    "ISA Enable",
    "VGA Enable",
    nullptr,
    "Master Abort Mode",
    "CardBus Reset",
    "16-bit Interrupt Enable",
    "Memory 0 Prefetchable",
    "Memory 1 Prefetchable",
    "Write Posting Enable",
};

// Bits 0..15; 5..7 and 12..14 are the payload and read request sizes.
const char *const PCIE_DEVICE_CONTROL[] = {
    "Correctable Error Reporting",
    "Non-Fatal Error Reporting",
    "Fatal Error Reporting",
    "Unsupported Request Reporting",
    "Relaxed Ordering",
    nullptr,
    nullptr,
    nullptr,
    "Extended Tag",
    "Phantom Functions",
    "Aux Power PM",
    "No Snoop",
    nullptr,
    nullptr,
    nullptr,
    "Bridge Retry / Function Level Reset",
};

// Bits 0..6.
const char *const PCIE_DEVICE_STATUS[] = {
    "Correctable Error",
    "Non-Fatal Error",
    "Fatal Error",
    "Unsupported Request",
    "Aux Power Detected",
    "Transactions Pending",
    "Emergency Power Reduction",
};

// Bits 18..22.
const char *const PCIE_LINK_CAPABILITY[] = {
    "Clock Power Management",
    "Surprise Down Error Reporting",
    "Data Link Layer Active Reporting",
    "Link Bandwidth Notification",
    "ASPM Optionality Compliance",
};

// Bits 3..11.
const char *const PCIE_LINK_CONTROL[] = {
    "Read Completion Boundary 128",
    "Link Disable",
    "Retrain Link",
    "Common Clock",
    "Extended Synch",
    "Clock Power Management",
    "Autonomous Width Disable",
    "Bandwidth Management Interrupt",
    "Autonomous Bandwidth Interrupt",
};

// Bits 11..15.
const char *const PCIE_LINK_STATUS[] = {
    "Link Training",
    "Slot Clock",
    "Data Link Layer Active",
    "Bandwidth Management",
    "Autonomous Bandwidth",
};

// Bits 4..26.
const char *const AER_UNCORRECTABLE[] = {
    "Data Link Protocol Error",
    "Surprise Down",
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    "Poisoned TLP",
    "Flow Control Protocol Error",
    "Completion Timeout",
    "Completer Abort",
    "Unexpected Completion",
    "Receiver Overflow",
    "Malformed TLP",
    "ECRC Error",
    "Unsupported Request",
    "ACS Violation",
    "Uncorrectable Internal Error",
    "MC Blocked TLP",
    "AtomicOp Egress Blocked",
    "TLP Prefix Blocked",
    "Poisoned TLP Egress Blocked",
};

// Bits 0..15.
const char *const AER_CORRECTABLE[] = {
    "Receiver Error",
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    "Bad TLP",
    "Bad DLLP",
    "Replay Number Rollover",
    nullptr,
    nullptr,
    nullptr,
    "Replay Timer Timeout",
    "Advisory Non-Fatal Error",
    "Corrected Internal Error",
    "Header Log Overflow",
};

// Bits 5..11; bits 0..4 are the first error pointer.
const char *const AER_CONTROL[] = {
    "ECRC Generation Capable",
    "ECRC Generation Enable",
    "ECRC Check Capable",
    "ECRC Check Enable",
    "Multiple Header Recording Capable",
    "Multiple Header Recording Enable",
    "TLP Prefix Log Present",
};

// Bits 0..6.
const char *const AER_ROOT_STATUS[] = {
    "ERR_COR Received",
    "Multiple ERR_COR Received",
    "ERR_FATAL/NONFATAL Received",
    "Multiple ERR_FATAL/NONFATAL Received",
    "First Uncorrectable Fatal",
    "Non-Fatal Error Messages Received",
    "Fatal Error Messages Received",
};

// Bits 0..5.
const char *const SRIOV_CONTROL[] = {
    "VF Enable",
    "VF Migration Enable",
    "VF Migration Interrupt Enable",
    "VF Memory Space Enable",
    "ARI Capable Hierarchy",
    "VF 10-Bit Tag Requester Enable",
};

// Bits 0..6.
const char *const ACS[] = {
    "Source Validation",
    "Translation Blocking",
    "P2P Request Redirect",
    "P2P Completion Redirect",
    "Upstream Forwarding",
    "P2P Egress Control",
    "Direct Translated P2P",
};

// Bits 0..5.
const char *const L1SS_CAPABILITY[] = {
    "PCI-PM L1.2",
    "PCI-PM L1.1",
    "ASPM L1.2",
    "ASPM L1.1",
    "L1 PM Substates",
    "Link Activation",
};

// Bits 0..5.
const char *const L1SS_CONTROL[] = {
    "PCI-PM L1.2",
    "PCI-PM L1.1",
    "ASPM L1.2",
    "ASPM L1.1",
    "Link Activation Interrupt",
    "Link Activation Control",
};
// clang-format on

} // namespace

const FlagTable COMMAND_FLAGS(COMMAND);
const FlagTable STATUS_FLAGS(STATUS);
// A bridge's secondary status: bits 5..15 of Status, but bit 14 is an error
// received, not signaled.
const FlagTable SECONDARY_STATUS_FLAGS(STATUS, 5, {1u << 14, "Received System Error"});
const FlagTable BRIDGE_CONTROL_FLAGS(BRIDGE_CONTROL);
const FlagTable CARDBUS_CONTROL_FLAGS(CARDBUS_CONTROL);
const FlagTable PCIE_DEVICE_CONTROL_FLAGS(PCIE_DEVICE_CONTROL);
const FlagTable PCIE_DEVICE_STATUS_FLAGS(PCIE_DEVICE_STATUS);
const FlagTable PCIE_LINK_CAPABILITY_FLAGS(PCIE_LINK_CAPABILITY, 18);
const FlagTable PCIE_LINK_CONTROL_FLAGS(PCIE_LINK_CONTROL, 3);
const FlagTable PCIE_LINK_STATUS_FLAGS(PCIE_LINK_STATUS, 11);
const FlagTable AER_UNCORRECTABLE_FLAGS(AER_UNCORRECTABLE, 4);
const FlagTable AER_CORRECTABLE_FLAGS(AER_CORRECTABLE);
const FlagTable AER_CONTROL_FLAGS(AER_CONTROL, 5);
const FlagTable AER_ROOT_STATUS_FLAGS(AER_ROOT_STATUS);
const FlagTable SRIOV_CONTROL_FLAGS(SRIOV_CONTROL);
const FlagTable ACS_FLAGS(ACS);
const FlagTable L1SS_CAPABILITY_FLAGS(L1SS_CAPABILITY);
const FlagTable L1SS_CONTROL_FLAGS(L1SS_CONTROL);
