// Any bytes as an lspci -xxx dump, fed line by line as the file reader does.
#include "access/dump_parser.h"

#include <cstdlib>
#include <cstring>

namespace {

class CheckingSink : public DumpSink {
  public:
    bool onFunction(const DumpFunction &function, char *, size_t) override {
        if (function.line <= 0 || (function.slot & 0x1F) > 0x1F)
            abort();
        ++functions;
        return true;
    }
    void onSkipped(int line, const char *message) override {
        if (line <= 0 || strlen(message) >= DUMP_MESSAGE_SIZE)
            abort();
    }
    int functions = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    CheckingSink sink;
    DumpParser parser(sink);
    const char *text = reinterpret_cast<const char *>(data);
    constexpr size_t LIMIT = 1024;
    bool ok = true;
    size_t start = 0;
    for (size_t i = 0; ok && i <= size; ++i) {
        if (i < size && text[i] != '\n')
            continue;
        const size_t length = i - start;
        // Copy to an exact-size heap block so ASan catches any overread.
        const size_t kept = length > LIMIT ? LIMIT : length;
        char *line = static_cast<char *>(malloc(kept > 0 ? kept : 1));
        memcpy(line, text + start, kept);
        ok = parser.feedLine(line, kept, length > LIMIT);
        free(line);
        start = i + 1;
    }
    if (ok)
        parser.finish();
    if (strlen(parser.message()) >= DUMP_MESSAGE_SIZE)
        abort();
    return 0;
}
