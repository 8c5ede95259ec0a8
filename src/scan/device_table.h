// The inventory of scanned functions: at most 32, in scan order, with their
// identifiers and names. Configuration data itself is never kept here.
#pragma once

#include "access/config_channel.h"
#include "header/config_header.h"
#include "naming/name_database.h"

#include <cstdint>
#include <cstdio>

constexpr int MAX_DEVICES = 32;
constexpr int SCAN_BUSES = 16;
constexpr int SCAN_SLOTS = 256;

// ids and names come from FunctionNames.
struct DeviceRecord : FunctionNames {
    uint8_t bus;
    uint8_t slot; // SlotByte: device in bits 0..4, function in bits 5..7
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

// The record of the function at bus/slot as the scan stores it: identifiers,
// class names, "Unknown" as vendor name and the other names empty.
void fillDeviceRecord(DeviceRecord &record, unsigned bus, unsigned slot, const ConfigHeader &h);

// Reads all 16 x 256 bus/slot pairs and stores the first 32 that answer.
void scanDevices(ConfigChannel &channel, DeviceTable &table);

// Names the table's records from an open name-database stream.
NameLoadResult loadNameDatabaseFrom(FILE *stream, DeviceTable &table);

// Told about each function that cannot be read while a view walks the table.
class ReadFailureHandler {
  public:
    virtual ~ReadFailureHandler() = default;
    virtual void readFailed(const DeviceRecord &record) = 0;
};

// MESSAGE_READ_FAILED for the record.
void formatReadFailure(const DeviceRecord &record, char *text, int size);
