// A function's configuration space as a source gave it: 256 bytes, or 4096
// with the PCI Express extended space. Every read is bounded: past the end it
// yields 0, so a decoder never touches memory it was not given.
#pragma once

#include "header/config_header.h"

#include <cstddef>
#include <cstdint>

constexpr size_t EXTENDED_SPACE_SIZE = 4096;

struct ConfigSpace {
    const uint8_t *data = nullptr;
    size_t size = 0;

    bool has(size_t offset, size_t width) const { return offset <= size && width <= size - offset; }
    uint8_t u8(size_t offset) const { return has(offset, 1) ? data[offset] : 0; }
    uint16_t u16(size_t offset) const {
        return has(offset, 2) ? uint16_t(data[offset] | data[offset + 1] << 8) : 0;
    }
    uint32_t u32(size_t offset) const {
        return has(offset, 4) ? uint32_t(u16(offset)) | uint32_t(u16(offset + 2)) << 16 : 0;
    }
};

inline ConfigSpace configSpace(const ConfigHeader &header) {
    return {header.bytes(), sizeof header};
}

// Reads the fields of one structure at `base`, which must lie within `limit`
// bytes (the first 256 for a PCI capability, the whole space for an extended
// one). A field outside yields 0 and marks the structure truncated.
class FieldReader {
  public:
    FieldReader(ConfigSpace space, size_t base, size_t limit)
        : space_(space), base_(base), limit_(limit < space.size ? limit : space.size) {}

    uint8_t u8(size_t at) { return fits(at, 1) ? space_.u8(base_ + at) : 0; }
    uint16_t u16(size_t at) { return fits(at, 2) ? space_.u16(base_ + at) : 0; }
    uint32_t u32(size_t at) { return fits(at, 4) ? space_.u32(base_ + at) : 0; }
    bool truncated() const { return truncated_; }

  private:
    bool fits(size_t at, size_t width) {
        const bool inside = base_ + at <= limit_ && width <= limit_ - (base_ + at);
        truncated_ = truncated_ || !inside;
        return inside;
    }

    ConfigSpace space_;
    size_t base_;
    size_t limit_;
    bool truncated_ = false;
};

// Bits lo..hi of a register, shifted down.
constexpr uint32_t bitField(uint32_t value, unsigned lo, unsigned hi) {
    return (value >> lo) & ((hi - lo >= 31) ? 0xFFFFFFFFu : ((1u << (hi - lo + 1)) - 1));
}
constexpr bool bit(uint32_t value, unsigned n) {
    return (value >> n) & 1u;
}
