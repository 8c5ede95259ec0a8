// Any bytes as a function's configuration space (up to 4096 of them): both
// capability walks end, every entry lies inside the bytes and is visited
// once, and every decoder stays inside the bytes given.
#include "decode/capability.h"
#include "decode/header_layout.h"

#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition) {
    if (!condition)
        abort();
}

void walk(ConfigSpace space, CapabilitySpace which, uint8_t portType) {
    const bool pci = which == CapabilitySpace::Pci;
    const size_t first = pci ? PCI_CAPABILITY_FIRST : EXTENDED_CAPABILITY_FIRST;
    const size_t limit = pci ? 0x100 : EXTENDED_SPACE_SIZE;
    const size_t maxEntries = (limit - first) / 4;
    bool seen[EXTENDED_SPACE_SIZE / 4] = {};
    CapabilityWalk w(space, which);
    size_t count = 0;
    for (CapabilityEntry e; w.next(e);) {
        check(++count <= maxEntries);
        check(e.offset >= first && e.offset % 4 == 0);
        check(e.offset + (pci ? 2u : 4u) <= space.size && e.offset < limit);
        check(!seen[e.offset / 4]);
        seen[e.offset / 4] = true;
        const Capability c = decodeCapability(space, e, portType);
        check(c.offset == e.offset && c.id == e.id && c.space == which);
        if (c.kind == CapabilityKind::ResizableBar)
            check(c.resizableBar.count <= MAX_RESIZABLE_BARS);
        if (c.kind == CapabilityKind::SrIov)
            check(c.sriov.vfBars.count <= MAX_BARS);
    }
    check(w.stop() != WalkStop::Walking);
    check(walkStopText(w.stop()) != nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > EXTENDED_SPACE_SIZE)
        size = EXTENDED_SPACE_SIZE;
    // An exact-size heap block, so that ASan catches any read past the end.
    uint8_t *bytes = static_cast<uint8_t *>(malloc(size > 0 ? size : 1));
    memcpy(bytes, data, size);
    const ConfigSpace space{bytes, size};

    const uint8_t portType = pciePortTypeOf(space);
    walk(space, CapabilitySpace::Pci, portType);
    walk(space, CapabilitySpace::Extended, portType);

    const BarList bars = decodeBars(space);
    check(bars.count <= MAX_BARS);
    for (unsigned i = 0; i < bars.count; ++i)
        check(bars.bars[i].index < MAX_BARS);
    ExpansionRom rom{};
    decodeExpansionRom(space, rom);
    decodeBridge(space);
    decodeCardBus(space);
    free(bytes);
    return 0;
}
