#include "decode/capability.h"

#include "decode/capability_names.h"

#include <cstring>

namespace {

// Keeps a decoded structure in its member of the union and its kind.
template <typename Cap>
void keep(Capability &c, CapabilityKind kind, Cap Capability::*member, const Cap &decoded) {
    c.kind = kind;
    c.*member = decoded;
    c.truncated = decoded.truncated;
}

void decodePci(ConfigSpace space, Capability &c) {
    using K = CapabilityKind;
    const uint16_t at = c.offset;
    switch (c.id) {
    case pci_capability::POWER_MANAGEMENT:
        keep(c, K::PowerManagement, &Capability::pm, decodePowerManagement(space, at));
        c.version = c.pm.version;
        break;
    case pci_capability::MSI: keep(c, K::Msi, &Capability::msi, decodeMsi(space, at)); break;
    case pci_capability::MSI_X: keep(c, K::Msix, &Capability::msix, decodeMsix(space, at)); break;
    case pci_capability::PCI_EXPRESS:
        keep(c, K::PciExpress, &Capability::pcie, decodePciExpress(space, at));
        c.version = c.pcie.version;
        break;
    case pci_capability::VENDOR_SPECIFIC:
        keep(c, K::VendorSpecific, &Capability::vendor, decodeVendorSpecific(space, at));
        break;
    default: break;
    }
}

void decodeExtended(ConfigSpace space, Capability &c, uint8_t portType) {
    namespace id = extended_capability;
    using K = CapabilityKind;
    using C = Capability;
    const uint16_t at = c.offset;
    switch (c.id) {
    case id::AER: keep(c, K::Aer, &C::aer, decodeAer(space, at, pciePortHasRoot(portType))); break;
    case id::SERIAL_NUMBER:
        keep(c, K::SerialNumber, &C::serial, decodeSerialNumber(space, at));
        break;
    case id::VENDOR_SPECIFIC:
        keep(c, K::VendorSpecificExtended, &C::vendorExtended,
             decodeVendorSpecificExtended(space, at));
        break;
    case id::SR_IOV: keep(c, K::SrIov, &C::sriov, decodeSrIov(space, at)); break;
    case id::ARI: keep(c, K::Ari, &C::ari, decodeAri(space, at)); break;
    case id::RESIZABLE_BAR:
    case id::VF_RESIZABLE_BAR:
        keep(c, K::ResizableBar, &C::resizableBar, decodeResizableBar(space, at));
        break;
    case id::L1_PM_SUBSTATES:
        keep(c, K::L1Substates, &C::l1ss, decodeL1Substates(space, at));
        break;
    case id::LTR: keep(c, K::Ltr, &C::ltr, decodeLtr(space, at)); break;
    case id::ACS: keep(c, K::Acs, &C::acs, decodeAcs(space, at)); break;
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
