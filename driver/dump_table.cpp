#include "dump_table.h"

#include "access/function_store.h"
#include "base/line_splitter.h"

#include <cstdio>
#include <cstring>

namespace {

static_assert(DUMP_ENTRY_BYTES == DUMP_CONFIG_BYTES);

class CountingSink final : public DumpSink {
  public:
    bool onFunction(const DumpFunction &, char *, size_t) override {
        ++count_;
        return true;
    }
    void onSkipped(int, const char *) override {}
    size_t count() const { return count_; }

  private:
    size_t count_ = 0;
};

// The store over the caller's table; too many functions for it is an error.
class TableSink final : public FunctionStore<DumpEntry> {
  public:
    TableSink(DumpEntry *entries, size_t capacity, DumpNoteHandler notes)
        : entries_(entries), capacity_(capacity), notes_(notes) {}

  private:
    DumpEntry *room(size_t count, char *message, size_t size) override {
        if (count <= capacity_)
            return entries_;
        snprintf(message, size, "more functions than the table holds (%lu)",
                 static_cast<unsigned long>(capacity_));
        return nullptr;
    }
    void onSkipped(int line, const char *message) override {
        if (notes_ != nullptr)
            notes_(line, message);
    }

    DumpEntry *entries_;
    size_t capacity_;
    DumpNoteHandler notes_;
};

// Feeds the whole text to the parser (a dump is data: a CR is the parser's to
// read and a byte 1Ah no end, as lspci and the application read them); then a
// store looks for a function given twice. False with the cause in error.
bool parse(DumpSink &sink, FunctionStore<DumpEntry> *store, const char *text, size_t length,
           char *error, size_t errorSize) {
    DumpParser parser(sink);
    const auto feed = [&parser](const char *line, size_t used, bool tooLong) {
        return parser.feedLine(line, used, tooLong);
    };
    LineSplitter<DUMP_LINE_LIMIT> lines;
    const bool ok = lines.feed(text, length, feed) && lines.finish(feed) && parser.finish();
    int line = parser.errorLine();
    char repeat[DUMP_MESSAGE_SIZE];
    const char *message = parser.message();
    if (store != nullptr && !store->finish(ok ? 0 : line, repeat, sizeof repeat, &line))
        message = repeat;
    else if (ok)
        return true;
    if (line > 0)
        snprintf(error, errorSize, "%d: %s", line, message);
    else
        snprintf(error, errorSize, "%s", message);
    return false;
}

} // namespace

size_t dumpTableCapacity(size_t length) {
    return length / (3 * DUMP_ENTRY_BYTES) + 1;
}

long countDumpFunctions(const char *text, size_t length, char *error, size_t errorSize) {
    CountingSink sink;
    return parse(sink, nullptr, text, length, error, errorSize) ? long(sink.count()) : -1;
}

long loadDumpFunctions(const char *text, size_t length, DumpEntry *entries, size_t capacity,
                       DumpNoteHandler notes, char *error, size_t errorSize) {
    TableSink sink(entries, capacity, notes);
    return parse(sink, &sink, text, length, error, errorSize) ? long(sink.count()) : -1;
}

const DumpEntry *findDumpEntry(const DumpEntry *entries, size_t count, uint8_t bus, uint8_t slot) {
    return findFunction(entries, count, 0, bus, slot);
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
