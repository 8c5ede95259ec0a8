// The inventory of scanned functions: at most 32, in scan order, with their
// identifiers and names. Configuration data itself is never kept here.
#pragma once

#include "access/config_channel.h"

#include <cstdint>

constexpr int MAX_DEVICES = 32;
constexpr int NAME_SIZE = 80; // 79 characters and a NUL
constexpr int SCAN_BUSES = 16;
constexpr int SCAN_SLOTS = 256;

enum NameKind {
    NAME_VENDOR = 0,
    NAME_DEVICE,
    NAME_SUBSYSTEM_VENDOR,
    NAME_SUBSYSTEM,
    NAME_REVISION
};
constexpr int NAME_KINDS = 5;

struct DeviceRecord {
    uint8_t bus;
    uint8_t slot; // SlotByte: device in bits 0..4, function in bits 5..7
    uint16_t ids[NAME_KINDS];
    char names[NAME_KINDS][NAME_SIZE];
    const char *className;
    const char *subClassName;
    const char *progIfName;
};

struct DeviceTable {
    DeviceRecord records[MAX_DEVICES];
    uint16_t count;
    uint16_t current; // 1-based device number on display
};

// Empties the table: no records, device 1 current.
void resetDeviceTable(DeviceTable &table);

// Reads all 16 x 256 bus/slot pairs and stores the first 32 that answer.
void scanDevices(ConfigChannel &channel, DeviceTable &table);

// Told about each function that cannot be read while a view walks the table.
class ReadFailureHandler {
  public:
    virtual ~ReadFailureHandler() = default;
    virtual void readFailed(const DeviceRecord &record) = 0;
};

// "Unable to obtain PCI information for\nBus: %d,  Device: %d,  Function: %d"
void formatReadFailure(const DeviceRecord &record, char *text, int size);
