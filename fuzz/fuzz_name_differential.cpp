// Any bytes as a name database, loaded twice: by the line reader, and from
// the same bytes in one block. Both must leave the same names and line
// count; where the block reader declines, it must have changed nothing.
// The first bytes choose the stored identifiers, as in fuzz_name_database.
#include "naming/name_database.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int MAX_FUNCTIONS = 32;

struct Table {
    FunctionNames functions[MAX_FUNCTIONS];
    FunctionNames *pointers[MAX_FUNCTIONS];
    int count = 0;
};

bool sameNames(const Table &a, const Table &b) {
    for (int i = 0; i < a.count; ++i)
        if (memcmp(a.functions[i].names, b.functions[i].names, sizeof a.functions[i].names) != 0)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static Table initial, lineByLine, inOneBlock;
    memset(&initial, 0, sizeof initial);
    size_t used = 0;
    initial.count = size > 0 ? data[used++] % (MAX_FUNCTIONS + 1) : 0;
    for (int i = 0; i < initial.count; ++i) {
        FunctionNames &f = initial.functions[i];
        for (int k = 0; k < NAME_KINDS; ++k) {
            uint16_t id = 0;
            if (used + 2 <= size) {
                id = uint16_t(data[used] | data[used + 1] << 8);
                used += 2;
            }
            f.ids[k] = k == NAME_REVISION ? uint16_t(id & 0xFF) : id;
        }
        snprintf(f.names[NAME_VENDOR], NAME_SIZE, "Unknown");
    }
    lineByLine = initial;
    inOneBlock = initial;
    for (int i = 0; i < initial.count; ++i) {
        lineByLine.pointers[i] = &lineByLine.functions[i];
        inOneBlock.pointers[i] = &inOneBlock.functions[i];
    }

    const char *text = reinterpret_cast<const char *>(data + used);
    FILE *in = fmemopen(const_cast<char *>(text), size - used, "r");
    if (in == nullptr)
        return 0;
    const NameLoadResult read = loadNameDatabaseFrom(in, lineByLine.pointers, lineByLine.count);
    fclose(in);

    long lines = 0;
    if (loadNameDatabaseBlock(text, size - used, inOneBlock.pointers, inOneBlock.count, lines)) {
        if (!sameNames(inOneBlock, lineByLine) || read.end != TextEnd::END || lines != read.line)
            abort();
    } else if (!sameNames(inOneBlock, initial)) {
        abort();
    }
    return 0;
}
