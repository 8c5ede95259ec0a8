// Arbitrary bytes as pci.ids: the conversion must neither crash nor read out
// of bounds, and whatever it writes must still be lines the loader reads
// whole: at most 255 characters with the line feed, no NUL, CR or 0x1A, and
// every record a tag, a tab, four hex digits and a tab.
#include "pciids_convert.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition) {
    if (!condition)
        abort();
}

void checkOutput(const char *data, size_t size, const PcidevsStats &stats) {
    int records = 0;
    size_t start = 0;
    while (start < size) {
        const char *feed = static_cast<const char *>(memchr(data + start, '\n', size - start));
        check(feed != nullptr); // every line is ended
        const size_t length = size_t(feed - data) - start;
        const char *line = data + start;
        check(length + 1 <= PCIDEVS_MAX_LINE);
        for (size_t i = 0; i < length; ++i)
            check(line[i] != '\0' && line[i] != '\r' && line[i] != '\x1a');
        if (line[0] != ';') {
            check(length >= 7 && strchr("VDOS", line[0]) != nullptr && line[1] == '\t' &&
                  line[6] == '\t');
            for (size_t i = 2; i < 6; ++i)
                check(strchr("0123456789abcdef", line[i]) != nullptr);
            ++records;
        }
        start += length + 1;
    }
    check(records == stats.vendors + stats.devices + stats.subsystemVendors + stats.subsystems +
                         2 * stats.selfSubsystems);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    PciIdsReader reader;
    if (size > 0) {
        // fmemopen wants a writable buffer even to read.
        char *copy = static_cast<char *>(malloc(size));
        memcpy(copy, data, size);
        FILE *in = fmemopen(copy, size, "rb");
        check(in != nullptr);
        check(readPciIds(in, reader));
        fclose(in);
        free(copy);
    }
    check(reader.skippedLines() <= reader.lineCount());

    char *output = nullptr;
    size_t outputSize = 0;
    FILE *out = open_memstream(&output, &outputSize);
    check(out != nullptr);
    PcidevsStats stats;
    check(writePcidevs(reader.database(), out, &stats));
    fclose(out);
    checkOutput(output, outputSize, stats);
    free(output);
    return 0;
}
