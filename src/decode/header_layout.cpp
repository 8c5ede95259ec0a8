#include "decode/header_layout.h"

#include "decode/capability_walk.h"
#include "decode/pci_capabilities.h"

namespace {

constexpr uint16_t BAR_FIRST = 0x10;

BarKind memoryKind(uint32_t raw) {
    switch (bitField(raw, 1, 2)) {
    case 0: return BarKind::Memory32;
    case 1: return BarKind::Memory1M;
    case 2: return BarKind::Memory64;
    default: return BarKind::MemoryReserved;
    }
}

// A window whose low nibbles say how wide it decodes: 0 narrow, 1 wide.
struct WindowTypes {
    bool wide;
    bool mismatch;
};

WindowTypes windowTypes(unsigned baseType, unsigned limitType, bool wideAllowed) {
    const bool known = baseType == 0 || (wideAllowed && baseType == 1);
    return {baseType == 1 && wideAllowed, baseType != limitType || !known};
}

BridgeWindow window(uint64_t base, uint64_t limit, WindowTypes types) {
    return {base, limit, types.wide, base <= limit, types.mismatch};
}

using BH = BridgeHeader;
constexpr Register<BH> BRIDGE_REGISTERS[] = {
    {0x18, &BH::primaryBus},       {0x19, &BH::secondaryBus},    {0x1A, &BH::subordinateBus},
    {0x1B, &BH::secondaryLatency}, {0x1E, &BH::secondaryStatus}, {0x3E, &BH::bridgeControl}};

using CH = CardBusHeader;
constexpr Register<CH> CARDBUS_REGISTERS[] = {
    {0x16, &CH::secondaryStatus},   {0x18, &CH::pciBus},         {0x19, &CH::cardBus},
    {0x1A, &CH::subordinateBus},    {0x1B, &CH::cardBusLatency}, {0x3E, &CH::bridgeControl},
    {0x40, &CH::subsystemVendorId}, {0x42, &CH::subsystemId},    {0x44, &CH::legacyBase}};

// The header's registers: no truncation, as a header has all its 64 bytes.
FieldReader headerReader(ConfigSpace space) {
    return FieldReader(space, 0, space.size);
}

} // namespace

HeaderLayout headerLayout(uint8_t headerType) {
    const unsigned layout = headerType & 0x7F;
    return layout <= 2 ? HeaderLayout(layout) : HeaderLayout::Unknown;
}

BarList decodeBarRegisters(ConfigSpace space, uint16_t offset, unsigned registers) {
    BarList list{};
    if (registers > MAX_BARS)
        registers = MAX_BARS;
    for (unsigned i = 0; i < registers; ++i) {
        Bar &bar = list.bars[list.count++];
        bar.index = uint8_t(i);
        bar.offset = uint16_t(offset + 4 * i);
        bar.raw = space.u32(bar.offset);
        if (bar.raw & 1u) {
            bar.kind = BarKind::Io;
            bar.address = bar.raw & 0xFFFFFFFCu;
        } else {
            bar.kind = memoryKind(bar.raw);
            bar.prefetchable = bit(bar.raw, 3);
            bar.address = bar.raw & 0xFFFFFFF0u;
        }
        if (bar.kind == BarKind::Memory64) {
            if (i + 1 < registers) {
                bar.rawUpper = space.u32(bar.offset + 4u);
                bar.address |= uint64_t(bar.rawUpper) << 32;
                ++i;
            } else {
                bar.upperMissing = true;
            }
        }
        bar.present = bar.raw != 0 || bar.rawUpper != 0;
    }
    return list;
}

BarList decodeBars(ConfigSpace space) {
    switch (headerLayout(space.u8(HEADER_TYPE_OFFSET))) {
    case HeaderLayout::Device: return decodeBarRegisters(space, BAR_FIRST, 6);
    case HeaderLayout::Bridge: return decodeBarRegisters(space, BAR_FIRST, 2);
    case HeaderLayout::CardBus: return decodeBarRegisters(space, BAR_FIRST, 1);
    case HeaderLayout::Unknown: break;
    }
    return BarList{};
}

