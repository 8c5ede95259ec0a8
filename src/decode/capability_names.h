// Names of the capability ids of the PCI list and of the PCI Express
// extended list, as the PCI-SIG assigns them.
#pragma once

#include <cstdint>

// The name of a PCI capability id, or nullptr for an id not assigned.
const char *pciCapabilityName(uint8_t id);
// The name of an extended capability id, or nullptr for an id not assigned.
const char *extendedCapabilityName(uint16_t id);
