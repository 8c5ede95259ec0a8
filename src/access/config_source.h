// One way of reaching configuration space (an access method). The channel
// owns the contract; a source knows how to fetch 256 bytes at a bus and slot
// of domain 0 (and where fewer cost less, the few that the scan needs) and,
// for the deeper view and captures, how to list and read every function it
// holds, with all the bytes it has.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Room for a message that names the cause of a failed open and its remedy.
constexpr size_t SOURCE_ERROR_SIZE = 512;

// A function's full address, in any domain and on any bus.
struct FunctionAddress {
    uint32_t domain;
    uint8_t bus;
    uint8_t device;   // 0..31
    uint8_t function; // 0..7
};

// lspci's order: domain, bus, device, function.
inline bool operator<(const FunctionAddress &a, const FunctionAddress &b) {
    if (a.domain != b.domain)
        return a.domain < b.domain;
    if (a.bus != b.bus)
        return a.bus < b.bus;
    return a.device != b.device ? a.device < b.device : a.function < b.function;
}
inline bool operator==(const FunctionAddress &a, const FunctionAddress &b) {
    return !(a < b) && !(b < a);
}

// "DDDD:BB:DD.F"; size 16 is enough for any domain.
void formatFunctionAddress(const FunctionAddress &at, char *text, size_t size);

// The 4-byte words of configuration space that the scan keeps: vendor and
// device id (00h), revision and class code (08h), subsystem ids (2Ch).
constexpr uint8_t SCAN_WORD_OFFSETS[] = {0x00, 0x08, 0x2C};

// The sizes of a function's regions as the system assigned them: the six
// base address registers (a 64-bit pair under its lower register) and the
// expansion ROM. 0 where the system has no region.
constexpr int REGION_COUNT = 7;
constexpr int REGION_ROM = 6;
struct RegionSizes {
    uint64_t size[REGION_COUNT];
};

class ConfigSource {
  public:
    virtual ~ConfigSource() = default;
    // Prepares the source. On failure writes a one-line cause into error.
    virtual bool open(char *error, size_t errorSize) = 0;
    // Fills all 256 bytes of the function at bus/slot of domain 0, or returns false.
    virtual bool read(uint8_t bus, uint8_t slot, uint8_t *buffer) = 0;
    // For the scan: true when a function that read() serves is at bus/slot,
    // with at least the SCAN_WORD_OFFSETS words of the 256-byte buffer filled.
    // A source whose reads cost by the byte fills only those.
    virtual bool readScanWords(uint8_t bus, uint8_t slot, uint8_t *buffer) {
        return read(bus, slot, buffer);
    }
    virtual void close() = 0;
    // Every function the open source holds, all domains and all buses, in
    // address order. By default every bus and slot of domain 0 is asked.
    virtual void listFunctions(std::vector<FunctionAddress> &functions);
    // The first 256 bytes of the function at any address, or false. By
    // default only domain 0 can be reached.
    virtual bool readFunction(const FunctionAddress &at, uint8_t *buffer);
    // As many bytes of the function as the source has, up to size: 256, or
    // 4096 with the PCI Express extended space. 0 when it cannot be read.
    virtual size_t readFunctionSpace(const FunctionAddress &at, uint8_t *buffer, size_t size);
    // The region sizes, where the source knows them (a dump does not).
    virtual bool readRegionSizes(const FunctionAddress &, RegionSizes &) { return false; }
};
