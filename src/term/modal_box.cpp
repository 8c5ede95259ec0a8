#include "term/modal_box.h"

#include "term/widgets.h"

#include <algorithm>
#include <cctype>
#include <unistd.h>
#include <vector>

namespace winlayer {

namespace {

constexpr int BUTTON_GAP = 2;

// The cells a button takes: its face (label and two blanks each side) and shadow.
int buttonCols(const char *label) {
    int mnemonic = -1;
    return int(withoutMnemonic(label, &mnemonic).size()) + 5;
}

// A box of cols x rows centred on area and kept on the screen.
CellRect centred(const CellRect &area, int rows, int cols) {
    return {std::max(0, area.row + (area.rows - rows) / 2),
            std::max(0, area.col + (area.cols - cols) / 2), rows, cols};
}

bool isKey(const InputEvent &e, unsigned key) {
    return e.type == InputEvent::Type::Key && e.key == key;
}

// The letter that presses a button: its "&" letter, else its first.
unsigned char buttonLetter(const char *label) {
    int mnemonic = -1;
    const std::string text = withoutMnemonic(label, &mnemonic);
    return static_cast<unsigned char>(
        tolower(static_cast<unsigned char>(text[size_t(std::max(mnemonic, 0))])));
}

// A row of buttons, right-aligned or centred, with one that has the focus.
class ButtonRow {
  public:
    ButtonRow(const char *const *labels, int count) : labels_(labels, labels + count) {}

    int width() const {
        int cols = 0;
        for (const char *label : labels_)
            cols += buttonCols(label) + BUTTON_GAP;
        return cols - BUTTON_GAP;
    }

    void paint(CellBuffer &buffer, int row, int col, int focus) {
        rects_.clear();
        for (size_t i = 0; i < labels_.size(); ++i) {
            const CellRect r{row, col, 2, buttonCols(labels_[i])};
            drawButton(buffer, r, labels_[i],
                       int(i) == focus ? ButtonLook::Focused : ButtonLook::Normal);
            rects_.push_back(r);
            col += r.cols + BUTTON_GAP;
        }
    }

    // The button under a click, or -1.
    int at(int row, int col) const {
        for (size_t i = 0; i < rects_.size(); ++i)
            if (row == rects_[i].row && col >= rects_[i].col &&
                col < rects_[i].col + rects_[i].cols - 1)
                return int(i);
        return -1;
    }

    int withLetter(unsigned char c) const {
        for (size_t i = 0; i < labels_.size(); ++i)
            if (buttonLetter(labels_[i]) == tolower(c))
                return int(i);
        return -1;
    }

    int count() const { return int(labels_.size()); }

  private:
    std::vector<const char *> labels_;
    std::vector<CellRect> rects_;
};

class MessageView : public ModalBox {
  public:
    MessageView(const char *caption, const char *text, const char *const *buttons, int count,
                int escapeIndex)
        : caption_(caption), text_(text), buttons_(buttons, count), escape_(escapeIndex) {}

    void paint(CellBuffer &buffer, const CellRect &area) override {
        const int widest = std::max(area.cols - 10, 20); // two cells clear of the edges
        int inner = std::max(buttons_.width(), int(caption_.size()) + 4);
        for (const std::string &line : wrapText(text_, widest, true))
            inner = std::max(inner, int(line.size()));
        inner = std::min(inner, widest);
        const auto lines = wrapText(text_, inner, true);
        const CellRect box = centred(area, int(lines.size()) + 6, inner + 6);
        drawBox(buffer, box, caption_.c_str(), Role::BoxFace);
        for (size_t i = 0; i < lines.size(); ++i)
            drawText(buffer, box.row + 2 + int(i), box.col + 3, lines[i], inner, Role::BoxFace);
        buttons_.paint(buffer, box.row + 3 + int(lines.size()),
                       box.col + (box.cols - buttons_.width()) / 2, focus_);
    }

