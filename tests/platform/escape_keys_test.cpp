// What an Esc and the characters after it mean when ncurses has not made a
// key of them: the sequences of terminals whose description is wrong or
// missing, Alt with a character, and Esc alone.
#include "term/escape_keys.h"
#include "term/keys.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

namespace {

// The characters that follow the Esc, as if they had all arrived together.
class Typed : public EscapeInput {
  public:
    explicit Typed(const std::string &text) : left_(text.begin(), text.end()) {}
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

struct EscapeCase {
    const char *name;
    const char *after; // what follows the Esc
    bool key;          // false: dropped whole
    unsigned vk;
    char alt;         // Alt with this character, when not 0
    const char *left; // what the next read gets
};

TEST(EscapeKeys, SequencesAreKeysOrDroppedWhole) {
    const EscapeCase cases[] = {
        {"Esc alone", "", true, VK_ESCAPE, 0, ""},
        {"Alt+d", "d", true, 0, 'd', ""},
        {"Alt+D and then a key", "Dx", true, 0, 'D', "x"},
        {"ESC [ D: Left, not Alt+[ and a D (Dump->)", "[D", true, VK_LEFT, 0, ""},
        {"ESC O D: Left in application mode", "OD", true, VK_LEFT, 0, ""},
        {"ESC [ 1 ; 5 C: Ctrl+Right is Right", "[1;5C", true, VK_RIGHT, 0, ""},
        {"ESC [ H: Home", "[H", true, VK_HOME, 0, ""},
        {"End as VT220 sends it", "[4~", true, VK_END, 0, ""},
        {"F1 as xterm sends it", "OP", true, VK_F1, 0, ""},
        {"F1 as VT220 sends it", "[11~", true, VK_F1, 0, ""},
        {"pasting starts: dropped", "[200~r", false, 0, 0, "r"},
        {"a terminal's answer: dropped", "[?1;2c", false, 0, 0, ""},
        {"F12: dropped", "[24~", false, 0, 0, ""},
        {"ESC O x: dropped", "Ox", false, 0, 0, ""},
        {"cut short: dropped, the rest kept", "[1;\t", false, 0, 0, "\t"},
        {"Alt+[ alone", "[", true, 0, '[', ""},
        {"Alt+O alone", "O", true, 0, 'O', ""},
        {"Esc, then Tab: both", "\t", true, VK_ESCAPE, 0, "\t"},
    };
    for (const EscapeCase &c : cases) {
        Typed typed(c.after);
        InputEvent event;
        ASSERT_EQ(decodeEscape(typed, event), c.key) << c.name;
        EXPECT_EQ(typed.left(), c.left) << c.name;
        if (!c.key)
            continue;
        EXPECT_EQ(event.key, c.vk) << c.name;
        EXPECT_EQ(event.alt, c.alt != 0) << c.name;
        EXPECT_EQ(c.alt != 0 ? event.character : 0, static_cast<unsigned char>(c.alt)) << c.name;
    }
}

} // namespace
