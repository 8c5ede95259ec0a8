#include "report/dump_writer.h"

#include "base/hex_digit.h"
#include "header/config_header.h"

#include <initializer_list>

void writeDumpFunction(FILE *out, const FunctionAddress &at, const DeviceRecord &r,
                       const uint8_t *bytes) {
    char name[16];
    formatFunctionAddress(at, name, sizeof name);
    // The header line carries whatever names are known, as lspci does.
    fprintf(out, "%s %s:", at.domain == 0 ? name + 5 : name,
            r.className[0] != '\0' ? r.className : "Unclassified device");
    for (int kind : {NAME_VENDOR, NAME_DEVICE})
        if (r.names[kind][0] != '\0')
            fprintf(out, " %s", r.names[kind]);
    fputc('\n', out);
    // "oo: xx xx ... xx" a line of 16 bytes, and a blank line after them.
    char text[CONFIG_SPACE_SIZE / 16 * (3 + 16 * 3 + 1) + 1];
    char *p = text;
    for (int offset = 0; offset < CONFIG_SPACE_SIZE; offset += 16) {
        p = writeHexByte(p, unsigned(offset));
        *p++ = ':';
        for (int i = 0; i < 16; ++i) {
            *p++ = ' ';
            p = writeHexByte(p, bytes[offset + i]);
        }
        *p++ = '\n';
    }
    *p++ = '\n';
    fwrite(text, 1, size_t(p - text), out);
}

void saveDump(FILE *out, ConfigChannel &channel, std::vector<FunctionAddress> &unreadable) {
    std::vector<FunctionAddress> held;
    listFunctions(channel, held);
    unreadable.clear();
    for (const FunctionAddress &at : held) {
        ConfigHeader header;
        if (!readFunction(channel, at, &header)) {
            unreadable.push_back(at);
            continue;
        }
        DeviceRecord record{};
        fillDeviceRecord(record, at.bus, makeSlot(at.device, at.function), header);
        writeDumpFunction(out, at, record, header.bytes());
    }
}
