// A display for tests: it keeps the cells it is sent as a screen that can be
// read back as text, counts what it is sent, and plays a script of input.
// When the script runs out, a waiting read gets Closed, as when the terminal
// goes away.
#pragma once

#include "term/display.h"
#include "win32/win32.h"
#include "winres/resource_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// The keys of scripts, and the names that events are described with.
struct KeyName {
    const char *name;
    unsigned vk;
    unsigned char character;
};
inline constexpr KeyName KEY_NAMES[] = {
    {"Tab", VK_TAB, '\t'},    {"Enter", VK_RETURN, '\r'}, {"Space", VK_SPACE, ' '},
    {"Esc", VK_ESCAPE, 0x1B}, {"Back", VK_BACK, 0x08},    {"Del", VK_DELETE, 0},
    {"Left", VK_LEFT, 0},     {"Right", VK_RIGHT, 0},     {"Up", VK_UP, 0},
    {"Down", VK_DOWN, 0},     {"Home", VK_HOME, 0},       {"End", VK_END, 0},
    {"PgUp", VK_PRIOR, 0},    {"PgDn", VK_NEXT, 0},       {"F1", VK_F1, 0}};

// A key event as a script names it, then the code page 1252 character it
// carries: "S-Tab 09", "A-d 64", "é E9".
inline std::string describeKey(const InputEvent &e) {
    std::string out = std::string(e.alt ? "A-" : "") + (e.shift ? "S-" : "");
    for (const KeyName &k : KEY_NAMES)
        if (k.vk == e.key)
            out += k.name;
    if (e.key == 0)
        appendUtf8(out, e.text != 0 ? e.text : char32_t(e.character));
    char code[8];
    snprintf(code, sizeof code, " %02X", e.character);
    return out + code;
}

// A request for the Open or Save dialog with path as its buffer.
inline OPENFILENAMEA pathRequest(char *path, DWORD size, DWORD flags = 0) {
    OPENFILENAMEA request = {};
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.lpstrFile = path;
    request.nMaxFile = size;
    request.Flags = flags;
    return request;
}

class RecordingDisplay : public Display {
  public:
    explicit RecordingDisplay(int rows = 24, int cols = 80) { setSize(rows, cols); }

    TerminalSize size() const override { return size_; }

    void write(int row, int col, const Cell *cells, int count) override {
        for (int i = 0; i < count; ++i)
            if (row >= 0 && row < size_.rows && col + i >= 0 && col + i < size_.cols)
                screen_[size_t(row) * size_t(size_.cols) + size_t(col + i)] = cells[i];
        cellsWritten += count;
    }

    void setCursor(int row, int col, bool visible) override {
        cursorRow = row;
        cursorCol = col;
        cursorVisible = visible;
    }

    void flush() override {}

    bool readEvent(InputEvent &event, int timeoutMs) override {
        while (!script_.empty() && script_.front().action) {
            auto action = std::move(script_.front().action);
            script_.pop_front();
            action();
        }
        if (script_.empty()) {
            if (timeoutMs == 0)
                return false;
            event.type = InputEvent::Type::Closed;
            return true;
        }
        Step step = script_.front();
        script_.pop_front();
        if (step.event.type == InputEvent::Type::Resize)
            setSize(step.rows, step.cols);
        event = step.event;
        return true;
    }

    // A script as text: {Tab} {Enter} and the other KEY_NAMES, {S-Tab} with
    // Shift, {A-x} for Alt+x, {C-c} for Ctrl-C, {Gone} for the terminal going
    // away, {Click row,col}, {WheelUp row,col} and {WheelDown row,col} at a
    // cell, {COLSxROWS} a new size; anything else is typed.
    void keys(const std::string &script) {
        for (size_t i = 0; i < script.size();) {
            const size_t open = std::min(script.find('{', i), script.size());
            if (open > i)
                type(script.substr(i, open - i));
            const size_t close = std::min(script.find('}', open), script.size());
            if (open < close)
                named(script.substr(open + 1, close - open - 1));
            i = close + 1;
        }
    }
    // Runs when the script gets here: a look at the screen while a box is up.
    void then(std::function<void()> action) { script_.push_back({{}, 0, 0, std::move(action)}); }
    bool scriptDone() const { return script_.empty(); }

