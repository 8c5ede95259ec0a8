// Any bytes as a function's configuration space (up to 4096), with names and
// region sizes taken from the same bytes: the JSON of --json is one valid
// JSON array of one object, in valid UTF-8 without control characters, and
// the text of --details is written too. A tiny validator reads it back.
#include "decode/config_space.h"
#include "report/details_writers.h"
#include "report/function_fields.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition) {
    if (!condition)
        abort();
}

// A recursive-descent reader of RFC 8259 JSON, strict about UTF-8.
class JsonCheck {
  public:
    JsonCheck(const char *text, size_t size) : p_(text), end_(text + size) {}

    // The whole text: one array of one object, then white space.
    bool document() {
        blank();
        if (!at('['))
            return false;
        blank();
        if (!at('{') || !members())
            return false;
        blank();
        if (!at(']'))
            return false;
        blank();
        return p_ == end_;
    }

  private:
    bool at(char c) {
        if (p_ < end_ && *p_ == c) {
            ++p_;
            return true;
        }
        return false;
    }
    void blank() {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t'))
            ++p_;
    }
    bool word(const char *w) {
        const size_t n = strlen(w);
        if (size_t(end_ - p_) < n || memcmp(p_, w, n) != 0)
            return false;
        p_ += n;
        return true;
    }
    // After '{'.
    bool members() {
        blank();
        if (at('}'))
            return true;
        do {
            blank();
            if (!string())
                return false;
            blank();
            if (!at(':') || !value())
                return false;
            blank();
        } while (at(','));
        return at('}');
    }
    // After '['.
    bool elements() {
        blank();
        if (at(']'))
            return true;
        do {
            if (!value())
                return false;
            blank();
        } while (at(','));
        return at(']');
    }
    bool value() {
        if (++depth_ > 32)
            return false;
        blank();
        bool ok = false;
        if (at('{'))
            ok = members();
        else if (at('['))
            ok = elements();
        else if (p_ < end_ && *p_ == '"')
            ok = string();
        else if (p_ < end_ && *p_ >= '0' && *p_ <= '9')
            ok = number();
        else
            ok = word("true") || word("false") || word("null");
        --depth_;
        return ok;
    }
    // Unsigned integers only: the writer writes no other numbers.
    bool number() {
        if (at('0'))
            return p_ == end_ || *p_ < '0' || *p_ > '9';
        while (p_ < end_ && *p_ >= '0' && *p_ <= '9')
            ++p_;
        return true;
    }
    bool string() {
        if (!at('"'))
            return false;
        while (p_ < end_) {
            const unsigned char c = static_cast<unsigned char>(*p_++);
            if (c == '"')
                return true;
            if (c < 0x20 || c == 0x7F)
                return false;
            if (c == '\\') {
                if (p_ >= end_)
                    return false;
                const char e = *p_++;
                if (e == 'u') {
                    for (int i = 0; i < 4; ++i, ++p_)
                        if (p_ >= end_ || !isxdigit(static_cast<unsigned char>(*p_)))
                            return false;
                } else if (!strchr("\"\\/bfnrt", e)) {
                    return false;
                }
            } else if (c >= 0x80 && !utf8(c)) {
                return false;
            }
        }
        return false;
    }
    // The rest of a UTF-8 sequence: shortest form, no surrogates, below
    // 110000h, and no C1 control (the writer escapes those).
    bool utf8(unsigned char lead) {
        int more;
        uint32_t c;
        if (lead >= 0xC2 && lead <= 0xDF) {
            more = 1;
            c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            more = 2;
            c = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3;
            c = lead & 0x07;
        } else {
            return false;
        }
        for (int i = 0; i < more; ++i, ++p_) {
            if (p_ >= end_ || (static_cast<unsigned char>(*p_) & 0xC0) != 0x80)
                return false;
            c = c << 6 | (static_cast<unsigned char>(*p_) & 0x3F);
        }
        const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        return c >= least[more] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF) &&
               (c < 0x80 || c > 0x9F);
    }

    const char *p_;
    const char *end_;
    int depth_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > EXTENDED_SPACE_SIZE)
        return 0;
    // Names and sizes from the bytes too, so that every byte value reaches
    // the strings.
    FunctionNames names{};
    functionIds(data, size, names);
    for (int kind = 0; kind < NAME_KINDS; ++kind)
        for (size_t i = 0; i + 1 < NAME_SIZE && i < size; ++i)
            names.names[kind][i] = char(data[(i * 7 + size_t(kind) * 13) % size]);
    RegionSizes sizes{};
    for (int i = 0; i < REGION_COUNT && size >= 8; ++i)
        memcpy(&sizes.size[i], data + (size_t(i) * 8) % (size - 7), 8);
    const FunctionView view{{uint32_t(size), uint8_t(size), uint8_t(size & 31), uint8_t(size & 7)},
                            data,
                            size,
                            &names,
                            size % 2 ? &sizes : nullptr};

    char *json = nullptr;
    size_t jsonSize = 0;
    FILE *out = open_memstream(&json, &jsonSize);
    check(out != nullptr);
    DetailsJson writer(out);
    describeFunction(view, writer);
    writer.finish();
    check(fclose(out) == 0);
    check(JsonCheck(json, jsonSize).document());
    free(json);

    FILE *text = fopen("/dev/null", "w");
    check(text != nullptr);
    DetailsText details(text);
    describeFunction(view, details);
    fclose(text);
    return 0;
}
