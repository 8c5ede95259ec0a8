// Any bytes as a name database: the loader must neither crash nor read past
// a line, and every name it stores stays a NUL-terminated text of <= 79 chars.
#include "naming/name_database.h"
#include "scan/device_table.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static DeviceTable table;
    resetDeviceTable(table);
    // The first bytes choose the stored identifiers, so matches happen.
    size_t used = 0;
    table.count = size > 0 ? data[0] % (MAX_DEVICES + 1) : 0;
    used = size > 0 ? 1 : 0;
    for (int i = 0; i < table.count; ++i) {
        for (int k = 0; k < NAME_KINDS; ++k) {
            uint16_t id = 0;
            if (used + 2 <= size) {
                id = uint16_t(data[used] | data[used + 1] << 8);
                used += 2;
            }
            table.records[i].ids[k] = k == NAME_REVISION ? uint16_t(id & 0xFF) : id;
        }
        snprintf(table.records[i].names[NAME_VENDOR], NAME_SIZE, "Unknown");
    }
    FILE *in = fmemopen(const_cast<uint8_t *>(data + used), size - used, "r");
    if (in == nullptr)
        return 0;
    loadNameDatabaseFrom(in, table);
    fclose(in);
    for (int i = 0; i < table.count; ++i)
        for (int k = 0; k < NAME_KINDS; ++k)
            if (memchr(table.records[i].names[k], '\0', NAME_SIZE) == nullptr)
                abort();
    return 0;
}
