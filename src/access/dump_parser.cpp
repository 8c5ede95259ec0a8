#include "access/dump_parser.h"
#include "base/hex_digit.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// A CR is a blank too, so that lines ending in CR LF read as lspci's own.
bool isBlankChar(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// Reads exactly `digits` hex digits at text[pos]; -1 if they are not there.
long long hexField(const char *text, size_t length, size_t pos, int digits) {
    if (pos + size_t(digits) > length)
        return -1;
    long long value = 0;
    for (int i = 0; i < digits; ++i) {
        const int d = hexDigitValue(text[pos + size_t(i)]);
        if (d < 0)
            return -1;
        value = value * 16 + d;
    }
    return value;
}

struct HeaderLine {
    long long domain, bus, device, function;
    size_t length; // of the address
};

// "BB:DD.F" or "DDDD:BB:DD.F", then the end of the line or a blank.
bool parseHeaderLine(const char *text, size_t length, HeaderLine &h) {
    size_t pos = 0;
    h.domain = 0;
    size_t run = 0;
    while (run < length && hexDigitValue(text[run]) >= 0)
        ++run;
    if (run >= 4 && run <= 8 && run < length && text[run] == ':') {
        h.domain = hexField(text, length, 0, int(run));
        pos = run + 1;
    }
    h.bus = hexField(text, length, pos, 2);
    if (h.bus < 0 || pos + 2 >= length || text[pos + 2] != ':')
        return false;
    h.device = hexField(text, length, pos + 3, 2);
    if (h.device < 0 || pos + 5 >= length || text[pos + 5] != '.')
        return false;
    h.function = hexField(text, length, pos + 6, 1);
    if (h.function < 0)
        return false;
    h.length = pos + 7;
    return pos + 7 == length || isBlankChar(text[pos + 7]);
}

// A hex line starts with an offset of hex digits and a colon.
bool looksLikeHexLine(const char *text, size_t length) {
    size_t run = 0;
    while (run < length && hexDigitValue(text[run]) >= 0)
        ++run;
    return run > 0 && run < length && text[run] == ':';
}

bool isBlank(const char *text, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (!isBlankChar(text[i]))
            return false;
    return true;
}

// The UTF-8 byte-order mark that some editors put at the start of a file.
bool startsWithByteOrderMark(const char *text, size_t length) {
    return length >= 3 && text[0] == '\xEF' && text[1] == '\xBB' && text[2] == '\xBF';
}

// The bits set in v, without a call into a runtime library (kestrix.sys
// links none).
int bitsSet(uint64_t v) {
    v -= v >> 1 & 0x5555555555555555u;
    v = (v & 0x3333333333333333u) + (v >> 2 & 0x3333333333333333u);
    v = (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return int(v * 0x0101010101010101u >> 56);
}

} // namespace

bool DumpParser::fail(int line, const char *format, ...) {
    va_list args;
    va_start(args, format);
    vsnprintf(message_, sizeof message_, format, args);
    va_end(args);
    errorLine_ = line;
    return false;
}

// from and to are multiples of 64: the map is counted 64 bits at a time.
int DumpParser::bytesPresent(int from, int to) const {
    int count = 0;
    for (int i = from / 8; i < to / 8; i += 8) {
        uint64_t bits;
        memcpy(&bits, have_ + i, sizeof bits);
        count += bitsSet(bits);
    }
    return count;
}

bool DumpParser::endFunction() {
    if (!inFunction_)
        return true;
    inFunction_ = false;
    if (skipping_)
        return true;
    const int present = bytesPresent(0, DUMP_CONFIG_BYTES);
    if (present < DUMP_CONFIG_BYTES)
        return fail(current_.line,
                    "%s has %d of the 256 bytes of configuration space; capture it with "
                    "lspci -xxx",
                    name_, present);
    // The extended space counts only when whole: a dump cut short or edited
    // there still serves its first 256 bytes, as it always has, and a sink
    // that keeps extended bytes is told why it gets none.
    const int extended = bytesPresent(DUMP_CONFIG_BYTES, DUMP_MAX_OFFSET);
    const bool whole = extended == DUMP_EXTENDED_BYTES && !extendedTwice_;
    if (extended != 0 && !whole && extended_ != nullptr) {
        char note[DUMP_MESSAGE_SIZE];
        if (extendedTwice_)
            snprintf(note, sizeof note,
                     "%s has bytes of its extended configuration space twice; only its first 256 "
                     "bytes are used",
                     name_);
        else
            snprintf(note, sizeof note,
                     "%s has %d of the 3840 bytes of extended configuration space (100h..fffh); "
                     "only its first 256 bytes are used (capture it with lspci -xxxx)",
                     name_, extended);
        sink_.onIncomplete(current_.line, note);
    }
    current_.size = uint16_t(whole ? DUMP_MAX_OFFSET : DUMP_CONFIG_BYTES);
    current_.extended = whole ? extended_ : nullptr;
    ++functions_;
    char message[DUMP_MESSAGE_SIZE] = "";
    if (!sink_.onFunction(current_, message, sizeof message))
        return fail(current_.line, "%s", message);
    return true;
}

bool DumpParser::parseHexLine(const char *text, size_t length) {
    size_t pos = 0;
    long offset = 0;
    while (text[pos] != ':') {
        offset = offset * 16 + hexDigitValue(text[pos]);
        if (offset >= DUMP_MAX_OFFSET)
            return fail(line_, "malformed hex line: offset beyond %Xh", DUMP_MAX_OFFSET - 1);
        ++pos;
    }
    ++pos;
    // Blanks at the end of the line are no byte; found once, not at every byte.
    while (length > pos && isBlankChar(text[length - 1]))
        --length;
    int count = 0;
    while (pos < length) {
        if (!isBlankChar(text[pos]))
            return fail(line_, "malformed hex line: bytes must be separated by blanks");
        ++pos;
        const long value = hexField(text, length, pos, 2);
        if (value < 0 || (pos + 2 < length && !isBlankChar(text[pos + 2])))
            return fail(line_, "malformed hex line: \"%.*s\" is not a two-digit hex byte",
                        int(length - pos < 8 ? length - pos : 8), text + pos);
        const long at = offset + count;
        if (at >= DUMP_MAX_OFFSET)
            return fail(line_, "malformed hex line: bytes beyond offset %Xh", DUMP_MAX_OFFSET - 1);
        if (!skipping_) {
            const bool twice = have_[at / 8] >> (at % 8) & 1;
            if (twice && at < DUMP_CONFIG_BYTES)
                return fail(line_, "byte %02lXh of %s appears twice", at, name_);
            extendedTwice_ = extendedTwice_ || twice;
            if (at < DUMP_CONFIG_BYTES)
                current_.bytes[at] = uint8_t(value);
            else if (extended_ != nullptr)
                extended_[at - DUMP_CONFIG_BYTES] = uint8_t(value);
            have_[at / 8] |= uint8_t(1u << (at % 8));
        }
        ++count;
        pos += 2;
    }
    if (count == 0)
        return fail(line_, "malformed hex line: no bytes after the offset");
    return true;
}

bool DumpParser::feedLine(const char *text, size_t length, bool tooLong) {
    ++line_;
    bytes_ += length + 1;
    if (tooLong)
        return fail(line_, "line longer than %d characters: no lspci dump has one",
                    DUMP_LINE_LIMIT);
    if (bytes_ > DUMP_SIZE_LIMIT)
        return fail(line_, "the dump goes on past %u MiB, far more than any machine gives",
                    unsigned(DUMP_SIZE_LIMIT >> 20));
    if (line_ == 1 && startsWithByteOrderMark(text, length)) {
        text += 3;
        length -= 3;
    }
    if (isBlank(text, length))
        return endFunction();
    HeaderLine h;
    if (parseHeaderLine(text, length, h)) {
        if (!endFunction())
            return false;
        if (h.device > 0x1F || h.function > 7)
            return fail(line_, "%.*s is no PCI address: device numbers run to 1f, functions to 7",
                        int(h.length), text);
        inFunction_ = true;
        memset(&current_, 0, sizeof current_);
        memset(have_, 0, sizeof have_);
        extendedTwice_ = false;
        current_.domain = uint32_t(h.domain);
        current_.bus = uint8_t(h.bus);
        current_.slot = uint8_t(h.device | h.function << 5);
        current_.line = line_;
        snprintf(name_, sizeof name_, "%04x:%02x:%02x.%u", unsigned(h.domain), unsigned(h.bus),
                 unsigned(h.device), unsigned(h.function));
        skipping_ = h.domain != 0 && !sink_.takesAllDomains();
        extended_ = skipping_ ? nullptr : sink_.extendedRoom();
        if (skipping_) {
            char note[DUMP_MESSAGE_SIZE];
            snprintf(note, sizeof note, "%s is outside PCI domain 0 and is left out", name_);
            sink_.onSkipped(line_, note);
        }
        return true;
    }
    if (!looksLikeHexLine(text, length))
        return true; // names, capabilities, anything else lspci prints
    if (!inFunction_)
        return fail(line_,
                    "hex line outside a function: a header line \"BB:DD.F ...\" must come first");
    return parseHexLine(text, length);
}

bool DumpParser::finish() {
    if (!endFunction())
        return false;
    if (functions_ == 0)
        return fail(
            0,
            "no PCI function with configuration space found (expected the output of lspci -xxx)");
    return true;
}
