#include "term/escape_keys.h"

#include "term/keys.h"
#include "base/code_page.h"

#include <cstdlib>
#include <string>

namespace {

InputEvent keyEvent(unsigned vk, unsigned char character = 0) {
    InputEvent e;
    e.key = vk;
    e.character = character;
    return e;
}

// The final character of ESC O x and of ESC [ ... x (xterm and VT100 cursor
// and editing keys); 0 for one that names none of ours.
unsigned finalKey(int ch) {
    switch (ch) {
    case 'A': return VK_UP;
    case 'B': return VK_DOWN;
    case 'C': return VK_RIGHT;
    case 'D': return VK_LEFT;
    case 'H': return VK_HOME;
    case 'F': return VK_END;
    case 'P': return VK_F1;
    default: return 0;
    }
}

// ESC [ n ~ (VT220 editing and function keys); 0 for the others.
unsigned tildeKey(int number) {
    switch (number) {
    case 1:
    case 7: return VK_HOME;
    case 4:
    case 8: return VK_END;
    case 3: return VK_DELETE;
    case 5: return VK_PRIOR;
    case 6: return VK_NEXT;
    case 11: return VK_F1;
    default: return 0;
    }
}

// ESC [ parameters intermediates final, read to its end (ECMA-48).
bool controlSequence(EscapeInput &input, InputEvent &event) {
    std::string parameters;
    int ch = input.next();
    while (ch >= 0x30 && ch <= 0x3F) {
        parameters += char(ch);
        ch = input.next();
    }
    bool intermediates = false;
    while (ch >= 0x20 && ch <= 0x2F) {
        intermediates = true;
        ch = input.next();
    }
    if (ch < 0x40 || ch > 0x7E) { // cut short: nothing of it may act
        if (ch != EscapeInput::NOTHING)
            input.keep(ch);
        return false;
    }
    // Modifiers (";5" for Ctrl) leave the key what it is.
    unsigned key = 0;
    if (!intermediates && parameters.find_first_not_of("0123456789;") == std::string::npos)
        key = ch == '~' ? tildeKey(atoi(parameters.c_str())) : finalKey(ch);
    if (key == 0)
        return false;
    event = keyEvent(key);
    return true;
}

InputEvent altCharacter(int ch) {
    InputEvent e = keyEvent(0, static_cast<unsigned char>(ansiFromCodePoint(uint32_t(ch))));
    e.text = char32_t(ch);
    e.alt = true;
    return e;
}

} // namespace

bool decodeEscape(EscapeInput &input, InputEvent &event) {
    const int first = input.next();
    if (first == EscapeInput::NOTHING) {
        event = keyEvent(VK_ESCAPE, 0x1B);
        return true;
    }
    if (first == '[' || first == 'O') {
        const int second = input.next();
        if (second == EscapeInput::NOTHING) { // Alt+[ or Alt+O, typed alone
            event = altCharacter(first);
            return true;
        }
        if (first == '[') {
            input.keep(second);
            return controlSequence(input, event);
        }
        const unsigned key = finalKey(second);
        if (key == 0)
            return false;
        event = keyEvent(key);
        return true;
    }
    if (first >= 0x20 && first != 0x7F) {
        event = altCharacter(first);
        return true;
    }
    // Esc and then a control character: each is a key of its own.
    input.keep(first);
    event = keyEvent(VK_ESCAPE, 0x1B);
    return true;
}
