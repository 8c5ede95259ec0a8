// A function's configuration space as a source gave it: 256 bytes, or 4096
// with the PCI Express extended space. Every read is bounded: past the end it
// yields 0, so a decoder never touches memory it was not given.
#pragma once

#include "header/config_header.h"

#include <cstddef>
#include <cstdint>

constexpr size_t EXTENDED_SPACE_SIZE = 4096;
// Capabilities of the PCI list must lie in the first 256 bytes.
constexpr size_t PCI_LIST_LIMIT = 0x100;
constexpr uint16_t HEADER_TYPE_OFFSET = 0x0E;

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

// One register of a structure S: its offset and the member that takes it,
// whose type gives the register's width. A decoder lists a structure's
// registers as a table of these and reads them with FieldReader::read.
template <typename S> struct Register {
    constexpr Register(uint8_t at, uint8_t S::*to) : at(at), to8(to) {}
    constexpr Register(uint8_t at, uint16_t S::*to) : at(at), to16(to) {}
    constexpr Register(uint8_t at, uint32_t S::*to) : at(at), to32(to) {}

    uint8_t at;
    uint8_t S::*to8 = nullptr;
    uint16_t S::*to16 = nullptr;
    uint32_t S::*to32 = nullptr;
};

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

    template <typename S, size_t N> void read(S &s, const Register<S> (&registers)[N]) {
        for (const Register<S> &r : registers) {
            if (r.to8 != nullptr)
                s.*r.to8 = u8(r.at);
            else if (r.to16 != nullptr)
                s.*r.to16 = u16(r.at);
            else
                s.*r.to32 = u32(r.at);
        }
    }

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

// Decodes the structure Cap at `offset`, which must lie within `limit`:
// `fields(reader, cap)` reads its registers, and cap.truncated tells whether
// any of them lay outside.
template <typename Cap, typename Fields>
Cap decodeFields(ConfigSpace space, size_t offset, size_t limit, Fields fields) {
    FieldReader r(space, offset, limit);
    Cap cap{};
    fields(r, cap);
    cap.truncated = r.truncated();
    return cap;
}

// Bits lo..hi of a register into a member of S: a flag (one bit) or a number.
template <typename S> struct Bits {
    constexpr Bits(bool S::*to, unsigned n) : lo(uint8_t(n)), hi(uint8_t(n)), flag(to) {}
    constexpr Bits(uint8_t S::*to, unsigned lo, unsigned hi)
        : lo(uint8_t(lo)), hi(uint8_t(hi)), to8(to) {}
    constexpr Bits(uint16_t S::*to, unsigned lo, unsigned hi)
        : lo(uint8_t(lo)), hi(uint8_t(hi)), to16(to) {}

    uint8_t lo, hi;
    bool S::*flag = nullptr;
    uint8_t S::*to8 = nullptr;
    uint16_t S::*to16 = nullptr;
};

// Splits a register into the members that its table of Bits names.
template <typename S, size_t N> void splitBits(S &s, uint32_t value, const Bits<S> (&fields)[N]) {
    for (const Bits<S> &f : fields) {
        const uint32_t bits = bitField(value, f.lo, f.hi);
        if (f.flag != nullptr)
            s.*f.flag = bits != 0;
        else if (f.to8 != nullptr)
            s.*f.to8 = uint8_t(bits);
        else
            s.*f.to16 = uint16_t(bits);
    }
}
