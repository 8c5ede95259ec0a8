#include "term/widgets.h"

#include <algorithm>

namespace winlayer {

std::string withoutMnemonic(const std::string &text, int *mnemonic) {
    std::string out;
    *mnemonic = -1;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            ++i;
            if (text[i] != '&' && *mnemonic < 0)
                *mnemonic = int(out.size());
        }
        out += text[i];
    }
    return out;
}

std::vector<std::string> wrapText(const std::string &text, int width, bool wordWrap) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(text.find('\n', start), text.size());
        std::string paragraph = text.substr(start, end - start);
        if (!wordWrap || width <= 0) {
            lines.push_back(paragraph);
        } else {
            do {
                if (int(paragraph.size()) <= width) {
                    lines.push_back(paragraph);
                    break;
                }
                size_t cut = paragraph.rfind(' ', size_t(width));
                if (cut == std::string::npos || cut == 0) {
                    cut = size_t(width); // one word longer than the line: break it
                    while (cut > 1 && (static_cast<unsigned char>(paragraph[cut]) & 0xC0) == 0x80)
                        --cut;
                }
                lines.push_back(paragraph.substr(0, cut));
                const size_t next = paragraph.find_first_not_of(' ', cut);
                paragraph = next == std::string::npos ? "" : paragraph.substr(next);
            } while (!paragraph.empty());
        }
        if (end >= text.size())
            break;
        start = end + 1;
    }
    return lines;
}

int drawText(CellBuffer &buffer, int row, int col, const std::string &text, int maxCols,
             Role role) {
    if (isUtf8Beyond7Bit(text.c_str()))
        return buffer.textUtf8(row, col, text.c_str(), maxCols, role);
    return buffer.text(row, col, text.c_str(), maxCols, role);
}

// The face and shadow of a push button; returns the face. The shadow takes
// the last row and the last column.
CellRect drawButtonFace(CellBuffer &buffer, const CellRect &rect, ButtonLook look) {
    const bool shadow = rect.rows >= 2 && rect.cols >= 3;
    const CellRect face{rect.row, rect.col, shadow ? rect.rows - 1 : rect.rows,
                        shadow ? rect.cols - 1 : rect.cols};
    buffer.fill(face, U' ', look == ButtonLook::Focused ? Role::ButtonFocused : Role::Button);
    if (shadow) {
        const int right = rect.col + rect.cols - 1, below = rect.row + face.rows;
        for (int r = rect.row; r < below; ++r)
            buffer.put(r, right, r == rect.row ? U'▄' : U'█', Role::Shadow);
        for (int c = rect.col + 1; c <= right; ++c)
            buffer.put(below, c, U'▀', Role::Shadow);
    }
    return face;
}

// The row of a face that holds its text: the middle one.
int labelRow(const CellRect &face) {
    return face.row + (face.rows - 1) / 2;
}

Role buttonTextRole(ButtonLook look) {
    switch (look) {
    case ButtonLook::Focused: return Role::ButtonFocused;
    case ButtonLook::Disabled: return Role::Disabled;
    case ButtonLook::Normal: break;
    }
    return Role::Button;
}

void drawButton(CellBuffer &buffer, const CellRect &rect, const char *text, ButtonLook look) {
    const CellRect face = drawButtonFace(buffer, rect, look);
    int mnemonic = -1;
    const std::string label = withoutMnemonic(text, &mnemonic);
    const int cols = std::min(int(label.size()), face.cols);
    const int col = face.col + (face.cols - cols) / 2;
    buffer.text(labelRow(face), col, label.c_str(), cols, buttonTextRole(look));
    if (mnemonic >= 0 && mnemonic < cols && look != ButtonLook::Disabled)
        buffer.put(labelRow(face), col + mnemonic,
                   unicodeFromAnsi(static_cast<unsigned char>(label[size_t(mnemonic)])),
                   Role::Mnemonic);
}

void drawArrowButton(CellBuffer &buffer, const CellRect &rect, char32_t arrow, ButtonLook look) {
    const CellRect face = drawButtonFace(buffer, rect, look);
    buffer.put(labelRow(face), face.col + (face.cols - 1) / 2, arrow, buttonTextRole(look));
}

void drawBox(CellBuffer &buffer, const CellRect &rect, const char *caption, Role face) {
    buffer.fill(rect, U' ', face);
    const int right = rect.col + rect.cols - 1, bottom = rect.row + rect.rows - 1;
    for (int c = rect.col + 1; c < right; ++c) {
        buffer.put(rect.row, c, U'═', Role::BoxFrame);
        buffer.put(bottom, c, U'═', Role::BoxFrame);
    }
    for (int r = rect.row + 1; r < bottom; ++r) {
        buffer.put(r, rect.col, U'║', Role::BoxFrame);
        buffer.put(r, right, U'║', Role::BoxFrame);
    }
    buffer.put(rect.row, rect.col, U'╔', Role::BoxFrame);
    buffer.put(rect.row, right, U'╗', Role::BoxFrame);
    buffer.put(bottom, rect.col, U'╚', Role::BoxFrame);
    buffer.put(bottom, right, U'╝', Role::BoxFrame);
    const std::string title = std::string(" ") + caption + " ";
    const int cols = std::min(int(title.size()), rect.cols - 4);
    if (cols > 2)
        buffer.text(rect.row, rect.col + (rect.cols - cols) / 2, title.c_str(), cols,
                    Role::Caption);
}

} // namespace winlayer
