#include "access/dump_source.h"

#include "base/text_file.h"
#include "header/config_header.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr size_t LINE_LIMIT = 1024;

bool sameAddress(const DumpFunction &a, uint8_t bus, uint8_t slot) {
    return a.bus == bus && a.slot == slot;
}

bool before(const DumpFunction &a, uint8_t bus, uint8_t slot) {
    return a.bus != bus ? a.bus < bus : a.slot < slot;
}

} // namespace

bool DumpSource::onFunction(const DumpFunction &function, char *message, size_t size) {
    auto at = std::lower_bound(
        functions_.begin(), functions_.end(), function,
        [](const DumpFunction &a, const DumpFunction &b) { return before(a, b.bus, b.slot); });
    if (at != functions_.end() && sameAddress(*at, function.bus, function.slot)) {
        snprintf(message, size, "%02x:%02x.%u appears twice (first on line %d)",
                 unsigned(function.bus), slotDevice(function.slot), slotFunction(function.slot),
                 at->line);
        return false;
    }
    functions_.insert(at, function);
    return true;
}

void DumpSource::onSkipped(int line, const char *message) {
    char note[SOURCE_ERROR_SIZE];
    snprintf(note, sizeof note, "%s:%d: %s", path_, line, message);
    notes_.emplace_back(note);
}

bool DumpSource::open(char *error, size_t errorSize) {
    functions_.clear();
    notes_.clear();
    FILE *file = openTextFile(path_, "rt");
    if (file == nullptr) {
        snprintf(error, errorSize, "cannot open dump %s: %s", path_, strerror(errno));
        return false;
    }
    DumpParser parser(*this);
    char line[LINE_LIMIT];
    size_t length = 0;
    bool tooLong = false, ok = true;
    for (int c; ok && (c = getc(file)) != EOF;) {
        if (c == '\n') {
            ok = parser.feedLine(line, length, tooLong);
            length = 0;
            tooLong = false;
        } else if (length < LINE_LIMIT) {
            line[length++] = char(c);
        } else {
            tooLong = true;
        }
    }
    const bool readError = ferror(file) != 0;
    fclose(file);
    if (ok && length > 0)
        ok = parser.feedLine(line, length, tooLong);
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
    }
    return ok;
}

const DumpFunction *DumpSource::find(uint8_t bus, uint8_t slot) const {
    auto at =
        std::lower_bound(functions_.begin(), functions_.end(), 0,
                         [bus, slot](const DumpFunction &a, int) { return before(a, bus, slot); });
    return at != functions_.end() && sameAddress(*at, bus, slot) ? &*at : nullptr;
}

bool DumpSource::read(uint8_t bus, uint8_t slot, uint8_t *buffer) {
    const DumpFunction *f = find(bus, slot);
    if (f == nullptr)
        return false;
    memcpy(buffer, f->bytes, DUMP_CONFIG_BYTES);
    return true;
}
