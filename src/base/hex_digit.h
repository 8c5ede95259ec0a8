// The value of one hexadecimal digit, for the readers of text formats.
#pragma once

// 0..15, or -1 when c is no hexadecimal digit (either case).
constexpr int hexDigitValue(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

// Writes the low 8 bits of b as two lowercase hexadecimal digits at p and
// returns the place after them.
inline char *writeHexByte(char *p, unsigned b) {
    constexpr char DIGITS[] = "0123456789abcdef";
    p[0] = DIGITS[b >> 4 & 15];
    p[1] = DIGITS[b & 15];
    return p + 2;
}
