#include "winres/dialog_template.h"

#include "winres/resource_file.h"

#include <cstdio>

namespace {

const char *const PREDEFINED_CLASS_NAMES[] = {"Button",  "Edit",      "Static",
                                              "ListBox", "ScrollBar", "ComboBox"};

// Reads little-endian fields in order, each checked against the end of the
// template; the first failure is kept in result and stops the parse.
class Reader {
  public:
    Reader(const unsigned char *data, size_t size) : data_(data), size_(size) {}

    void setControl(int index) { control_ = index; }
    size_t position() const { return pos_; }
    const DialogResult &result() const { return result_; }

    bool word(uint16_t *out, const char *what) {
        if (!have(2, what))
            return false;
        *out = uint16_t(data_[pos_] | data_[pos_ + 1] << 8);
        pos_ += 2;
        return true;
    }

    bool coordinate(int16_t *out, const char *what) {
        uint16_t value = 0;
        if (!word(&value, what))
            return false;
        *out = static_cast<int16_t>(value);
        return true;
    }

    bool dword(uint32_t *out, const char *what) {
        uint16_t low = 0;
        uint16_t high = 0;
        if (!have(4, what) || !word(&low, what) || !word(&high, what))
            return false;
        *out = uint32_t(high) << 16 | low;
        return true;
    }

    bool byte(uint8_t *out, const char *what) {
        if (!have(1, what))
            return false;
        *out = data_[pos_++];
        return true;
    }

    bool bytes(size_t count, const unsigned char **out, const char *what) {
        if (!have(count, what))
            return false;
        *out = count == 0 ? nullptr : data_ + pos_;
        pos_ += count;
        return true;
    }

    // Items start on a DWORD boundary counted from the start of the template.
    bool alignToDword(const char *what) {
        const size_t aligned = (pos_ + 3) & ~size_t(3);
        if (aligned > size_)
            return fail(DialogStatus::Truncated, what, "starts past the end");
        pos_ = aligned;
        return true;
    }

    bool string(char *out, size_t outSize, const char *what) {
        const size_t start = pos_;
        switch (readUtf16String(data_, size_, &pos_, out, outSize)) {
        case Utf16Status::Ok: return true;
        case Utf16Status::Unterminated:
            pos_ = start;
            return fail(DialogStatus::Truncated, what, "ends past the end");
        case Utf16Status::TooLong: {
            pos_ = start;
            char problem[48];
            snprintf(problem, sizeof problem, "is longer than %zu characters", outSize - 1);
            return fail(DialogStatus::TextTooLong, what, problem);
        }
        }
        return true;
    }

    template <int Size> bool ref(DialogRef<Size> *out, const char *what) {
        uint16_t first = 0;
        if (!word(&first, what))
            return false;
        if (first == 0x0000) {
            out->kind = DialogRefKind::None;
            return true;
        }
        if (first == 0xFFFF) {
            out->kind = DialogRefKind::Ordinal;
            return word(&out->ordinal, what);
        }
        pos_ -= 2;
        out->kind = DialogRefKind::Name;
        return string(out->name, sizeof out->name, what);
    }

    bool fail(DialogStatus status, const char *what, const char *problem) {
        char where[40];
        if (control_ < 0)
            snprintf(where, sizeof where, "dialog template");
        else
            snprintf(where, sizeof where, "dialog template control %d", control_ + 1);
        result_.status = status;
        snprintf(result_.message, sizeof result_.message,
                 "%s: %s %s (offset 0x%zX of a %zu-byte template)", where, what, problem, pos_,
                 size_);
        return false;
    }

  private:
    bool have(size_t count, const char *what) {
        if (pos_ > size_ || size_ - pos_ < count)
            return fail(DialogStatus::Truncated, what, "ends past the end");
        return true;
    }