    bool handle(const InputEvent &e) override {
        if (e.type == InputEvent::Type::Closed || isKey(e, VK_ESCAPE))
            return answer(escape_);
        if (e.type == InputEvent::Type::Mouse) {
            const int hit = e.button == InputEvent::Button::Left ? buttons_.at(e.row, e.col) : -1;
            return hit >= 0 && answer(hit);
        }
        if (e.type != InputEvent::Type::Key)
            return false;
        if (e.key == VK_RETURN || e.key == VK_SPACE)
            return answer(focus_);
        const int n = buttons_.count();
        if (e.key == VK_TAB || e.key == VK_RIGHT || e.key == VK_LEFT) {
            const bool back = e.key == VK_LEFT || (e.key == VK_TAB && e.shift);
            focus_ = (focus_ + (back ? n - 1 : 1)) % n;
            return false;
        }
        const int letter = e.character != 0 ? buttons_.withLetter(e.character) : -1;
        return letter >= 0 && answer(letter);
    }

    int result() const { return result_; }

  private:
    bool answer(int index) {
        result_ = index;
        return true;
    }

    std::string caption_;
    std::string text_;
    ButtonRow buttons_;
    int escape_;
    int focus_ = 0;
    int result_ = 0;
};

// What has the focus in the path prompt.
enum class PathFocus { Field, Accept, Cancel };

// A path is edited as the UTF-8 text it is on this system, a character (not
// a byte) at a time; bytes that are not UTF-8 count one each.
size_t nextCharacter(const std::string &text, size_t at) {
    if (at < text.size())
        nextUtf8(text.c_str(), at);
    return std::min(at, text.size());
}

size_t previousCharacter(const std::string &text, size_t at) {
    size_t last = 0;
    for (size_t p = 0; p < at; p = nextCharacter(text, p))
        last = p;
    return last;
}

// The cells that text[from, to) takes.
int cellsOf(const std::string &text, size_t from, size_t to) {
    int cells = 0;
    for (size_t p = from; p < to;)
        cells += cellWidth(nextUtf8(text.c_str(), p));
    return cells;
}

class PathView : public ModalBox {
  public:
    PathView(ModalLoop run, const PathRequest &request, const std::string &path)
        : run_(run), request_(request), text_(path.substr(0, request.maxLength)),
          caret_(text_.size()), labels_{request.acceptButton, "Cancel"}, buttons_(labels_, 2) {}

    void paint(CellBuffer &buffer, const CellRect &area) override {
        const int cols = std::clamp(area.cols - 4, 30, 72);
        std::vector<std::string> note;
        if (request_.note != nullptr && request_.note[0] != '\0')
            note = wrapText(request_.note, cols - 6, true);
        const int noteRows = note.empty() ? 0 : int(note.size()) + 1;
        const CellRect box = centred(area, 9 + noteRows, cols);
        drawBox(buffer, box, request_.caption, Role::BoxFace);
        for (size_t i = 0; i < note.size(); ++i)
            drawText(buffer, box.row + 2 + int(i), box.col + 3, note[i], cols - 6, Role::BoxFace);
        const int top = box.row + noteRows; // the rows below move down by the note's
        buffer.text(top + 2, box.col + 3, "File name:", box.cols - 6, Role::BoxFace);
        field_ = {top + 3, box.col + 3, 1, box.cols - 6};
        if (caret_ < offset_)
            offset_ = caret_;
        while (cellsOf(text_, offset_, caret_) >= field_.cols)
            offset_ = nextCharacter(text_, offset_);
        buffer.fill(field_, U' ', Role::Edit);
        buffer.textUtf8(field_.row, field_.col, text_.c_str() + offset_, field_.cols, Role::Edit);
        buffer.text(top + 4, box.col + 3, request_.typeLine, box.cols - 6, Role::BoxFace);
        const int focus = focus_ == PathFocus::Accept ? 0 : focus_ == PathFocus::Cancel ? 1 : -1;
        buttons_.paint(buffer, top + 6, box.col + box.cols - 3 - buttons_.width(), focus);
    }

    bool cursor(int *row, int *col) const override {
        if (focus_ != PathFocus::Field)
            return false;
        *row = field_.row;
        *col = field_.col + cellsOf(text_, offset_, caret_);
        return true;
    }

