// Configuration-space images built from a few stores, for the decoders'
// edge cases.
#pragma once

#include "decode/config_space.h"

#include <cstdint>
#include <vector>

namespace testing_support {

// One little-endian store of 1, 2 or 4 bytes.
struct Poke {
    uint16_t at;
    uint8_t width;
    uint32_t value;
};

constexpr Poke u8(uint16_t at, uint32_t v) {
    return {at, 1, v};
}
constexpr Poke u16(uint16_t at, uint32_t v) {
    return {at, 2, v};
}
constexpr Poke u32(uint16_t at, uint32_t v) {
    return {at, 4, v};
}
// An extended capability header: id, version, next.
constexpr Poke ext(uint16_t at, uint16_t id, uint8_t version, uint16_t next) {
    return {at, 4, uint32_t(id) | uint32_t(version) << 16 | uint32_t(next) << 20};
}

struct ConfigImage {
    explicit ConfigImage(size_t size, const std::vector<Poke> &pokes = {}) : bytes(size) {
        poke(pokes);
    }
    // Stores outside the image are dropped: a short image stays short.
    ConfigImage &poke(const std::vector<Poke> &pokes, uint16_t base = 0) {
        for (const Poke &p : pokes)
            for (unsigned i = 0; i < p.width && base + p.at + i < bytes.size(); ++i)
                bytes[base + p.at + i] = uint8_t(p.value >> (8 * i));
        return *this;
    }
    ConfigSpace space() const { return {bytes.data(), bytes.size()}; }

    std::vector<uint8_t> bytes;
};

} // namespace testing_support
