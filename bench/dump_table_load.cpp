// kestrix.sys's dump table, built for this machine: loads the dump named on
// the command line as DriverEntry does and prints the milliseconds that the
// median of five loads took.
#include "dump_table.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    if (argc != 2) {
        fputs("usage: dump_table_load DUMP\n", stderr);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string dump = text.str();
    std::vector<double> times;
    for (int round = 0; round < 5; ++round) {
        const auto start = std::chrono::steady_clock::now();
        char error[DUMP_ERROR_SIZE];
        std::vector<DumpEntry> entries(dumpTableCapacity(dump.size()));
        if (loadDumpFunctions(dump.data(), dump.size(), entries.data(), entries.size(), nullptr,
                              error, sizeof error) <= 0) {
            fprintf(stderr, "dump_table_load: %s\n", error);
            return 1;
        }
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    printf("%.1f\n", times[2]);
    return 0;
}
