#include "decode/capability.h"

#include "decode/capability_names.h"

#include <cstring>

namespace {

void decodePci(ConfigSpace space, Capability &c) {
    switch (c.id) {
    case pci_capability::POWER_MANAGEMENT:
        c.kind = CapabilityKind::PowerManagement;
        c.pm = decodePowerManagement(space, c.offset);
        c.version = c.pm.version;
        c.truncated = c.pm.truncated;
        break;
    case pci_capability::MSI:
        c.kind = CapabilityKind::Msi;
        c.msi = decodeMsi(space, c.offset);
        c.truncated = c.msi.truncated;
        break;
    case pci_capability::MSI_X:
        c.kind = CapabilityKind::Msix;
        c.msix = decodeMsix(space, c.offset);
        c.truncated = c.msix.truncated;
        break;
    case pci_capability::PCI_EXPRESS:
        c.kind = CapabilityKind::PciExpress;
        c.pcie = decodePciExpress(space, c.offset);
        c.version = c.pcie.version;
        c.truncated = c.pcie.truncated;
        break;
    case pci_capability::VENDOR_SPECIFIC:
        c.kind = CapabilityKind::VendorSpecific;
        c.vendor = decodeVendorSpecific(space, c.offset);
        c.truncated = c.vendor.truncated;
        break;
    default: break;
    }
}

void decodeExtended(ConfigSpace space, Capability &c, uint8_t portType) {
    namespace id = extended_capability;
    switch (c.id) {
    case id::AER:
        c.kind = CapabilityKind::Aer;
        c.aer = decodeAer(space, c.offset, pciePortHasRoot(portType));
        c.truncated = c.aer.truncated;
        break;
    case id::SERIAL_NUMBER:
        c.kind = CapabilityKind::SerialNumber;
        c.serial = decodeSerialNumber(space, c.offset);
        c.truncated = c.serial.truncated;
        break;
    case id::VENDOR_SPECIFIC:
        c.kind = CapabilityKind::VendorSpecificExtended;
        c.vendorExtended = decodeVendorSpecificExtended(space, c.offset);
        c.truncated = c.vendorExtended.truncated;
        break;
    case id::SR_IOV:
        c.kind = CapabilityKind::SrIov;
        c.sriov = decodeSrIov(space, c.offset);
        c.truncated = c.sriov.truncated;
        break;
    case id::ARI:
        c.kind = CapabilityKind::Ari;
        c.ari = decodeAri(space, c.offset);
        c.truncated = c.ari.truncated;
        break;
    case id::RESIZABLE_BAR:
    case id::VF_RESIZABLE_BAR:
        c.kind = CapabilityKind::ResizableBar;
        c.resizableBar = decodeResizableBar(space, c.offset);
        c.truncated = c.resizableBar.truncated;
        break;
    case id::L1_PM_SUBSTATES:
        c.kind = CapabilityKind::L1Substates;
        c.l1ss = decodeL1Substates(space, c.offset);
        c.truncated = c.l1ss.truncated;
        break;
    case id::LTR:
        c.kind = CapabilityKind::Ltr;
        c.ltr = decodeLtr(space, c.offset);
        c.truncated = c.ltr.truncated;
        break;
    case id::ACS:
        c.kind = CapabilityKind::Acs;
        c.acs = decodeAcs(space, c.offset);
        c.truncated = c.acs.truncated;
        break;
    default: break;
    }
}

} // namespace

uint8_t pciePortTypeOf(ConfigSpace space) {
    const uint16_t offset =
        findCapability(space, CapabilitySpace::Pci, pci_capability::PCI_EXPRESS);
    if (offset == 0)
        return PCIE_NOT_EXPRESS;
    return uint8_t(bitField(space.u8(offset + 2u), 4, 7));
}

Capability decodeCapability(ConfigSpace space, const CapabilityEntry &entry, uint8_t portType) {
    Capability c;
    std::memset(&c, 0, sizeof c);
    c.space = entry.space;
    c.id = entry.id;
    c.offset = entry.offset;
    c.version = entry.version;
    c.next = entry.next;
    c.kind = CapabilityKind::Other;
    if (entry.space == CapabilitySpace::Pci) {
        c.name = entry.id <= 0xFF ? pciCapabilityName(uint8_t(entry.id)) : nullptr;
        decodePci(space, c);
    } else {
        c.name = extendedCapabilityName(entry.id);
        decodeExtended(space, c, portType);
    }
    return c;
}
