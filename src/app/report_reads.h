// The reads of a report, made before its blocks are written: the report of
// this machine reads each function it shows once, and here those reads can
// run while the name database loads (a configuration read waits on the
// hardware, the name load on the processor). Each block still takes a read
// of its own, made for it during this report; nothing is kept past it.
#pragma once

#include "access/config_channel.h"
#include "scan/device_table.h"

#include <array>
#include <cstdint>
#include <vector>

class ReportReads final : public ConfigSource {
  public:
    explicit ReportReads(ConfigChannel &channel) : channel_(channel) {}

    // Reads, through the channel, each function that the report of index
    // shows (one function, or all of them when index is not below the count).
    void readAhead(const DeviceTable &table, uint16_t index);

    bool open(char *, size_t) override { return true; }
    // The read made for bus/slot, once; a later read of it goes to the channel.
    bool read(uint8_t bus, uint8_t slot, uint8_t *buffer) override;
    void close() override {}

  private:
    struct Read {
        uint8_t bus, slot;
        bool read, taken;
        std::array<uint8_t, 256> bytes;
    };
    ConfigChannel &channel_;
    std::vector<Read> reads_;
};
