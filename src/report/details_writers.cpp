#include "report/details_writers.h"

#include "base/code_page.h"
#include "base/hex_digit.h"

#include <cinttypes>

namespace {

constexpr size_t LINE_WIDTH = 100;

// "8 KiB", "256 MiB"; an odd size in bytes.
void sizeText(uint64_t bytes, char *text, size_t size) {
    const char *const units[] = {"bytes", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    int unit = 0;
    while (unit < 6 && bytes != 0 && bytes % 1024 == 0) {
        bytes /= 1024;
        ++unit;
    }
    snprintf(text, size, "%" PRIu64 " %s", bytes, units[unit]);
}

// Windows-1252 to UTF-8; a control character becomes '?'.
void writeUtf8(FILE *out, const std::string &text) {
    std::string utf8;
    for (const char byte : text) {
        const char32_t c = unicodeOfAnsi(static_cast<unsigned char>(byte));
        appendUtf8(utf8, c < 0x20 || (c >= 0x7F && c <= 0x9F) ? U'?' : c);
    }
    utf8 += '\n';
    fwrite(utf8.data(), 1, utf8.size(), out);
}

} // namespace

// ---- text

void DetailsText::flush() {
    if (fields_ || labelled_)
        writeUtf8(out_, line_);
    line_.clear();
    fields_ = false;
    labelled_ = false;
}

void DetailsText::startLine(const char *label, bool fieldsFollow) {
    flush();
    line_.assign(size_t(depth_) * 2, ' ');
    if (label != nullptr)
        line_ += label;
    labelled_ = label != nullptr && label[0] != '\0';
    colon_ = label != nullptr && label[0] != '\0' && fieldsFollow;
}

void DetailsText::field(const char *label, const char *value) {
    if (hidden_ > 0 || label == nullptr)
        return;
    std::string piece = label;
    if (!piece.empty() && value[0] != '\0')
        piece += ' ';
    piece += value;
    const char *separator = fields_ ? ", " : colon_ ? ": " : "";
    if (fields_ && line_.size() + 2 + piece.size() > LINE_WIDTH) {
        flush();
        line_.assign(size_t(depth_) * 2 + 2, ' ');
        labelled_ = false;
        separator = "";
    }
    line_ += separator;
    line_ += piece;
    fields_ = true;
}

void DetailsText::beginGroup(const char *, const char *label) {
    if (hidden_ > 0 || label == nullptr) {
        ++hidden_;
        return;
    }
    startLine(label, true);
    ++depth_;
}

void DetailsText::endGroup() {
    if (hidden_ > 0) {
        --hidden_;
        return;
    }
    --depth_;
    flush();
    // The fields after a group go on a line of their own.
    startLine(nullptr, false);
}

void DetailsText::beginItem(const char *heading) {
    startLine(heading, depth_ > 0);
    ++depth_;
    if (depth_ == 1)
        startLine(nullptr, false); // a function's own fields go under its heading
}

void DetailsText::endItem() {
    --depth_;
    flush();
    if (depth_ == 0)
        fputc('\n', out_);
    else
        startLine(nullptr, false);
}

void DetailsText::hex(const char *, const char *label, uint32_t value, int digits) {
    char text[16];
    snprintf(text, sizeof text, "%0*" PRIX32 "h", digits, value);
    field(label, text);
}

void DetailsText::named(const char *, const char *label, uint32_t value, int digits, const char *,
                        const char *name) {
    char text[128];
    snprintf(text, sizeof text, "%0*" PRIX32 "h%s%s", digits, value,
             name != nullptr && name[0] != '\0' ? " " : "", name != nullptr ? name : "");
    field(label, text);
}

void DetailsText::count(const char *, const char *label, uint64_t value, const char *unit) {
    char text[48];
    snprintf(text, sizeof text, "%" PRIu64 "%s%s", value, unit != nullptr ? " " : "",
             unit != nullptr ? unit : "");
    field(label, text);
}

void DetailsText::address(const char *, const char *label, uint64_t value) {
    char text[24];
    snprintf(text, sizeof text, "%08" PRIX64 "h", value);
    field(label, text);
}

void DetailsText::size(const char *, const char *label, uint64_t bytes) {
    char text[32];
    sizeText(bytes, text, sizeof text);
    field(label, text);
}

void DetailsText::flag(const char *, const char *label, bool value) {
    if (value)
        field(label, "");
}

void DetailsText::text(const char *, const char *label, const char *value) {
    if (value != nullptr)
        field(label, value);
}

void DetailsText::flags(const char *, const char *label, uint32_t value, int digits,
                        const FlagTable &table) {
    char text[512];
    size_t used = size_t(snprintf(text, sizeof text, "%0*" PRIX32 "h", digits, value));
    const char *separator = " (";
    for (const FlagName &f : table) {
        if ((value & f.mask) == 0 || used >= sizeof text)
            continue;
        used += size_t(snprintf(text + used, sizeof text - used, "%s%s", separator, f.name));
        separator = ", ";
    }
    if (separator[0] == ',' && used < sizeof text)
        snprintf(text + used, sizeof text - used, ")");
    field(label, text);
}

void DetailsText::unknown(const char *, const char *label, const char *why) {
    char text[96];
    snprintf(text, sizeof text, "unknown (%s)", why);
    field(label, text);
}

// ---- JSON

void DetailsJson::finish() {
    json_.endArray();
    json_.finish();
}

void DetailsJson::named(const char *key, const char *, uint32_t value, int, const char *nameKey,
                        const char *name) {
    json_.number(key, value);
    if (name != nullptr && name[0] != '\0')
        json_.string(nameKey, name);
    else
        json_.null(nameKey);
}

void DetailsJson::address(const char *key, const char *, uint64_t value) {
    char text[24];
    snprintf(text, sizeof text, "0x%" PRIx64, value);
    json_.string(key, text);
}

void DetailsJson::text(const char *key, const char *, const char *value) {
    if (key == nullptr)
        return;
    if (value != nullptr)
        json_.string(key, value);
    else
        json_.null(key);
}

void DetailsJson::flags(const char *key, const char *, uint32_t value, int,
                        const FlagTable &table) {
    json_.beginObject(key);
    json_.number("value", value);
    json_.beginArray("set", true);
    for (const FlagName &f : table)
        if (value & f.mask)
            json_.string(nullptr, f.name);
    json_.endArray();
    json_.endObject();
}

void DetailsJson::bytes(const char *key, const char *, const uint8_t *data, size_t size) {
    std::string hex(size * 2, '0');
    for (size_t i = 0; i < size; ++i)
        writeHexByte(&hex[2 * i], data[i]);
    json_.string(key, hex.c_str(), hex.size());
}