    // The screen, a line per row between bars so that trailing blanks show;
    // then, for a picture, the role of each cell as a letter (a blank for a
    // window's face) and where the cursor is.
    std::string text() const {
        return rows([this](int r, int c) { return glyph(at(r, c).ch); });
    }
    std::string picture() const {
        static const char LETTERS[] = ". dfCslbBFmhxXe";
        static_assert(sizeof LETTERS - 1 == size_t(Role::ROLE_COUNT));
        const std::string roles =
            rows([this](int r, int c) { return std::string(1, LETTERS[int(at(r, c).role)]); });
        const std::string cursor =
            cursorVisible ? std::to_string(cursorRow) + "," + std::to_string(cursorCol) : "hidden";
        return text() + "\n" + roles + "cursor " + cursor + "\n";
    }

    const Cell &at(int r, int c) const {
        return screen_[size_t(r) * size_t(size_.cols) + size_t(c)];
    }

    int cellsWritten = 0;
    int cursorRow = 0, cursorCol = 0;
    bool cursorVisible = false;

  private:
    struct Step {
        InputEvent event;
        int rows, cols;
        std::function<void()> action;
    };

    void push(const InputEvent &e) { script_.push_back({e, 0, 0, {}}); }

    // UTF-8 text as a terminal delivers it: each character as typed, and as
    // the code page 1252 byte that the Win32 side sees.
    void type(const std::string &text) {
        for (size_t at = 0; at < text.size();) {
            const char32_t ch = nextUtf8(text.c_str(), at);
            push({.key = ch == U' ' ? VK_SPACE : 0u,
                  .character = static_cast<unsigned char>(ansiFromCodePoint(uint32_t(ch))),
                  .text = ch});
        }
    }

    void named(const std::string &name) {
        int row = 0, col = 0;
        if (name == "C-c")
            return push({.type = InputEvent::Type::Interrupt});
        if (name == "Gone")
            return push({.type = InputEvent::Type::Closed});
        if (name.size() == 3 && name.rfind("A-", 0) == 0)
            return push({.character = static_cast<unsigned char>(name[2]), .alt = true});
        if (sscanf(name.c_str(), "%dx%d", &col, &row) == 2)
            return script_.push_back({{.type = InputEvent::Type::Resize}, row, col, {}});
        for (const auto &[word, button] : {std::pair("Click", InputEvent::Button::Left),
                                           {"WheelUp", InputEvent::Button::WheelUp},
                                           {"WheelDown", InputEvent::Button::WheelDown}})
            if (name.rfind(word, 0) == 0 &&
                sscanf(name.c_str() + strlen(word), "%d,%d", &row, &col) == 2)
                return push(
                    {.type = InputEvent::Type::Mouse, .button = button, .row = row, .col = col});
        const bool shift = name.rfind("S-", 0) == 0;
        for (const KeyName &k : KEY_NAMES)
            if (name.substr(shift ? 2 : 0) == k.name)
                return push({.key = k.vk, .character = k.character, .shift = shift});
        ADD_FAILURE() << "no key {" << name << "}";
    }

    void setSize(int rows, int cols) {
        size_ = {rows, cols};
        screen_.assign(size_t(rows) * size_t(cols), Cell{U'?', Role::Desktop});
    }

    static std::string glyph(char32_t c) {
        std::string out;
        if (c != RIGHT_HALF) // covered by the wide character to its left
            appendUtf8(out, c);
        return out;
    }

    std::string rows(const std::function<std::string(int, int)> &cell) const {
        std::string out;
        for (int r = 0; r < size_.rows; ++r) {
            out += '|';
            for (int c = 0; c < size_.cols; ++c)
                out += cell(r, c);
            out += "|\n";
        }
        return out;
    }

    TerminalSize size_;
    std::vector<Cell> screen_;
    std::deque<Step> script_;
};