bool decodeExpansionRom(ConfigSpace space, ExpansionRom &rom) {
    const HeaderLayout layout = headerLayout(space.u8(HEADER_TYPE_OFFSET));
    if (layout != HeaderLayout::Device && layout != HeaderLayout::Bridge)
        return false;
    rom.offset = layout == HeaderLayout::Device ? 0x30 : 0x38;
    rom.raw = space.u32(rom.offset);
    rom.address = rom.raw & 0xFFFFF800u;
    rom.enabled = bit(rom.raw, 0);
    return true;
}

BridgeHeader decodeBridge(ConfigSpace space) {
    BridgeHeader b{};
    headerReader(space).read(b, BRIDGE_REGISTERS);

    // I/O: address bits 12..15 in the high nibbles; bits 16..31 at 30h/32h
    // when the low nibble announces 32-bit decoding. Granularity 4 KB.
    const uint8_t ioBase = space.u8(0x1C), ioLimit = space.u8(0x1D);
    const WindowTypes io = windowTypes(ioBase & 0xFu, ioLimit & 0xFu, true);
    uint64_t base = uint64_t(ioBase & 0xF0u) << 8;
    uint64_t limit = uint64_t(ioLimit & 0xF0u) << 8 | 0xFFF;
    if (io.wide) {
        base |= uint64_t(space.u16(0x30)) << 16;
        limit |= uint64_t(space.u16(0x32)) << 16;
    }
    b.io = window(base, limit, io);

    // Memory: address bits 20..31 in bits 4..15; granularity 1 MB.
    const uint16_t memBase = space.u16(0x20), memLimit = space.u16(0x22);
    b.memory =
        window(uint64_t(memBase & 0xFFF0u) << 16, uint64_t(memLimit & 0xFFF0u) << 16 | 0xFFFFF,
               windowTypes(memBase & 0xFu, memLimit & 0xFu, false));

    const uint16_t preBase = space.u16(0x24), preLimit = space.u16(0x26);
    const WindowTypes pre = windowTypes(preBase & 0xFu, preLimit & 0xFu, true);
    base = uint64_t(preBase & 0xFFF0u) << 16;
    limit = uint64_t(preLimit & 0xFFF0u) << 16 | 0xFFFFF;
    if (pre.wide) {
        base |= uint64_t(space.u32(0x28)) << 32;
        limit |= uint64_t(space.u32(0x2C)) << 32;
    }
    b.prefetchable = window(base, limit, pre);
    return b;
}

CardBusHeader decodeCardBus(ConfigSpace space) {
    CardBusHeader c{};
    headerReader(space).read(c, CARDBUS_REGISTERS);
    for (unsigned i = 0; i < 2; ++i) {
        // Memory windows: 4 KB granularity.
        const uint32_t memBase = space.u32(0x1C + 8 * i), memLimit = space.u32(0x20 + 8 * i);
        c.memory[i] = window(memBase & 0xFFFFF000u, memLimit | 0xFFFu, {false, false});
        c.memoryPrefetchable[i] = bit(c.bridgeControl, 8 + i);
        // I/O windows: dword granularity; bit 0 of the base alone says
        // whether the bridge decodes 32 bits.
        const uint32_t ioBase = space.u32(0x2C + 8 * i), ioLimit = space.u32(0x30 + 8 * i);
        const WindowTypes io = windowTypes(ioBase & 3u, ioBase & 3u, true);
        const uint32_t mask = io.wide ? 0xFFFFFFFFu : 0xFFFFu;
        c.io[i] = window(ioBase & ~3u & mask, (ioLimit | 3u) & mask, io);
    }
    return c;
}

bool decodeSubsystem(ConfigSpace space, uint16_t &vendorId, uint16_t &subsystemId) {
    uint16_t at = 0;
    switch (headerLayout(space.u8(HEADER_TYPE_OFFSET))) {
    case HeaderLayout::Device: at = 0x2C; break;
    case HeaderLayout::CardBus: at = 0x40; break;
    case HeaderLayout::Bridge: {
        const uint16_t cap =
            findCapability(space, CapabilitySpace::Pci, pci_capability::BRIDGE_SUBSYSTEM);
        at = cap != 0 ? uint16_t(cap + 4) : 0;
        break;
    }
    default: break;
    }
    vendorId = at != 0 ? space.u16(at) : 0;
    subsystemId = at != 0 ? space.u16(at + 2u) : 0;
    return at != 0;
}
