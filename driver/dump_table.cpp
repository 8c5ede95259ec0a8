#include "dump_table.h"

#include "access/dump_parser.h"

#include <cstdio>
#include <cstring>

namespace {

// Longest line kept, as the application's dump reader does; longer lines are
// cut and reported as too long if they hold bytes.
constexpr size_t LINE_LIMIT = 1024;

// Sort key in lspci order: bus, device, function.
unsigned orderKey(uint8_t bus, uint8_t slot) {
    return unsigned(bus) << 8 | unsigned(slot & 0x1F) << 3 | unsigned(slot >> 5);
}

class TableSink final : public DumpSink {
  public:
    // With no table it only counts.
    TableSink() = default;
    TableSink(DumpEntry *entries, size_t capacity, DumpNoteHandler notes)
        : storing_(true), entries_(entries), capacity_(capacity), notes_(notes) {}

    bool onFunction(const DumpFunction &function, char *message, size_t size) override {
        if (!storing_) {
            ++count_;
            return true;
        }
        if (count_ == capacity_) {
            snprintf(message, size, "more functions than the table holds (%lu)",
                     static_cast<unsigned long>(capacity_));
            return false;
        }
        // Dumps list functions in this order, so this is nearly always an append.
        const unsigned key = orderKey(function.bus, function.slot);
        size_t at = count_;
        while (at > 0 && orderKey(entries_[at - 1].bus, entries_[at - 1].slot) > key)
            --at;
        if (at > 0 && orderKey(entries_[at - 1].bus, entries_[at - 1].slot) == key) {
            snprintf(message, size, "%02x:%02x.%u appears twice (first on line %d)",
                     unsigned(function.bus), unsigned(function.slot & 0x1F),
                     unsigned(function.slot >> 5), entries_[at - 1].line);
            return false;
        }
        memmove(&entries_[at + 1], &entries_[at], (count_ - at) * sizeof(DumpEntry));
        DumpEntry &entry = entries_[at];
        entry.bus = function.bus;
        entry.slot = function.slot;
        memcpy(entry.bytes, function.bytes, DUMP_ENTRY_BYTES);
        entry.line = function.line;
        ++count_;
        return true;
    }

    void onSkipped(int line, const char *message) override {
        if (notes_ != nullptr)
            notes_(line, message);
    }

    size_t count() const { return count_; }

  private:
    bool storing_ = false;
    DumpEntry *entries_ = nullptr;
    size_t capacity_ = 0;
    DumpNoteHandler notes_ = nullptr;
    size_t count_ = 0;
};

static_assert(DUMP_ENTRY_BYTES == DUMP_CONFIG_BYTES);

// Feeds the text line by line. Every CR is dropped; a dump is data, so a byte
// 1Ah is no end (lspci reads on past it too).
bool feedText(DumpParser &parser, const char *text, size_t length) {
    char line[LINE_LIMIT];
    size_t used = 0;
    bool tooLong = false;
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (c == '\r')
            continue;
        if (c == '\n') {
            if (!parser.feedLine(line, used, tooLong))
                return false;
            used = 0;
            tooLong = false;
        } else if (used < LINE_LIMIT) {
            line[used++] = c;
        } else {
            tooLong = true;
        }
    }
    if (used > 0 && !parser.feedLine(line, used, tooLong))
        return false;
    return parser.finish();
}

long parseWith(TableSink &sink, const char *text, size_t length, char *error, size_t errorSize) {
    DumpParser parser(sink);
    if (!feedText(parser, text, length)) {
        if (parser.errorLine() > 0)
            snprintf(error, errorSize, "%d: %s", parser.errorLine(), parser.message());
        else
            snprintf(error, errorSize, "%s", parser.message());
        return -1;
    }
    return long(sink.count());
}

} // namespace

long countDumpFunctions(const char *text, size_t length, char *error, size_t errorSize) {
    TableSink sink;
    return parseWith(sink, text, length, error, errorSize);
}

long loadDumpFunctions(const char *text, size_t length, DumpEntry *entries, size_t capacity,
                       DumpNoteHandler notes, char *error, size_t errorSize) {
    TableSink sink(entries, capacity, notes);
    return parseWith(sink, text, length, error, errorSize);
}

const DumpEntry *findDumpEntry(const DumpEntry *entries, size_t count, uint8_t bus, uint8_t slot) {
    const unsigned key = orderKey(bus, slot);
    size_t low = 0, high = count;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        const unsigned at = orderKey(entries[middle].bus, entries[middle].slot);
        if (at == key)
            return &entries[middle];
        if (at < key)
            low = middle + 1;
        else
            high = middle;
    }
    return nullptr;
}

#ifdef KESTRIX_KERNEL
// The kernel has no C++ runtime. Nothing here is created with new, so the
// deleting destructor that the parser's vtables name is never called; pure
// virtual calls cannot happen once an object is constructed.
void operator delete(void *) noexcept {
    __builtin_trap();
}
void operator delete(void *, size_t) noexcept {
    __builtin_trap();
}
extern "C" void __cxa_pure_virtual() {
    __builtin_trap();
}
#endif
