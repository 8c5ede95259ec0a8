#include "access/dump_source.h"

#include "access/function_store.h"
#include "base/line_splitter.h"
#include "base/short_path.h"
#include "base/text_file.h"
#include "header/config_header.h"

#include <cerrno>
#include <cstring>

// Keeps the functions in the source's vector, each with its extended bytes,
// and the notes of incomplete extended spaces with the file's name.
class DumpSource::Loader final : public FunctionStore<DumpFunction> {
  public:
    explicit Loader(DumpSource &source) : source_(source) {}

    bool onFunction(const DumpFunction &function, char *message, size_t size) override {
        if (!FunctionStore::onFunction(function, message, size))
            return false;
        if (function.extended != nullptr) {
            source_.extended_.emplace_back(new uint8_t[DUMP_EXTENDED_BYTES]);
            memcpy(source_.extended_.back().get(), function.extended, DUMP_EXTENDED_BYTES);
            source_.functions_.back().extended = source_.extended_.back().get();
        }
        return true;
    }

  private:
    DumpFunction *room(size_t count, char *, size_t) override {
        source_.functions_.resize(count);
        return source_.functions_.data();
    }
    void onSkipped(int, const char *) override {}
    bool takesAllDomains() const override { return true; }
    uint8_t *extendedRoom() override { return room_; }
    void onIncomplete(int line, const char *message) override {
        char shown[MESSAGE_PATH_SIZE], note[SOURCE_ERROR_SIZE];
        snprintf(note, sizeof note, "%s:%d: %s", shortPath(source_.path_, shown, sizeof shown),
                 line, message);
        source_.extendedNotes_.emplace_back(note);
    }

    DumpSource &source_;
    uint8_t room_[DUMP_EXTENDED_BYTES];
};

namespace {

FunctionAddress addressOf(const DumpFunction &f) {
    return {f.domain, f.bus, uint8_t(slotDevice(f.slot)), uint8_t(slotFunction(f.slot))};
}

} // namespace

void DumpSource::close() {
    functions_.clear();
    extended_.clear();
}

bool DumpSource::open(char *error, size_t errorSize) {
    close();
    extendedNotes_.clear();
    char shown[MESSAGE_PATH_SIZE];
    const char *path = shortPath(path_, shown, sizeof shown);
    // Binary: a dump is data, and a byte 1Ah in it is no end.
    FILE *file = openInputFile(path_);
    if (file == nullptr) {
        snprintf(error, errorSize, "cannot open dump %s: %s", path, fileErrorText(errno));
        return false;
    }
    Loader loader(*this);
    DumpParser parser(loader);
    const auto feed = [&parser](const char *text, size_t length, bool tooLong) {
        return parser.feedLine(text, length, tooLong);
    };
    LineSplitter<DUMP_LINE_LIMIT> lines;
    char block[65536];
    bool ok = true;
    for (size_t got; ok && (got = fread(block, 1, sizeof block, file)) > 0;)
        ok = lines.feed(block, got, feed);
    const int readError = ferror(file) != 0 ? errno : 0;
    fclose(file);
    if (ok && readError == 0)
        ok = lines.finish(feed) && parser.finish();
    int line = parser.errorLine();
    char repeat[DUMP_MESSAGE_SIZE];
    if (!loader.finish(ok ? 0 : line, repeat, sizeof repeat, &line)) {
        snprintf(error, errorSize, "%s:%d: %s", path, line, repeat);
    } else if (!ok) {
        if (line > 0)
            snprintf(error, errorSize, "%s:%d: %s", path, line, parser.message());
        else
            snprintf(error, errorSize, "%s: %s", path, parser.message());
    } else if (readError != 0) {
        snprintf(error, errorSize, "%s:%d: cannot read dump: %s", path, lines.lines() + 1,
                 fileErrorText(readError));
    } else {
        return true;
    }
    close();
    return false;
}

const DumpFunction *DumpSource::find(const FunctionAddress &at) const {
    return findFunction(functions_.data(), functions_.size(), at.domain, at.bus,
                        makeSlot(at.device, at.function));
}

bool DumpSource::read(uint8_t bus, uint8_t slot, uint8_t *buffer) {
    return readFunction({0, bus, uint8_t(slotDevice(slot)), uint8_t(slotFunction(slot))}, buffer);
}

void DumpSource::listFunctions(std::vector<FunctionAddress> &functions) {
    functions.clear();
    for (const DumpFunction &f : functions_)
        functions.push_back(addressOf(f));
}

bool DumpSource::readFunction(const FunctionAddress &at, uint8_t *buffer) {
    const DumpFunction *f = find(at);
    if (f == nullptr)
        return false;
    memcpy(buffer, f->bytes, DUMP_CONFIG_BYTES);
    return true;
}

size_t DumpSource::readFunctionSpace(const FunctionAddress &at, uint8_t *buffer, size_t size) {
    const DumpFunction *f = find(at);
    if (f == nullptr || size < DUMP_CONFIG_BYTES)
        return 0;
    memcpy(buffer, f->bytes, DUMP_CONFIG_BYTES);
    if (f->extended == nullptr || size < DUMP_MAX_OFFSET)
        return DUMP_CONFIG_BYTES;
    memcpy(buffer + DUMP_CONFIG_BYTES, f->extended, DUMP_EXTENDED_BYTES);
    return DUMP_MAX_OFFSET;
}