    const unsigned char *data_;
    size_t size_;
    size_t pos_ = 0;
    int control_ = -1;
    DialogResult result_{DialogStatus::Ok, {}};
};

bool readHeader(Reader &in, DialogTemplate *dialog) {
    if (!in.word(&dialog->version, "dlgVer") || !in.word(&dialog->signature, "signature"))
        return false;
    if (dialog->version != 1 || dialog->signature != 0xFFFF) {
        char problem[64];
        snprintf(problem, sizeof problem, "%u and 0x%04X are not those of an extended template",
                 unsigned(dialog->version), unsigned(dialog->signature));
        return in.fail(DialogStatus::NotExtended, "dlgVer and signature", problem);
    }
    if (!in.dword(&dialog->helpId, "helpID") || !in.dword(&dialog->exStyle, "exStyle") ||
        !in.dword(&dialog->style, "style") || !in.word(&dialog->itemCount, "cDlgItems"))
        return false;
    if (dialog->itemCount > DIALOG_MAX_ITEMS) {
        char problem[48];
        snprintf(problem, sizeof problem, "%u exceeds the %d controls read",
                 unsigned(dialog->itemCount), DIALOG_MAX_ITEMS);
        return in.fail(DialogStatus::TooManyItems, "cDlgItems", problem);
    }
    if (!in.coordinate(&dialog->x, "x") || !in.coordinate(&dialog->y, "y") ||
        !in.coordinate(&dialog->cx, "cx") || !in.coordinate(&dialog->cy, "cy") ||
        !in.ref(&dialog->menu, "menu") || !in.ref(&dialog->windowClass, "windowClass") ||
        !in.string(dialog->title, sizeof dialog->title, "title"))
        return false;
    dialog->hasFont = (dialog->style & DIALOG_STYLE_SETFONT) != 0;
    if (!dialog->hasFont)
        return true;
    DialogFont &font = dialog->font;
    return in.word(&font.pointSize, "pointsize") && in.word(&font.weight, "weight") &&
           in.byte(&font.italic, "italic") && in.byte(&font.charset, "charset") &&
           in.string(font.typeface, sizeof font.typeface, "typeface");
}

bool readItem(Reader &in, DialogItem *item) {
    if (!in.alignToDword("control") || !in.dword(&item->helpId, "helpID") ||
        !in.dword(&item->exStyle, "exStyle") || !in.dword(&item->style, "style") ||
        !in.coordinate(&item->x, "x") || !in.coordinate(&item->y, "y") ||
        !in.coordinate(&item->cx, "cx") || !in.coordinate(&item->cy, "cy") ||
        !in.dword(&item->id, "id") || !in.ref(&item->windowClass, "windowClass"))
        return false;
    if (item->windowClass.kind == DialogRefKind::Ordinal) {
        const uint16_t ordinal = item->windowClass.ordinal;
        if (ordinal < DIALOG_CLASS_BUTTON || ordinal > DIALOG_CLASS_COMBOBOX) {
            char problem[48];
            snprintf(problem, sizeof problem, "0x%04X names no predefined class",
                     unsigned(ordinal));
            return in.fail(DialogStatus::UnknownClass, "windowClass", problem);
        }
        snprintf(item->windowClass.name, sizeof item->windowClass.name, "%s",
                 PREDEFINED_CLASS_NAMES[ordinal - DIALOG_CLASS_BUTTON]);
    }
    return in.ref(&item->title, "title") && in.word(&item->extraCount, "extraCount") &&
           in.bytes(item->extraCount, &item->extraData, "creation data");
}

} // namespace

DialogResult parseDialogTemplate(const unsigned char *data, size_t size, DialogTemplate *dialog) {
    *dialog = DialogTemplate{};
    Reader in(data, size);
    if (!readHeader(in, dialog))
        return in.result();
    for (int i = 0; i < dialog->itemCount; ++i) {
        in.setControl(i);
        if (!readItem(in, &dialog->items[i]))
            return in.result();
    }
    return in.result();
}
