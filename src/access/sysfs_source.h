// Linux: configuration space from the kernel's per-function sysfs files,
// ROOT/DDDD:BB:DD.F/config, and the region sizes from .../resource. Only
// domain 0 is reachable through a SlotByte; listFunctions and readFunction
// reach every domain.
#pragma once

#include "access/config_source.h"

#include <bitset>
#include <vector>

constexpr const char *SYSFS_PCI_ROOT = "/sys/bus/pci/devices";

class SysfsSource : public ConfigSource {
  public:
    explicit SysfsSource(const char *root = SYSFS_PCI_ROOT) : root_(root) {}
    // Lists the functions the kernel shows and checks that all 256 bytes of
    // them can be read (only root may read past the first 64).
    bool open(char *error, size_t errorSize) override;
    bool read(uint8_t bus, uint8_t slot, uint8_t *buffer) override;
    // Reads the scan's three words alone: here every word read is a
    // configuration access, which costs the most on a virtual machine.
    bool readScanWords(uint8_t bus, uint8_t slot, uint8_t *buffer) override;
    void close() override {}
    void listFunctions(std::vector<FunctionAddress> &functions) override;
    bool readFunction(const FunctionAddress &at, uint8_t *buffer) override;
    // 4096 bytes where the kernel gives them (PCI Express, read as root).
    size_t readFunctionSpace(const FunctionAddress &at, uint8_t *buffer, size_t size) override;
    bool readRegionSizes(const FunctionAddress &at, RegionSizes &sizes) override;

  private:
    const char *root_;
    std::vector<FunctionAddress> functions_; // every domain, in address order
    // Which bus/slot pairs have a folder, as listed at open: the scan asks
    // for 4096 pairs and most are absent, which costs no system call this way.
    std::bitset<256 * 256> listed_;
};
