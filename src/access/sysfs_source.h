// Linux: configuration space from the kernel's per-function sysfs files,
// ROOT/0000:BB:DD.F/config. Only domain 0 is reachable through a SlotByte.
#pragma once

#include "access/config_source.h"

constexpr const char *SYSFS_PCI_ROOT = "/sys/bus/pci/devices";

class SysfsSource : public ConfigSource {
  public:
    explicit SysfsSource(const char *root = SYSFS_PCI_ROOT) : root_(root) {}
    bool open(char *error, size_t errorSize) override;
    bool read(uint8_t bus, uint8_t slot, uint8_t *buffer) override;
    void close() override {}

  private:
    const char *root_;
};
