#include "scan/device_table.h"

#include "base/texts.h"
#include "header/config_header.h"
#include "naming/class_names.h"

#include <cstdio>
#include <cstring>

void resetDeviceTable(DeviceTable &table) {
    memset(&table, 0, sizeof table);
    for (DeviceRecord &r : table.records)
        r.className = r.subClassName = r.progIfName = "";
    table.current = 1;
}

void fillDeviceRecord(DeviceRecord &r, unsigned bus, unsigned slot, const ConfigHeader &h) {
    r.bus = uint8_t(bus);
    r.slot = uint8_t(slot);
    lookupClassNames(h.classCode(), &r.className, &r.subClassName, &r.progIfName);
    r.ids[NAME_VENDOR] = h.VendorId;
    r.ids[NAME_DEVICE] = h.DeviceId;
    r.ids[NAME_SUBSYSTEM_VENDOR] = h.SubsystemVendorId;
    r.ids[NAME_SUBSYSTEM] = h.SubsystemId;
    r.ids[NAME_REVISION] = h.RevisionId;
    snprintf(r.names[NAME_VENDOR], NAME_SIZE, "Unknown");
    r.names[NAME_DEVICE][0] = r.names[NAME_SUBSYSTEM_VENDOR][0] = r.names[NAME_SUBSYSTEM][0] = '\0';
}

void scanDevices(ConfigChannel &channel, DeviceTable &table) {
    // The slot loop runs over the SlotByte itself, so within a bus the order is
    // function-major: every function 0, then every function 1, and so on.
    for (unsigned bus = 0; bus < SCAN_BUSES; ++bus) {
        for (unsigned slot = 0; slot < SCAN_SLOTS; ++slot) {
            // Only the identifiers and the class code are kept: the views read
            // the function afresh, so the scan asks for no more than those words.
            ConfigHeader header{};
            if (!readScanWords(channel, bus, slot, &header))
                continue;
            if (table.count >= MAX_DEVICES)
                continue;
            fillDeviceRecord(table.records[table.count], bus, slot, header);
            ++table.count;
        }
    }
}

NameLoadResult loadNameDatabaseFrom(FILE *stream, DeviceTable &table) {
    FunctionNames *functions[MAX_DEVICES];
    for (int i = 0; i < table.count; ++i)
        functions[i] = &table.records[i];
    // The file in one block, where it can be mapped and the text rules
    // change nothing in it; else line by line.
    FileBlock block(stream);
    long lines = 0;
    if (block.mapped() && loadNameDatabaseBlock(block, functions, table.count, lines))
        return {TextEnd::END, lines, 0};
    return loadNameDatabaseFrom(stream, functions, table.count);
}

void formatReadFailure(const DeviceRecord &record, char *text, int size) {
    snprintf(text, size_t(size), MESSAGE_READ_FAILED, int(record.bus), int(slotDevice(record.slot)),
             int(slotFunction(record.slot)));
}
