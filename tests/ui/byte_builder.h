// Little-endian byte strings for building resource files and dialog templates
// by hand, including damaged ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

class ByteBuilder {
  public:
    ByteBuilder &u8(uint8_t v) {
        bytes.push_back(v);
        return *this;
    }
    ByteBuilder &u16(uint16_t v) { return u8(uint8_t(v)).u8(uint8_t(v >> 8)); }
    ByteBuilder &u32(uint32_t v) { return u16(uint16_t(v)).u16(uint16_t(v >> 16)); }
    // A NUL-terminated UTF-16 string; text is taken as code points 0..255.
    ByteBuilder &utf16(const std::string &text) {
        for (unsigned char c : text)
            u16(c);
        return u16(0);
    }
    ByteBuilder &units(const std::vector<uint16_t> &codeUnits) {
        for (uint16_t unit : codeUnits)
            u16(unit);
        return *this;
    }
    ByteBuilder &raw(const std::vector<uint8_t> &data) {
        bytes.insert(bytes.end(), data.begin(), data.end());
        return *this;
    }
    ByteBuilder &alignTo4() {
        while (bytes.size() % 4 != 0)
            u8(0);
        return *this;
    }
    void put32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = uint8_t(v >> (8 * i));
    }
    void put16(size_t at, uint16_t v) {
        bytes[at] = uint8_t(v);
        bytes[at + 1] = uint8_t(v >> 8);
    }
    size_t size() const { return bytes.size(); }

    std::vector<uint8_t> bytes;
};

} // namespace testing_support
