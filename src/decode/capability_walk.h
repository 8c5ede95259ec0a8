// The walk over a function's two capability lists: the PCI list in the first
// 256 bytes and the PCI Express extended list from offset 100h. Any bytes are
// safe: a pointer that loops, points into the header or past the bytes given
// ends the walk with the reason kept, and the walk never visits an offset
// twice, so it ends after at most 48 (PCI) or 960 (extended) entries.
#pragma once

#include "decode/config_space.h"

#include <cstdint>

enum class CapabilitySpace : uint8_t { Pci, Extended };

constexpr uint16_t PCI_CAPABILITY_FIRST = 0x40;       // lowest offset past the header
constexpr uint16_t EXTENDED_CAPABILITY_FIRST = 0x100; // where the extended list starts

// One entry of a list, as the walk found it.
struct CapabilityEntry {
    CapabilitySpace space;
    uint16_t offset; // where the entry's header is
    uint16_t id;     // 8 bits in the PCI list, 16 in the extended list
    uint8_t version; // extended list: bits 16..19 of the header; PCI list: 0
    uint16_t next;   // the entry's pointer to the next one, reserved bits cleared
};

// Why a walk ended.
enum class WalkStop : uint8_t {
    Walking,         // not ended yet
    End,             // a zero pointer: the list ended normally
    NoList,          // PCI: Status bit 4 is clear or the pointer is 0; extended: 0 at 100h
    NoExtendedSpace, // extended: fewer than 260 bytes given, or all ones at 100h
    UnknownLayout,   // PCI: a header layout other than 0, 1 and 2 has no known pointer
    Loop,            // a pointer to an entry already visited
    IntoHeader,      // a pointer below 40h (PCI) or 100h (extended)
    PastEnd,         // an entry that does not fit in the bytes given
};

// Short text for each reason, for notes in the writers' output.
const char *walkStopText(WalkStop stop);
// True for the reasons that mean the bytes are malformed.
bool walkStopIsFault(WalkStop stop);

class CapabilityWalk {
  public:
    CapabilityWalk(ConfigSpace space, CapabilitySpace which);

    // The next entry, or false when the walk has ended (see stop()).
    bool next(CapabilityEntry &entry);

    WalkStop stop() const { return stop_; }
    // Where the pointer that ended the walk was read (the header's own
    // pointer at 34h or 14h, the entry that holds it, or 100h for the start
    // of the extended list), and that pointer, reserved bits cleared.
    uint16_t stopOffset() const { return stopOffset_; }
    uint16_t stopPointer() const { return stopPointer_; }

  private:
    bool end(WalkStop stop, uint16_t where, uint16_t pointer);
    bool visited(uint16_t offset) const { return (visited_[offset >> 5] >> (offset >> 2 & 7)) & 1; }
    void markVisited(uint16_t offset) { visited_[offset >> 5] |= uint8_t(1u << (offset >> 2 & 7)); }

    ConfigSpace space_;
    CapabilitySpace which_;
    uint16_t pointer_ = 0;     // the next entry to read
    uint16_t pointerFrom_ = 0; // where that pointer was read
    WalkStop stop_ = WalkStop::Walking;
    uint16_t stopOffset_ = 0;
    uint16_t stopPointer_ = 0;
    uint8_t visited_[EXTENDED_SPACE_SIZE / 4 / 8] = {}; // one bit per dword
};

// The offset of the first entry with this id in the list, or 0.
uint16_t findCapability(ConfigSpace space, CapabilitySpace which, uint16_t id);

// The offset of the header's capability pointer for a header type byte:
// 14h for a CardBus bridge, 34h for the other known layouts, 0 for unknown.
uint16_t capabilityPointerOffset(uint8_t headerType);
