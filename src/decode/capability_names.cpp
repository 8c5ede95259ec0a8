#include "decode/capability_names.h"

#include <iterator>

namespace {

// Indexed by id.
const char *const PCI_CAPABILITY_NAMES[] = {
    "Null",
    "Power Management",
    "AGP",
    "Vital Product Data",
    "Slot Identification",
    "MSI",
    "CompactPCI Hot Swap",
    "PCI-X",
    "HyperTransport",
    "Vendor-Specific",
    "Debug Port",
    "CompactPCI Central Resource Control",
    "PCI Hot-Plug",
    "Bridge Subsystem Vendor ID",
    "AGP 8x",
    "Secure Device",
    "PCI Express",
    "MSI-X",
    "SATA Data/Index Configuration",
    "Advanced Features",
    "Enhanced Allocation",
    "Flattening Portal Bridge",
};

const char *const EXTENDED_CAPABILITY_NAMES[] = {
    "Null",
    "Advanced Error Reporting",
    "Virtual Channel",
    "Device Serial Number",
    "Power Budgeting",
    "Root Complex Link Declaration",
    "Root Complex Internal Link Control",
    "Root Complex Event Collector Endpoint Association",
    "Multi-Function Virtual Channel",
    "Virtual Channel (MFVC present)",
    "Root Complex Register Block Header",
    "Vendor-Specific Extended",
    "Configuration Access Correlation",
    "Access Control Services",
    "Alternative Routing-ID Interpretation",
    "Address Translation Services",
    "Single Root I/O Virtualization",
    "Multi-Root I/O Virtualization",
    "Multicast",
    "Page Request Interface",
    "Reserved for AMD",
    "Resizable BAR",
    "Dynamic Power Allocation",
    "TPH Requester",
    "Latency Tolerance Reporting",
    "Secondary PCI Express",
    "Protocol Multiplexing",
    "Process Address Space ID",
    "LN Requester",
    "Downstream Port Containment",
    "L1 PM Substates",
    "Precision Time Measurement",
    "PCI Express over M-PHY",
    "FRS Queueing",
    "Readiness Time Reporting",
    "Designated Vendor-Specific",
    "VF Resizable BAR",
    "Data Link Feature",
    "Physical Layer 16.0 GT/s",
    "Lane Margining at the Receiver",
    "Hierarchy ID",
    "Native PCIe Enclosure Management",
    "Physical Layer 32.0 GT/s",
    "Alternate Protocol",
    "System Firmware Intermediary",
    "Shadow Functions",
    "Data Object Exchange",
    "Device 3",
    "Integrity and Data Encryption",
    "Physical Layer 64.0 GT/s",
    "Flit Logging",
    "Flit Performance Measurement",
    "Flit Error Injection",
};

template <typename Table> const char *lookup(const Table &table, unsigned id) {
    return id < std::size(table) ? table[id] : nullptr;
}

} // namespace

const char *pciCapabilityName(uint8_t id) {
    return lookup(PCI_CAPABILITY_NAMES, id);
}

const char *extendedCapabilityName(uint16_t id) {
    return lookup(EXTENDED_CAPABILITY_NAMES, id);
}
