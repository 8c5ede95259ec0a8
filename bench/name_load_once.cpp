// One name database load in a fresh process, as start-up does it: open the
// file, name a table of 32 functions, close it. Prints the wall time and the
// processor time (user and system) of that in nanoseconds, and a checksum of
// the names, so that a driver that starts this program once per round
// measures what a user waits for: the first touch of every page included.
//
// usage: name_load_once [--line-reader] DATABASE
//   --line-reader   name through the line reader alone (the reference)
#include "base/text_file.h"
#include "scan/device_table.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

// 32 functions of real machines (vendor, device, subsystem vendor, subsystem),
// so that branches of the tree are followed as they would be.
void fillTable(DeviceTable &table) {
    static const uint16_t ids[][4] = {
        {0x8086, 0x0100, 0x1043, 0x844d}, {0x8086, 0x0102, 0x1043, 0x844d},
        {0x8086, 0x1c10, 0x1043, 0x844d}, {0x8086, 0x1c26, 0x1043, 0x844d},
        {0x8086, 0x1c3a, 0x1043, 0x844d}, {0x8086, 0x1c20, 0x1043, 0x8445},
        {0x8086, 0x244e, 0x0000, 0x0000}, {0x8086, 0x1c4a, 0x1043, 0x844d},
        {0x8086, 0x1c02, 0x1043, 0x844d}, {0x8086, 0x1c22, 0x1043, 0x844d},
        {0x1022, 0x15d0, 0x17aa, 0x3125}, {0x1022, 0x15d3, 0x17aa, 0x3125},
        {0x1002, 0x6985, 0x1002, 0x0b0d}, {0x1002, 0xaae0, 0x1002, 0xaae0},
        {0x1039, 0x0760, 0x1043, 0x8111}, {0x1039, 0x0964, 0x1043, 0x8111},
        {0x1039, 0x0190, 0x1043, 0x8111}, {0x1022, 0x1100, 0x0000, 0x0000},
        {0x1106, 0x3099, 0x1043, 0x8075}, {0x1106, 0x3147, 0x1043, 0x808c},
        {0x1106, 0x3038, 0x1043, 0x808c}, {0x1180, 0x0476, 0x1062, 0x0001},
        {0x10ec, 0x8168, 0x1043, 0x8432}, {0x14e4, 0x1677, 0x1028, 0x0179},
        {0x1af4, 0x1041, 0x1af4, 0x1100}, {0x1af4, 0x1042, 0x1af4, 0x1100},
        {0x1b21, 0x1042, 0x1043, 0x8488}, {0x10de, 0x1c82, 0x1458, 0x3764},
        {0x8086, 0x15b8, 0x1028, 0x07a1}, {0x168c, 0x0032, 0x1a3b, 0x2c97},
        {0x12d8, 0xe111, 0x0000, 0x0000}, {0x1131, 0x7133, 0x5168, 0x0502},
    };
    resetDeviceTable(table);
    for (const auto &r : ids) {
        DeviceRecord &record = table.records[table.count++];
        for (int k = 0; k < 4; ++k)
            record.ids[k] = r[k];
        snprintf(record.names[NAME_VENDOR], NAME_SIZE, "Unknown");
    }
}

long long nowNs(clockid_t clock) {
    timespec t;
    clock_gettime(clock, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

} // namespace

int main(int argc, char **argv) {
    const bool lineReader = argc == 3 && strcmp(argv[1], "--line-reader") == 0;
    if (argc != 2 && !lineReader) {
        fprintf(stderr, "usage: name_load_once [--line-reader] DATABASE\n");
        return 2;
    }
    const char *path = argv[argc - 1];
    static DeviceTable table;
    fillTable(table);
    FunctionNames *functions[MAX_DEVICES];
    for (int i = 0; i < table.count; ++i)
        functions[i] = &table.records[i];

    const long long start = nowNs(CLOCK_MONOTONIC), startCpu = nowNs(CLOCK_PROCESS_CPUTIME_ID);
    FILE *in = openTextFile(path, "rt");
    if (in == nullptr) {
        perror(path);
        return 1;
    }
    if (lineReader)
        loadNameDatabaseFrom(in, functions, table.count);
    else
        loadNameDatabaseFrom(in, table);
    fclose(in);
    const long long elapsed = nowNs(CLOCK_MONOTONIC) - start;
    const long long cpu = nowNs(CLOCK_PROCESS_CPUTIME_ID) - startCpu;

    // The names, so that a run can be checked against the other loader.
    unsigned long checksum = 0;
    for (int i = 0; i < table.count; ++i)
        for (const char *p = &table.records[i].names[0][0];
             p < &table.records[i].names[0][0] + sizeof table.records[i].names; ++p)
            checksum = checksum * 31 + static_cast<unsigned char>(*p);
    printf("%lld %lld %lx\n", elapsed, cpu, checksum);
    return 0;
}
