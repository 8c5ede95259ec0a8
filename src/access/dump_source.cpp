#include "access/dump_source.h"

#include "base/short_path.h"
#include "base/text_file.h"
#include "header/config_header.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

FunctionAddress addressOf(const DumpFunction &f) {
    return {f.domain, f.bus, uint8_t(slotDevice(f.slot)), uint8_t(slotFunction(f.slot))};
}

bool before(const DumpFunction &a, const FunctionAddress &at) {
    return addressOf(a) < at;
}

// getc without a call per byte where the runtime has the inline form.
int nextByte(FILE *file) {
#ifdef _WIN32
    return getc(file);
#else
    return getc_unlocked(file);
#endif
}

} // namespace

bool DumpSource::onFunction(const DumpFunction &function, char *message, size_t size) {
    const FunctionAddress at = addressOf(function);
    auto place = std::lower_bound(functions_.begin(), functions_.end(), at, before);
    if (place != functions_.end() && addressOf(*place) == at) {
        char name[16];
        formatFunctionAddress(at, name, sizeof name);
        // Domain 0 as lspci writes it.
        snprintf(message, size, "%s appears twice (first on line %d)",
                 at.domain == 0 ? name + 5 : name, place->line);
        return false;
    }
    DumpFunction &kept = *functions_.insert(place, function);
    if (function.extended != nullptr) {
        extended_.emplace_back(new uint8_t[DUMP_EXTENDED_BYTES]);
        memcpy(extended_.back().get(), function.extended, DUMP_EXTENDED_BYTES);
        kept.extended = extended_.back().get();
    }
    return true;
}

void DumpSource::onIncomplete(int line, const char *message) {
    char shown[MESSAGE_PATH_SIZE], note[SOURCE_ERROR_SIZE];
    snprintf(note, sizeof note, "%s:%d: %s", shortPath(path_, shown, sizeof shown), line, message);
    extendedNotes_.emplace_back(note);
}

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
    DumpParser parser(*this);
    char line[DUMP_LINE_LIMIT];
    size_t length = 0;
    int lines = 0;
    bool ok = true;
    for (int c; ok && (c = nextByte(file)) != EOF;) {
        if (c == '\n') {
            ++lines;
            ok = parser.feedLine(line, length);
            length = 0;
        } else if (length < sizeof line) {
            line[length++] = char(c);
        } else {
            ok = parser.feedLine(line, length, true); // fails: a line that may never end
        }
    }
    const int readError = ferror(file) != 0 ? errno : 0;
    fclose(file);
    if (ok && length > 0)
        ok = parser.feedLine(line, length);
    if (ok && readError != 0) {
        snprintf(error, errorSize, "%s:%d: cannot read dump: %s", path, lines + 1,
                 fileErrorText(readError));
        close();
        return false;
    }
    if (ok)
        ok = parser.finish();
    if (!ok) {
        if (parser.errorLine() > 0)
            snprintf(error, errorSize, "%s:%d: %s", path, parser.errorLine(), parser.message());
        else
            snprintf(error, errorSize, "%s: %s", path, parser.message());
        close();
    }
    return ok;
}

const DumpFunction *DumpSource::find(const FunctionAddress &at) const {
    auto place = std::lower_bound(functions_.begin(), functions_.end(), at, before);
    return place != functions_.end() && addressOf(*place) == at ? &*place : nullptr;
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
