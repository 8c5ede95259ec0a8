// The pieces that windows and the modal boxes are drawn from: push buttons,
// framed boxes, mnemonic texts and wrapped lines.
#pragma once

#include "term/cell_buffer.h"

#include <string>
#include <vector>

namespace winlayer {

enum class ButtonLook : uint8_t { Normal, Focused, Disabled };

// A push button's face, its text centred with the "&" mnemonic letter marked;
// with two rows or more, a shadow below and right, the face above it.
void drawButton(CellBuffer &buffer, const CellRect &rect, const char *text, ButtonLook look);
// The same with one arrow glyph as its text.
void drawArrowButton(CellBuffer &buffer, const CellRect &rect, char32_t arrow, ButtonLook look);

// A border of double lines with the caption centred in the top one, the
// inside filled with face.
void drawBox(CellBuffer &buffer, const CellRect &rect, const char *caption, Role face);

// Text with the "&" marks taken out ("&&" stays one "&"); *mnemonic gets the
// index of the marked character, or -1.
std::string withoutMnemonic(const std::string &text, int *mnemonic);

// Lines broken to width: at blanks when wordWrap, else only at line ends;
// never inside a UTF-8 character.
std::vector<std::string> wrapText(const std::string &text, int width, bool wordWrap);

// A message's text: UTF-8 when it is (a path as the user typed it), else
// code page 1252. Returns the cells used.
int drawText(CellBuffer &buffer, int row, int col, const std::string &text, int maxCols, Role role);

} // namespace winlayer
