// The value of one hexadecimal digit, for the readers of text formats.
#pragma once

// 0..15, or -1 when c is no hexadecimal digit (either case).
constexpr int hexDigitValue(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}
