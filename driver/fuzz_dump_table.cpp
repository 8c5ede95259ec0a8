// libFuzzer target for the driver's dump table: the line splitting around the
// shared dump reader, the sorted store and the lookup. Built natively
// (without KESTRIX_KERNEL) with the other fuzzers.
#include "dump_table.h"

#include "access/function_store.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

unsigned key(const DumpEntry &e) {
    return unsigned(functionOrder(e));
}

void require(bool condition) {
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const char *text = reinterpret_cast<const char *>(data);
    char error[DUMP_ERROR_SIZE];
    const long count = countDumpFunctions(text, size, error, sizeof error);
    if (count < 0) {
        require(memchr(error, '\0', sizeof error) != nullptr && error[0] != '\0');
        return 0;
    }
    require(count > 0 && size_t(count) <= dumpTableCapacity(size));

    // Too small a table must fail, never write past its end.
    std::vector<DumpEntry> tooSmall(static_cast<size_t>(count - 1));
    require(loadDumpFunctions(text, size, tooSmall.data(), tooSmall.size(), nullptr, error,
                              sizeof error) < 0);

    std::vector<DumpEntry> entries(static_cast<size_t>(count));
    const long stored =
        loadDumpFunctions(text, size, entries.data(), entries.size(), nullptr, error, sizeof error);
    if (stored < 0)
        return 0; // a function given twice: only the storing pass sees it
    require(stored == count);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i > 0)
            require(key(entries[i - 1]) < key(entries[i]));
        require(findDumpEntry(entries.data(), entries.size(), entries[i].bus, entries[i].slot) ==
                &entries[i]);
    }
    // Addresses between stored ones are not found.
    for (size_t i = 0; i + 1 < entries.size(); ++i) {
        const unsigned gap = key(entries[i]) + 1;
        if (gap < key(entries[i + 1])) {
            const uint8_t bus = uint8_t(gap >> 8);
            const uint8_t slot = uint8_t(((gap >> 3) & 0x1F) | (gap & 7) << 5);
            require(findDumpEntry(entries.data(), entries.size(), bus, slot) == nullptr);
        }
    }
    return 0;
}
