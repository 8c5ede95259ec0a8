#include "decode/capability_walk.h"

namespace {

constexpr uint16_t STATUS_OFFSET = 0x06;
constexpr uint16_t STATUS_CAPABILITY_LIST = 0x0010;
// The two low bits of every pointer are reserved; readers must clear them.
constexpr uint16_t POINTER_MASK_PCI = 0xFC;
constexpr uint16_t POINTER_MASK_EXTENDED = 0xFFC;

} // namespace

const char *walkStopText(WalkStop stop) {
    switch (stop) {
    case WalkStop::Walking: return "walk not finished";
    case WalkStop::End: return "end of list";
    case WalkStop::NoList: return "no capability list";
    case WalkStop::NoExtendedSpace: return "no extended configuration space";
    case WalkStop::UnknownLayout: return "unknown header layout";
    case WalkStop::Loop: return "pointer loops back to an earlier entry";
    case WalkStop::IntoHeader: return "pointer into the header";
    case WalkStop::PastEnd: return "pointer past the end of the bytes read";
    }
    return "unknown";
}

bool walkStopIsFault(WalkStop stop) {
    return stop == WalkStop::Loop || stop == WalkStop::IntoHeader || stop == WalkStop::PastEnd;
}

uint16_t capabilityPointerOffset(uint8_t headerType) {
    switch (headerType & 0x7F) {
    case 0:
    case 1: return 0x34;
    case 2: return 0x14;
    default: return 0;
    }
}

CapabilityWalk::CapabilityWalk(ConfigSpace space, CapabilitySpace which)
    : space_(space), which_(which) {
    if (which == CapabilitySpace::Pci) {
        pointerFrom_ = capabilityPointerOffset(space.u8(HEADER_TYPE_OFFSET));
        if (pointerFrom_ == 0) {
            end(WalkStop::UnknownLayout, HEADER_TYPE_OFFSET, 0);
            return;
        }
        pointer_ = space.u8(pointerFrom_) & POINTER_MASK_PCI;
        if ((space.u16(STATUS_OFFSET) & STATUS_CAPABILITY_LIST) == 0 || pointer_ == 0)
            end(WalkStop::NoList, pointerFrom_, pointer_);
        return;
    }
    // The extended list has no pointer to it: its first entry is at 100h,
    // where all zeros mean an empty list and all ones an unanswered read.
    pointerFrom_ = EXTENDED_CAPABILITY_FIRST;
    pointer_ = EXTENDED_CAPABILITY_FIRST;
    if (!space.has(EXTENDED_CAPABILITY_FIRST, 4) || space.u32(EXTENDED_CAPABILITY_FIRST) == ~0u)
        end(WalkStop::NoExtendedSpace, EXTENDED_CAPABILITY_FIRST, 0);
    else if (space.u32(EXTENDED_CAPABILITY_FIRST) == 0)
        end(WalkStop::NoList, EXTENDED_CAPABILITY_FIRST, 0);
}

bool CapabilityWalk::end(WalkStop stop, uint16_t where, uint16_t pointer) {
    stop_ = stop;
    stopOffset_ = where;
    stopPointer_ = pointer;
    return false;
}

bool CapabilityWalk::next(CapabilityEntry &entry) {
    if (stop_ != WalkStop::Walking)
        return false;
    if (pointer_ == 0)
        return end(WalkStop::End, pointerFrom_, 0);
    const bool pci = which_ == CapabilitySpace::Pci;
    const uint16_t first = pci ? PCI_CAPABILITY_FIRST : EXTENDED_CAPABILITY_FIRST;
    if (pointer_ < first)
        return end(WalkStop::IntoHeader, pointerFrom_, pointer_);
    const size_t limit = pci && space_.size > PCI_LIST_LIMIT ? PCI_LIST_LIMIT : space_.size;
    const size_t headerWidth = pci ? 2 : 4;
    if (pointer_ + headerWidth > limit)
        return end(WalkStop::PastEnd, pointerFrom_, pointer_);
    if (visited(pointer_))
        return end(WalkStop::Loop, pointerFrom_, pointer_);
    markVisited(pointer_);

    entry.space = which_;
    entry.offset = pointer_;
    if (pci) {
        entry.id = space_.u8(pointer_);
        entry.version = 0;
        entry.next = space_.u8(pointer_ + 1) & POINTER_MASK_PCI;
    } else {
        const uint32_t header = space_.u32(pointer_);
        entry.id = uint16_t(header & 0xFFFF);
        entry.version = uint8_t(bitField(header, 16, 19));
        entry.next = uint16_t(header >> 20) & POINTER_MASK_EXTENDED;
    }
    pointerFrom_ = pointer_;
    pointer_ = entry.next;
    return true;
}

uint16_t findCapability(ConfigSpace space, CapabilitySpace which, uint16_t id) {
    CapabilityWalk walk(space, which);
    CapabilityEntry entry{};
    while (walk.next(entry))
        if (entry.id == id)
            return entry.offset;
    return 0;
}
