// Configuration space from a saved dump in the lspci -xxx text format, with
// the extended space where the dump has it (-xxxx).
#pragma once

#include "access/config_source.h"
#include "access/dump_parser.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class DumpSource : public ConfigSource {
  public:
    explicit DumpSource(const char *path) : path_(path) {}
    // Reads the whole file; a malformed dump fails with "FILE:LINE: cause".
    bool open(char *error, size_t errorSize) override;
    bool read(uint8_t bus, uint8_t slot, uint8_t *buffer) override;
    void close() override;
    // Every function of the dump, whatever its domain and bus.
    void listFunctions(std::vector<FunctionAddress> &functions) override;
    bool readFunction(const FunctionAddress &at, uint8_t *buffer) override;
    size_t readFunctionSpace(const FunctionAddress &at, uint8_t *buffer, size_t size) override;
    // Functions whose extended space is incomplete, which the deeper view
    // shows with their first 256 bytes, as "FILE:LINE: reason" lines.
    const std::vector<std::string> &extendedNotes() const { return extendedNotes_; }

  private:
    class Loader;
    const DumpFunction *find(const FunctionAddress &at) const;

    const char *path_;
    std::vector<DumpFunction> functions_; // in address order once open
    // The extended bytes of the functions that have them; each function's
    // `extended` points into its own block.
    std::vector<std::unique_ptr<uint8_t[]>> extended_;
    std::vector<std::string> extendedNotes_;
};
