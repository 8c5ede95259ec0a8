// The 256-byte image of one function's configuration space and the pure
// decoding rules that the dialog and the report share.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "ConfigHeader maps configuration space directly onto little-endian fields");

constexpr int CONFIG_SPACE_SIZE = 256;

// Offsets 0x00..0x3F are the standard header; 0x40..0xFF are only ever dumped.
struct ConfigHeader {
    uint16_t VendorId;
    uint16_t DeviceId;
    uint16_t Command;
    uint16_t Status;
    uint8_t RevisionId;
    uint8_t ProgIf;
    uint8_t SubClass;
    uint8_t BaseClass;
    uint8_t CacheLineSize;
    uint8_t LatencyTimer;
    uint8_t HeaderType;
    uint8_t Bist;
    uint32_t Bar[6];
    uint32_t CisPointer;
    uint16_t SubsystemVendorId;
    uint16_t SubsystemId;
    uint32_t ExpansionRom;
    uint8_t CapabilitiesPtr;
    uint8_t Reserved[7];
    uint8_t InterruptLine;
    uint8_t InterruptPin;
    uint8_t MinGnt;
    uint8_t MaxLat;
    uint8_t Extended[192];

    const uint8_t *bytes() const { return reinterpret_cast<const uint8_t *>(this); }
    uint8_t *bytes() { return reinterpret_cast<uint8_t *>(this); }
    // The class-code dword at 0x08: revision, prog-if, sub-class, base class.
    uint32_t classCode() const {
        return uint32_t(RevisionId) | uint32_t(ProgIf) << 8 | uint32_t(SubClass) << 16 |
               uint32_t(BaseClass) << 24;
    }
};

static_assert(sizeof(ConfigHeader) == CONFIG_SPACE_SIZE);
static_assert(offsetof(ConfigHeader, RevisionId) == 0x08);
static_assert(offsetof(ConfigHeader, Bar) == 0x10);
static_assert(offsetof(ConfigHeader, CisPointer) == 0x28);
static_assert(offsetof(ConfigHeader, SubsystemVendorId) == 0x2C);
static_assert(offsetof(ConfigHeader, ExpansionRom) == 0x30);
static_assert(offsetof(ConfigHeader, CapabilitiesPtr) == 0x34);
static_assert(offsetof(ConfigHeader, InterruptLine) == 0x3C);
static_assert(offsetof(ConfigHeader, MaxLat) == 0x3F);
static_assert(offsetof(ConfigHeader, Extended) == 0x40);

// One base address register as both views show it.
struct BarInfo {
    bool present;       // raw value is not 0
    bool isIo;          // bit 0: I/O space rather than memory space
    uint32_t address;   // I/O: low 2 bits cleared; memory: low 4 bits cleared
    uint8_t memoryType; // memory only: 0 32-bit, 1 below 1M, 2 64-bit, 3 reserved
    bool prefetchable;  // memory only: bit 3
};

enum MemoryType : uint8_t { MEMORY_32BIT = 0, MEMORY_BELOW_1M = 1, MEMORY_64BIT = 2 };

BarInfo decodeBar(uint32_t raw);
uint32_t cacheLineBytes(uint8_t cacheLineSize);
uint32_t latencyNs(uint8_t value);
char interruptPinLetter(uint8_t interruptPin);
unsigned devselTiming(uint16_t status);
bool isMultiFunction(uint8_t headerType, uint8_t slot);
const char *functionRoleText(uint8_t headerType, uint8_t slot);
bool hasCapabilities(uint8_t capabilitiesPtr);

// The SlotByte keeps the device number in bits 0..4 and the function in 5..7.
constexpr unsigned slotDevice(uint8_t slot) {
    return slot & 0x1Fu;
}
constexpr unsigned slotFunction(uint8_t slot) {
    return unsigned(slot) >> 5;
}
constexpr uint8_t makeSlot(unsigned device, unsigned function) {
    return uint8_t((device & 0x1Fu) | (function & 7u) << 5);
}
