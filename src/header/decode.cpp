#include "header/config_header.h"

BarInfo decodeBar(uint32_t raw) {
    BarInfo b{};
    b.present = raw != 0;
    if (!b.present)
        return b;
    b.isIo = (raw & 1u) != 0;
    if (b.isIo) {
        // Bits 2 and 3 belong to an I/O address; only bits 0..1 are flags.
        b.address = raw & 0xFFFFFFFCu;
        return b;
    }
    b.address = raw & 0xFFFFFFF0u;
    b.memoryType = uint8_t((raw >> 1) & 3u);
    b.prefetchable = (raw & 8u) != 0;
    return b;
}

uint32_t cacheLineBytes(uint8_t cacheLineSize) {
    return uint32_t(cacheLineSize) * 4u;
}

uint32_t latencyNs(uint8_t value) {
    return uint32_t(value) * 250u;
}

char interruptPinLetter(uint8_t interruptPin) {
    return char(uint8_t((unsigned(interruptPin) + 64u) & 0xFFu));
}

unsigned devselTiming(uint16_t status) {
    return (status & 0x0600u) >> 9;
}

bool isMultiFunction(uint8_t headerType, uint8_t slot) {
    return (headerType & 0x80u) != 0 || slotFunction(slot) != 0;
}

const char *functionRoleText(uint8_t headerType, uint8_t slot) {
    if (headerType & 0x80u)
        return "Multifunction device";
    if (slotFunction(slot) == 0)
        return "Single Function Device";
    return "Component To Multifunction Device";
}

bool hasCapabilities(uint8_t capabilitiesPtr) {
    return capabilitiesPtr != 0;
}
