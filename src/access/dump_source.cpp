#include "access/dump_source.h"

#include "access/function_store.h"
#include "base/line_splitter.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr size_t LINE_LIMIT = 1024;

} // namespace

// Keeps the functions in the source's vector and its notes with the file's name.
class DumpSource::Loader final : public FunctionStore<DumpFunction> {
  public:
    Loader(DumpSource &source, AddressSet &seen) : FunctionStore(seen), source_(source) {}

  private:
    DumpFunction *room(size_t count, char *, size_t) override {
        source_.functions_.resize(count);
        return source_.functions_.data();
    }
    void onSkipped(int line, const char *message) override {
        char note[SOURCE_ERROR_SIZE];
        snprintf(note, sizeof note, "%s:%d: %s", source_.path_, line, message);
        source_.notes_.emplace_back(note);
    }

    DumpSource &source_;
};

bool DumpSource::open(char *error, size_t errorSize) {
    functions_.clear();
    notes_.clear();
    FILE *file = fopen(path_, "rb");
    if (file == nullptr) {
        snprintf(error, errorSize, "cannot open dump %s: %s", path_, strerror(errno));
        return false;
    }
    AddressSet seen;
    Loader loader(*this, seen);
    DumpParser parser(loader);
    const auto feed = [&parser](const char *text, size_t length, bool tooLong) {
        return parser.feedLine(text, length, tooLong);
    };
    LineSplitter<LINE_LIMIT> lines;
    char block[65536];
    bool ok = true;
    for (size_t got; ok && (got = fread(block, 1, sizeof block, file)) > 0;)
        ok = lines.feed(block, got, feed);
    const bool readError = ferror(file) != 0;
    fclose(file);
    if (ok)
        ok = lines.finish(feed);
    if (ok && readError) {
        snprintf(error, errorSize, "cannot read dump %s", path_);
        functions_.clear();
        return false;
    }
    if (ok)
        ok = parser.finish();
    if (!ok) {
        if (parser.errorLine() > 0)
            snprintf(error, errorSize, "%s:%d: %s", path_, parser.errorLine(), parser.message());
        else
            snprintf(error, errorSize, "%s: %s", path_, parser.message());
        functions_.clear();
        return false;
    }
    loader.sort();
    return true;
}

bool DumpSource::read(uint8_t bus, uint8_t slot, uint8_t *buffer) {
    const DumpFunction *f = findFunction(functions_.data(), functions_.size(), bus, slot);
    if (f == nullptr)
        return false;
    memcpy(buffer, f->bytes, DUMP_CONFIG_BYTES);
    return true;
}
