#include "report/json_writer.h"

#include "base/code_page.h"

#include <cinttypes>
#include <string>

void JsonWriter::element(const char *key) {
    if (!empty_)
        fputc(',', out_);
    if (oneLineDepth_ != 0 && depth_ >= oneLineDepth_) {
        if (!empty_)
            fputc(' ', out_);
    } else if (depth_ > 0) {
        fprintf(out_, "\n%*s", depth_ * 2, "");
    }
    empty_ = false;
    if (key != nullptr) {
        quoted(key, npos());
        fputs(": ", out_);
    }
}

void JsonWriter::close(char bracket) {
    const bool wasEmpty = empty_;
    --depth_;
    if (oneLineDepth_ != 0 && depth_ < oneLineDepth_)
        oneLineDepth_ = 0;
    else if (!wasEmpty)
        fprintf(out_, "\n%*s", depth_ * 2, "");
    fputc(bracket, out_);
    empty_ = false;
}

void JsonWriter::beginObject(const char *key) {
    element(key);
    fputc('{', out_);
    ++depth_;
    empty_ = true;
}

void JsonWriter::endObject() {
    close('}');
}

void JsonWriter::beginArray(const char *key, bool oneLine) {
    element(key);
    fputc('[', out_);
    ++depth_;
    empty_ = true;
    if (oneLine && oneLineDepth_ == 0)
        oneLineDepth_ = depth_;
}

void JsonWriter::endArray() {
    close(']');
}

void JsonWriter::number(const char *key, uint64_t value) {
    element(key);
    fprintf(out_, "%" PRIu64, value);
}

void JsonWriter::boolean(const char *key, bool value) {
    element(key);
    fputs(value ? "true" : "false", out_);
}

void JsonWriter::null(const char *key) {
    element(key);
    fputs("null", out_);
}

void JsonWriter::string(const char *key, const char *text, size_t length) {
    element(key);
    quoted(text, length);
}

void JsonWriter::finish() {
    fputc('\n', out_);
}

void JsonWriter::quoted(const char *text, size_t length) {
    std::string out = "\"";
    for (size_t i = 0; i < length && text[i] != '\0'; ++i) {
        const char32_t c = unicodeOfAnsi(static_cast<unsigned char>(text[i]));
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04x", unsigned(c));
            out += escape;
        } else {
            appendUtf8(out, c);
        }
    }
    out += '"';
    fwrite(out.data(), 1, out.size(), out_);
}