    bool handle(const InputEvent &e) override {
        if (e.type == InputEvent::Type::Closed || isKey(e, VK_ESCAPE))
            return finish(false);
        if (e.type == InputEvent::Type::Mouse)
            return click(e);
        if (e.type != InputEvent::Type::Key)
            return false;
        if (e.alt)
            return e.character != 0 && buttons_.withLetter(e.character) == 0 && accept();
        switch (e.key) {
        case VK_RETURN: return focus_ == PathFocus::Cancel ? finish(false) : accept();
        case VK_TAB: moveFocus(e.shift); return false;
        case VK_SPACE:
            if (focus_ == PathFocus::Accept)
                return accept();
            if (focus_ == PathFocus::Cancel)
                return finish(false);
            break;
        default: break;
        }
        if (focus_ == PathFocus::Field)
            edit(e);
        return false;
    }

    bool accepted() const { return accepted_; }
    const std::string &path() const { return text_; }

  private:
    void moveFocus(bool back) {
        const int n = 3, at = int(focus_);
        focus_ = PathFocus((at + (back ? n - 1 : 1)) % n);
    }

    void edit(const InputEvent &e) {
        switch (e.key) {
        case VK_LEFT: caret_ = previousCharacter(text_, caret_); return;
        case VK_RIGHT: caret_ = nextCharacter(text_, caret_); return;
        case VK_HOME: caret_ = 0; return;
        case VK_END: caret_ = text_.size(); return;
        case VK_BACK: {
            const size_t from = previousCharacter(text_, caret_);
            text_.erase(from, caret_ - from);
            caret_ = from;
            return;
        }
        case VK_DELETE: text_.erase(caret_, nextCharacter(text_, caret_) - caret_); return;
        default: break;
        }
        // What was typed, as typed: the path is used byte for byte.
        const char32_t ch = e.text != 0 ? e.text : unicodeFromAnsi(e.character);
        if (e.character < 0x20 || ch < 0x20 || ch == 0x7F)
            return;
        std::string typed;
        appendUtf8(typed, ch);
        if (text_.size() + typed.size() <= request_.maxLength) {
            text_.insert(caret_, typed);
            caret_ += typed.size();
        }
    }

    bool click(const InputEvent &e) {
        if (e.button != InputEvent::Button::Left)
            return false;
        const int hit = buttons_.at(e.row, e.col);
        if (hit == 0)
            return accept();
        if (hit == 1)
            return finish(false);
        if (field_.contains(e.row, e.col)) {
            focus_ = PathFocus::Field;
            caret_ = offset_;
            while (caret_ < text_.size() && cellsOf(text_, offset_, caret_) < e.col - field_.col)
                caret_ = nextCharacter(text_, caret_);
        }
        return false;
    }

    // An existing file is replaced only when the user says so; declining
    // comes back to the prompt.
    bool accept() {
        if (text_.empty())
            return false;
        if (request_.confirmOverwrite && access(text_.c_str(), F_OK) == 0) {
            static const char *const YES_NO[] = {"&Yes", "&No"};
            const std::string question = text_ + " already exists.\nDo you want to replace it?";
            if (askMessage(run_, request_.caption, question.c_str(), YES_NO, 2, 1) != 0)
                return false;
        }
        return finish(true);
    }

    bool finish(bool accepted) {
        accepted_ = accepted;
        return true;
    }

    ModalLoop run_;
    PathRequest request_;
    std::string text_;
    size_t caret_;
    size_t offset_ = 0;
    const char *labels_[2];
    ButtonRow buttons_;
    CellRect field_;
    PathFocus focus_ = PathFocus::Field;
    bool accepted_ = false;
};

} // namespace

int askMessage(ModalLoop run, const char *caption, const char *text, const char *const *buttons,
               int count, int escapeIndex) {
    MessageView view(caption, text, buttons, count, escapeIndex);
    run(view);
    return view.result();
}

bool askPath(ModalLoop run, const PathRequest &request, std::string &path) {
    PathView view(run, request, path);
    run(view);
    if (view.accepted())
        path = view.path();
    return view.accepted();
}

} // namespace winlayer
