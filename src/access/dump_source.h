// Configuration space from a saved dump in the lspci -xxx text format, and
// the writer of that format.
#pragma once

#include "access/config_source.h"
#include "access/device_table.h"
#include "access/dump_parser.h"

#include <cstdio>
#include <string>
#include <vector>

class DumpSource : public ConfigSource, private DumpSink {
  public:
    explicit DumpSource(const char *path) : path_(path) {}
    // Reads the whole file; a malformed dump fails with "FILE:LINE: cause".
    bool open(char *error, size_t errorSize) override;
    bool read(uint8_t bus, uint8_t slot, uint8_t *buffer) override;
    void close() override { functions_.clear(); }
    // Functions read but left out, as "FILE:LINE: reason" lines.
    const std::vector<std::string> &notes() const { return notes_; }

  private:
    bool onFunction(const DumpFunction &function, char *message, size_t size) override;
    void onSkipped(int line, const char *message) override;
    const DumpFunction *find(uint8_t bus, uint8_t slot) const;

    const char *path_;
    std::vector<DumpFunction> functions_; // sorted by bus, then slot
    std::vector<std::string> notes_;
};

// Writes every function of the table that can be read, in the lspci -xxx
// format: "BB:DD.F names", 16 lines of 16 bytes, a blank line.
void saveDump(FILE *out, ConfigChannel &channel, const DeviceTable &table,
              ReadFailureHandler &failures);

// One function's block of the dump.
void writeDumpFunction(FILE *out, const DeviceRecord &record, const uint8_t *bytes);
