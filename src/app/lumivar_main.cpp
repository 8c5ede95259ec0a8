// lumivar for Linux: lists the scanned functions of this machine or of a dump.
#include "access/device_table.h"
#include "access/dump_source.h"
#include "access/sysfs_source.h"
#include "header/config_header.h"

#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
    const char *from = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--from") == 0 && i + 1 < argc)
            from = argv[++i];
        else {
            fprintf(stderr, "usage: lumivar [--from DUMP]\n");
            return 2;
        }
    }
    SysfsSource sysfs;
    DumpSource dump(from != nullptr ? from : "");
    ConfigChannel channel;
    channel.source = from != nullptr ? static_cast<ConfigSource *>(&dump) : &sysfs;
    if (!openChannel(channel)) {
        fprintf(stderr, "lumivar: %s\n", channel.error);
        return 1;
    }
    static DeviceTable table;
    resetDeviceTable(table);
    scanDevices(channel, table);
    for (int i = 0; i < table.count; ++i) {
        const DeviceRecord &r = table.records[i];
        printf("%2d  %02x:%02x.%u  %04x:%04x  %s / %s / %s\n", i + 1, unsigned(r.bus),
               slotDevice(r.slot), slotFunction(r.slot), r.ids[NAME_VENDOR], r.ids[NAME_DEVICE],
               r.className, r.subClassName, r.progIfName);
    }
    closeChannel(channel);
    return 0;
}
