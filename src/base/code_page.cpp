#include "base/code_page.h"

namespace {

// Bytes 80h..9Fh and the characters they stand for.
constexpr char32_t HIGH_BYTES[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

unsigned char upperAnsi(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return c - 0x20;
    switch (c) {
    case 0x9A: return 0x8A; // s caron
    case 0x9C: return 0x8C; // oe
    case 0x9E: return 0x8E; // z caron
    case 0xFF: return 0x9F; // y diaeresis
    default: return c;
    }
}

} // namespace

char32_t unicodeOfAnsi(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? HIGH_BYTES[byte - 0x80] : char32_t(byte);
}

char ansiFromCodePoint(uint32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<char>(codePoint);
    for (unsigned i = 0; i < 32; ++i)
        if (HIGH_BYTES[i] == codePoint)
            return static_cast<char>(0x80 + i);
    return '?';
}

void appendUtf8(std::string &out, char32_t ch) {
    if (ch < 0x80) {
        out += char(ch);
    } else if (ch < 0x800) {
        out += char(0xC0 | (ch >> 6));
        out += char(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += char(0xE0 | (ch >> 12));
        out += char(0x80 | ((ch >> 6) & 0x3F));
        out += char(0x80 | (ch & 0x3F));
    } else {
        out += char(0xF0 | (ch >> 18));
        out += char(0x80 | ((ch >> 12) & 0x3F));
        out += char(0x80 | ((ch >> 6) & 0x3F));
        out += char(0x80 | (ch & 0x3F));
    }
}

bool sameName(const char *a, const char *b) {
    for (;; ++a, ++b) {
        if (upperAnsi(static_cast<unsigned char>(*a)) != upperAnsi(static_cast<unsigned char>(*b)))
            return false;
        if (*a == '\0')
            return true;
    }
}
