#include "decode/register_flags.h"

#include <iterator>

namespace {

constexpr uint32_t b(unsigned n) {
    return 1u << n;
}

const FlagName COMMAND[] = {
    {b(0), "I/O Space"},
    {b(1), "Memory Space"},
    {b(2), "Bus Master"},
    {b(3), "Special Cycles"},
    {b(4), "Memory Write and Invalidate"},
    {b(5), "VGA Palette Snoop"},
    {b(6), "Parity Error Response"},
    {b(7), "Stepping"},
    {b(8), "SERR# Enable"},
    {b(9), "Fast Back-to-Back Enable"},
    {b(10), "Interrupt Disable"},
};

// Bits 9..10 are the DEVSEL timing, a field of its own.
const FlagName STATUS[] = {
    {b(0), "Immediate Readiness"},       {b(3), "Interrupt Status"},
    {b(4), "Capabilities List"},         {b(5), "66 MHz Capable"},
    {b(7), "Fast Back-to-Back Capable"}, {b(8), "Master Data Parity Error"},
    {b(11), "Signaled Target Abort"},    {b(12), "Received Target Abort"},
    {b(13), "Received Master Abort"},    {b(14), "Signaled System Error"},
    {b(15), "Detected Parity Error"},
};

// A bridge's secondary status: bit 14 is an error received, not signaled.
const FlagName SECONDARY_STATUS[] = {
    {b(5), "66 MHz Capable"},           {b(7), "Fast Back-to-Back Capable"},
    {b(8), "Master Data Parity Error"}, {b(11), "Signaled Target Abort"},
    {b(12), "Received Target Abort"},   {b(13), "Received Master Abort"},
    {b(14), "Received System Error"},   {b(15), "Detected Parity Error"},
};

const FlagName BRIDGE_CONTROL[] = {
    {b(0), "Parity Error Response"},
    {b(1), "SERR# Enable"},
    {b(2), "ISA Enable"},
    {b(3), "VGA Enable"},
    {b(4), "VGA 16-bit Decode"},
    {b(5), "Master Abort Mode"},
    {b(6), "Secondary Bus Reset"},
    {b(7), "Fast Back-to-Back Enable"},
    {b(8), "Primary Discard Timeout"},
    {b(9), "Secondary Discard Timeout"},
    {b(10), "Discard Timer Status"},
    {b(11), "Discard Timer SERR# Enable"},
};

const FlagName CARDBUS_CONTROL[] = {
    {b(0), "Parity Error Response"},
    {b(1), "SERR# Enable"},
    {b(2), "ISA Enable"},
    {b(3), "VGA Enable"},
    {b(5), "Master Abort Mode"},
    {b(6), "CardBus Reset"},
    {b(7), "16-bit Interrupt Enable"},
    {b(8), "Memory 0 Prefetchable"},
    {b(9), "Memory 1 Prefetchable"},
    {b(10), "Write Posting Enable"},
};

const FlagName PCIE_DEVICE_CONTROL[] = {
    {b(0), "Correctable Error Reporting"},
    {b(1), "Non-Fatal Error Reporting"},
    {b(2), "Fatal Error Reporting"},
    {b(3), "Unsupported Request Reporting"},
    {b(4), "Relaxed Ordering"},
    {b(8), "Extended Tag"},
    {b(9), "Phantom Functions"},
    {b(10), "Aux Power PM"},
    {b(11), "No Snoop"},
    {b(15), "Bridge Retry / Function Level Reset"},
};

const FlagName PCIE_DEVICE_STATUS[] = {
    {b(0), "Correctable Error"},
    {b(1), "Non-Fatal Error"},
    {b(2), "Fatal Error"},
    {b(3), "Unsupported Request"},
    {b(4), "Aux Power Detected"},
    {b(5), "Transactions Pending"},
    {b(6), "Emergency Power Reduction"},
};

const FlagName PCIE_LINK_CAPABILITY[] = {
    {b(18), "Clock Power Management"},           {b(19), "Surprise Down Error Reporting"},
    {b(20), "Data Link Layer Active Reporting"}, {b(21), "Link Bandwidth Notification"},
    {b(22), "ASPM Optionality Compliance"},
};

const FlagName PCIE_LINK_CONTROL[] = {
    {b(3), "Read Completion Boundary 128"},
    {b(4), "Link Disable"},
    {b(5), "Retrain Link"},
    {b(6), "Common Clock"},
    {b(7), "Extended Synch"},
    {b(8), "Clock Power Management"},
    {b(9), "Autonomous Width Disable"},
    {b(10), "Bandwidth Management Interrupt"},
    {b(11), "Autonomous Bandwidth Interrupt"},
};

const FlagName PCIE_LINK_STATUS[] = {
    {b(11), "Link Training"},          {b(12), "Slot Clock"},
    {b(13), "Data Link Layer Active"}, {b(14), "Bandwidth Management"},
    {b(15), "Autonomous Bandwidth"},
};

const FlagName AER_UNCORRECTABLE[] = {
    {b(4), "Data Link Protocol Error"},
    {b(5), "Surprise Down"},
    {b(12), "Poisoned TLP"},
    {b(13), "Flow Control Protocol Error"},
    {b(14), "Completion Timeout"},
    {b(15), "Completer Abort"},
    {b(16), "Unexpected Completion"},
    {b(17), "Receiver Overflow"},
    {b(18), "Malformed TLP"},
    {b(19), "ECRC Error"},
    {b(20), "Unsupported Request"},
    {b(21), "ACS Violation"},
    {b(22), "Uncorrectable Internal Error"},
    {b(23), "MC Blocked TLP"},
    {b(24), "AtomicOp Egress Blocked"},
    {b(25), "TLP Prefix Blocked"},
    {b(26), "Poisoned TLP Egress Blocked"},
};

const FlagName AER_CORRECTABLE[] = {
    {b(0), "Receiver Error"},
    {b(6), "Bad TLP"},
    {b(7), "Bad DLLP"},
    {b(8), "Replay Number Rollover"},
    {b(12), "Replay Timer Timeout"},
    {b(13), "Advisory Non-Fatal Error"},
    {b(14), "Corrected Internal Error"},
    {b(15), "Header Log Overflow"},
};

const FlagName AER_CONTROL[] = {
    {b(5), "ECRC Generation Capable"},
    {b(6), "ECRC Generation Enable"},
    {b(7), "ECRC Check Capable"},
    {b(8), "ECRC Check Enable"},
    {b(9), "Multiple Header Recording Capable"},
    {b(10), "Multiple Header Recording Enable"},
    {b(11), "TLP Prefix Log Present"},
};

const FlagName AER_ROOT_STATUS[] = {
    {b(0), "ERR_COR Received"},
    {b(1), "Multiple ERR_COR Received"},
    {b(2), "ERR_FATAL/NONFATAL Received"},
    {b(3), "Multiple ERR_FATAL/NONFATAL Received"},
    {b(4), "First Uncorrectable Fatal"},
    {b(5), "Non-Fatal Error Messages Received"},
    {b(6), "Fatal Error Messages Received"},
};

const FlagName SRIOV_CONTROL[] = {
    {b(0), "VF Enable"},
    {b(1), "VF Migration Enable"},
    {b(2), "VF Migration Interrupt Enable"},
    {b(3), "VF Memory Space Enable"},
    {b(4), "ARI Capable Hierarchy"},
    {b(5), "VF 10-Bit Tag Requester Enable"},
};

const FlagName ACS[] = {
    {b(0), "Source Validation"},     {b(1), "Translation Blocking"},
    {b(2), "P2P Request Redirect"},  {b(3), "P2P Completion Redirect"},
    {b(4), "Upstream Forwarding"},   {b(5), "P2P Egress Control"},
    {b(6), "Direct Translated P2P"},
};

const FlagName L1SS_CAPABILITY[] = {
    {b(0), "PCI-PM L1.2"}, {b(1), "PCI-PM L1.1"},     {b(2), "ASPM L1.2"},
    {b(3), "ASPM L1.1"},   {b(4), "L1 PM Substates"}, {b(5), "Link Activation"},
};

const FlagName L1SS_CONTROL[] = {
    {b(0), "PCI-PM L1.2"},
    {b(1), "PCI-PM L1.1"},
    {b(2), "ASPM L1.2"},
    {b(3), "ASPM L1.1"},
    {b(4), "Link Activation Interrupt"},
    {b(5), "Link Activation Control"},
};

} // namespace

