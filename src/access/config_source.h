// One way of reaching configuration space (an access method). The channel
// owns the contract; a source only knows how to fetch 256 bytes.
#pragma once

#include <cstddef>
#include <cstdint>

// Room for a message that names the cause of a failed open and its remedy.
constexpr size_t SOURCE_ERROR_SIZE = 512;

class ConfigSource {
  public:
    virtual ~ConfigSource() = default;
    // Prepares the source. On failure writes a one-line cause into error.
    virtual bool open(char *error, size_t errorSize) = 0;
    // Fills all 256 bytes of the function at bus/slot, or returns false.
    virtual bool read(uint8_t bus, uint8_t slot, uint8_t *buffer) = 0;
    virtual void close() = 0;
};
