// The header decoded by its layout (HeaderType bits 0..6): the base address
// registers of every layout with the halves of a 64-bit address joined, the
// expansion ROM, and the bus numbers and windows of a PCI-to-PCI bridge
// (layout 1) and of a CardBus bridge (layout 2).
#pragma once

#include "decode/config_space.h"

#include <cstdint>

enum class HeaderLayout : uint8_t { Device = 0, Bridge = 1, CardBus = 2, Unknown = 3 };

HeaderLayout headerLayout(uint8_t headerType);

enum class BarKind : uint8_t {
    Io,
    Memory32,
    Memory1M,       // below 1 MB (a PCI 2.x encoding)
    Memory64,       // the address spans this register and the next
    MemoryReserved, // memory type 3
};

// One base address register, or a pair of them for a 64-bit address.
struct Bar {
    uint8_t index;   // register number (the lower half of a pair)
    uint16_t offset; // its offset in configuration space
    bool present;    // a raw value other than 0 (either half of a pair)
    BarKind kind;
    bool prefetchable; // memory only
    uint64_t address;  // flag bits cleared
    uint32_t raw;      // the register as read
    uint32_t rawUpper; // the upper half of a 64-bit pair
    bool upperMissing; // a 64-bit register in the last slot: no upper half to join
};

constexpr int MAX_BARS = 6;

struct BarList {
    Bar bars[MAX_BARS];
    uint8_t count; // entries used; a 64-bit pair is one entry
};

// Decodes `registers` consecutive registers from `offset`, joining 64-bit
// pairs. Also serves the virtual-function registers of SR-IOV.
BarList decodeBarRegisters(ConfigSpace space, uint16_t offset, unsigned registers);
// The base address registers of the header's layout: six for a device, two
// for a PCI-to-PCI bridge, and the socket register of a CardBus bridge.
BarList decodeBars(ConfigSpace space);

struct ExpansionRom {
    uint16_t offset; // 30h for a device, 38h for a PCI-to-PCI bridge
    uint32_t raw;
    uint32_t address; // bits 11..31
    bool enabled;     // bit 0
};

// False for a layout without one (CardBus, unknown).
bool decodeExpansionRom(ConfigSpace space, ExpansionRom &rom);

// An address range that a bridge forwards.
struct BridgeWindow {
    uint64_t base;
    uint64_t limit;    // the last address inside
    bool wide;         // 32-bit I/O, or 64-bit prefetchable memory
    bool open;         // base <= limit; otherwise the bridge forwards nothing
    bool typeMismatch; // base and limit announce different or reserved widths
};

struct BridgeHeader {
    uint8_t primaryBus;        // 18h
    uint8_t secondaryBus;      // 19h
    uint8_t subordinateBus;    // 1Ah
    uint8_t secondaryLatency;  // 1Bh
    BridgeWindow io;           // 1Ch/1Dh, upper halves at 30h/32h
    BridgeWindow memory;       // 20h/22h
    BridgeWindow prefetchable; // 24h/26h, upper halves at 28h/2Ch
    uint16_t secondaryStatus;  // 1Eh; bits as in Status
    uint16_t bridgeControl;    // 3Eh; flags in BRIDGE_CONTROL_FLAGS
};

BridgeHeader decodeBridge(ConfigSpace space);

struct CardBusHeader {
    uint8_t pciBus;             // 18h
    uint8_t cardBus;            // 19h
    uint8_t subordinateBus;     // 1Ah
    uint8_t cardBusLatency;     // 1Bh
    BridgeWindow memory[2];     // 1Ch..2Bh; wide unused
    bool memoryPrefetchable[2]; // bridge control bits 8 and 9
    BridgeWindow io[2];         // 2Ch..3Bh; wide: 32-bit decoding
    uint16_t secondaryStatus;   // 16h
    uint16_t bridgeControl;     // 3Eh; flags in CARDBUS_CONTROL_FLAGS
    uint16_t subsystemVendorId; // 40h
    uint16_t subsystemId;       // 42h
    uint32_t legacyBase;        // 44h, 16-bit PC Card legacy mode base
};

CardBusHeader decodeCardBus(ConfigSpace space);

// The subsystem identifiers where the layout keeps them: 2Ch/2Eh for a
// device, 40h/42h for a CardBus bridge, and for a PCI-to-PCI bridge those of
// its Subsystem capability (id 0Dh, +4/+6). False where there are none.
bool decodeSubsystem(ConfigSpace space, uint16_t &vendorId, uint16_t &subsystemId);
