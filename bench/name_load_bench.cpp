// Throughput of the name database loader on the full generated pcidevs.txt,
// with a table of 32 stored functions, as at start-up on a large machine.
#include "base/text_file.h"
#include "scan/device_table.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char *databasePath() {
    const char *path = std::getenv("LUMIVAR_PCIDEVS");
    return path != nullptr ? path : "pcidevs.txt";
}

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
    }
}

std::string readWhole(const char *path) {
    std::string bytes;
    FILE *f = std::fopen(path, "rb");
    if (f == nullptr)
        return bytes;
    char block[65536];
    for (size_t n; (n = std::fread(block, 1, sizeof block, f)) > 0;)
        bytes.append(block, n);
    std::fclose(f);
    return bytes;
}

// Loads the whole database once per iteration from the stream `open` gives.
template <typename Open> void loadEachIteration(benchmark::State &state, Open open) {
    const std::string bytes = readWhole(databasePath());
    if (bytes.empty()) {
        state.SkipWithError("set LUMIVAR_PCIDEVS to the generated pcidevs.txt");
        return;
    }
    static DeviceTable table;
    for (auto _ : state) {
        fillTable(table);
        FILE *in = open(bytes);
        loadNameDatabaseFrom(in, table);
        std::fclose(in);
        benchmark::DoNotOptimize(table.records[0].names[0][0]);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

// The loader alone, over the file's bytes in memory.
void loadFromMemory(benchmark::State &state) {
    loadEachIteration(state, [](const std::string &bytes) {
        return fmemopen(const_cast<char *>(bytes.data()), bytes.size(), "rb");
    });
}
BENCHMARK(loadFromMemory)->Unit(benchmark::kMillisecond);

// What start-up does: open the file in text mode and load it.
void loadFromFile(benchmark::State &state) {
    loadEachIteration(state,
                      [](const std::string &) { return openTextFile(databasePath(), "rt"); });
}
BENCHMARK(loadFromFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
