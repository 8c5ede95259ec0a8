// The keys of a terminal as the events the Win32 layer passes on: what
// ncurses reports, and what an Esc and the characters after it mean when
// ncurses has not made a key of them. Both tables are in tests/data.
#include "term/escape_keys.h"
#include "term/ncurses_display.h"

#include "case_table.h"
#include "recording_display.h"

#define NCURSES_WIDECHAR 1
#include <curses.h>

#include <gtest/gtest.h>

#include <deque>
#include <string>

namespace {

// Characters as the tables write them: quoted, \t for a Tab.
std::string quoted(const std::string &text) {
    std::string out = "\"";
    for (char c : text)
        out += c == '\t' ? std::string("\\t") : std::string(1, c);
    return out + "\"";
}

// The characters that follow the Esc, as if they had all arrived together.
class Typed : public EscapeInput {
  public:
    explicit Typed(const std::string &quotedText) {
        for (size_t i = 1; i + 1 < quotedText.size(); ++i) {
            const bool tab = quotedText.compare(i, 2, "\\t") == 0;
            left_.push_back(tab ? '\t' : quotedText[i]);
            i += tab ? 1 : 0;
        }
    }
    int next() override {
        if (left_.empty())
            return NOTHING;
        const int ch = static_cast<unsigned char>(left_.front());
        left_.pop_front();
        return ch;
    }
    void keep(int ch) override { left_.push_front(char(ch)); }
    std::string left() const { return std::string(left_.begin(), left_.end()); }

  private:
    std::deque<char> left_;
};

TEST(TerminalKeys, EscapeSequencesAreKeysOrDroppedWhole) {
    testing_support::expectCaseTable("escape-keys.txt", [](const std::string &input) {
        Typed typed(input);
        InputEvent event;
        const std::string key = decodeEscape(typed, event) ? describeKey(event) : "dropped";
        return typed.left().empty() ? key : key + ", left " + quoted(typed.left());
    });
}

// ncurses' codes by their names in curses.h, characters as typed.
TEST(TerminalKeys, CursesCodesBecomeVirtualKeysAndCharacters) {
    const struct {
        const char *name;
        bool isKeyCode;
        unsigned code;
    } rows[] = {
        {"KEY_BTAB", true, KEY_BTAB}, {"KEY_LEFT", true, KEY_LEFT}, {"KEY_ENTER", true, KEY_ENTER},
        {"KEY_F(1)", true, KEY_F(1)}, {"KEY_F(2)", true, KEY_F(2)}, {"\\t", false, '\t'},
        {"\\n", false, '\n'},         {"DEL", false, 0x7F},         {"Ctrl-A", false, 0x01},
        {"é", false, U'é'},           {"€", false, U'€'},           {"Ω", false, U'Ω'},
    };
    std::string text;
    for (const auto &r : rows) {
        InputEvent e;
        text += std::string(r.name) + " => " +
                (cursesKey(r.isKeyCode, r.code, e) ? describeKey(e) : "nothing") + "\n";
    }
    testing_support::expectGolden("curses-keys.txt", text);
}

} // namespace
