// Windows-1252, the code page of every text this program shows or writes
// (names, labels, reports), its way to UTF-8 for the outputs that need Unicode
// (JSON), and the way Windows compares names in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The character that a byte stands for. Bytes 00..7F and A0..FF are the code
// points of the same number; the five bytes that the code page leaves
// undefined (81h, 8Dh, 8Fh, 90h, 9Dh) stand for the C1 controls of the same
// number, as Windows maps them.
char32_t unicodeOfAnsi(unsigned char byte);

// The byte of a character, the reverse of unicodeOfAnsi; '?' for a character
// that the code page lacks (no best-fit substitutes).
char ansiFromCodePoint(uint32_t codePoint);

// Appends a character below 110000h to out as UTF-8.
void appendUtf8(std::string &out, char32_t ch);

// Names of resources and window classes match without regard to case, as
// Windows matches them: the letters of the code page, accented ones included,
// compare by their upper case.
bool sameName(const char *a, const char *b);
