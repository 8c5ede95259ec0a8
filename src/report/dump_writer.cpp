#include "report/dump_writer.h"

#include "header/config_header.h"

#include <initializer_list>

void writeDumpFunction(FILE *out, const DeviceRecord &r, const uint8_t *bytes) {
    // The header line carries whatever names are known, as lspci does.
    fprintf(out, "%02x:%02x.%u %s:", unsigned(r.bus), slotDevice(r.slot), slotFunction(r.slot),
            r.className[0] != '\0' ? r.className : "Unclassified device");
    for (int kind : {NAME_VENDOR, NAME_DEVICE})
        if (r.names[kind][0] != '\0')
            fprintf(out, " %s", r.names[kind]);
    fputc('\n', out);
    for (int offset = 0; offset < CONFIG_SPACE_SIZE; offset += 16) {
        fprintf(out, "%02x:", offset);
        for (int i = 0; i < 16; ++i)
            fprintf(out, " %02x", bytes[offset + i]);
        fputc('\n', out);
    }
    fputc('\n', out);
}

void saveDump(FILE *out, ConfigChannel &channel, const DeviceTable &table,
              ReadFailureHandler &failures) {
    for (int i = 0; i < table.count; ++i) {
        const DeviceRecord &r = table.records[i];
        ConfigHeader header;
        if (!readConfig(channel, r.bus, r.slot, &header)) {
            failures.readFailed(r);
            continue;
        }
        writeDumpFunction(out, r, header.bytes());
    }
}