const FlagTable COMMAND_FLAGS = {COMMAND, std::size(COMMAND)};
const FlagTable STATUS_FLAGS = {STATUS, std::size(STATUS)};
const FlagTable SECONDARY_STATUS_FLAGS = {SECONDARY_STATUS, std::size(SECONDARY_STATUS)};
const FlagTable BRIDGE_CONTROL_FLAGS = {BRIDGE_CONTROL, std::size(BRIDGE_CONTROL)};
const FlagTable CARDBUS_CONTROL_FLAGS = {CARDBUS_CONTROL, std::size(CARDBUS_CONTROL)};
const FlagTable PCIE_DEVICE_CONTROL_FLAGS = {PCIE_DEVICE_CONTROL, std::size(PCIE_DEVICE_CONTROL)};
const FlagTable PCIE_DEVICE_STATUS_FLAGS = {PCIE_DEVICE_STATUS, std::size(PCIE_DEVICE_STATUS)};
const FlagTable PCIE_LINK_CAPABILITY_FLAGS = {PCIE_LINK_CAPABILITY,
                                              std::size(PCIE_LINK_CAPABILITY)};
const FlagTable PCIE_LINK_CONTROL_FLAGS = {PCIE_LINK_CONTROL, std::size(PCIE_LINK_CONTROL)};
const FlagTable PCIE_LINK_STATUS_FLAGS = {PCIE_LINK_STATUS, std::size(PCIE_LINK_STATUS)};
const FlagTable AER_UNCORRECTABLE_FLAGS = {AER_UNCORRECTABLE, std::size(AER_UNCORRECTABLE)};
const FlagTable AER_CORRECTABLE_FLAGS = {AER_CORRECTABLE, std::size(AER_CORRECTABLE)};
const FlagTable AER_CONTROL_FLAGS = {AER_CONTROL, std::size(AER_CONTROL)};
const FlagTable AER_ROOT_STATUS_FLAGS = {AER_ROOT_STATUS, std::size(AER_ROOT_STATUS)};
const FlagTable SRIOV_CONTROL_FLAGS = {SRIOV_CONTROL, std::size(SRIOV_CONTROL)};
const FlagTable ACS_FLAGS = {ACS, std::size(ACS)};
const FlagTable L1SS_CAPABILITY_FLAGS = {L1SS_CAPABILITY, std::size(L1SS_CAPABILITY)};
const FlagTable L1SS_CONTROL_FLAGS = {L1SS_CONTROL, std::size(L1SS_CONTROL)};
