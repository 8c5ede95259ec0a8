// Configuration space from a saved dump in the lspci -xxx text format.
#pragma once

#include "access/config_source.h"
#include "access/dump_parser.h"

#include <cstdio>
#include <string>
#include <vector>

class DumpSource : public ConfigSource {
  public:
    explicit DumpSource(const char *path) : path_(path) {}
    // Reads the whole file; a malformed dump fails with "FILE:LINE: cause".
    bool open(char *error, size_t errorSize) override;
    bool read(uint8_t bus, uint8_t slot, uint8_t *buffer) override;
    void close() override { functions_.clear(); }
    // Functions read but left out, as "FILE:LINE: reason" lines.
    const std::vector<std::string> &notes() const { return notes_; }

  private:
    class Loader;

    const char *path_;
    std::vector<DumpFunction> functions_; // in lspci order
    std::vector<std::string> notes_;
};
