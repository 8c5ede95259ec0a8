#include "report/report.h"

#include "base/texts.h"
#include "naming/bit_names.h"

#include <cstdarg>
#include <cstring>

namespace {

constexpr int LINE_SIZE = 256;
constexpr int HEX_LINE_SIZE = 128;
const char SEPARATOR[] =
    "___________________________________________________________________________\n\n";

// Formats one line (or group of lines) into a bounded buffer and writes it.
void writeLine(FILE *stream, const char *format, ...) __attribute__((format(printf, 2, 3)));

void writeLine(FILE *stream, const char *format, ...) {
    char line[LINE_SIZE];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    fputs(line, stream);
}

// A byte that only means something when set: its value and what it stands
// for, or at 0 the fixed line with the bare label.
void writeScaledByte(FILE *stream, uint8_t raw, const char *label, unsigned value,
                     const char *unit) {
    if (raw != 0)
        writeLine(stream, "       %02Xh  %-16s%u %s\n", raw, label, value, unit);
    else
        writeLine(stream, "       00h  %s\n", label);
}

void writeBarLine(FILE *stream, int index, uint32_t raw) {
    const BarInfo b = decodeBar(raw);
    const bool memory = b.present && !b.isIo;
    writeLine(stream, " %08Xh  Base Address %d  %s%s%s%s%s%s\n", b.address, index,
              memory && b.memoryType == MEMORY_32BIT ? "32 Bit " : "",
              memory && b.memoryType == MEMORY_BELOW_1M ? "1M " : "",
              memory && b.memoryType == MEMORY_64BIT ? "64 Bit " : "",
              b.present && b.isIo ? "I/O Space " : "", memory ? "Memory Space " : "",
              memory && b.prefetchable ? "(Cacheable)" : "");
}

} // namespace

void reportFileName(char *path, size_t size, const char *directory, uint16_t index,
                    uint16_t count) {
    char name[32];
    if (reportsOneDevice(index, count))
        snprintf(name, sizeof name, "%cpci-%d.txt", PATH_SEPARATOR, index + 1);
    else
        snprintf(name, sizeof name, "%cpci-info.txt", PATH_SEPARATOR);
    if (strlen(directory) + strlen(name) >= size)
        directory = "";
    snprintf(path, size, "%s%s", directory, name);
}

void writeHexDumpLines(FILE *stream, uint16_t firstOffset, uint16_t count, const uint8_t *bytes) {
    count &= 0xFFFC;
    for (unsigned k = 0; k < count; k += 8) {
        const uint8_t *b = bytes + k;
        char line[HEX_LINE_SIZE];
        // A count that is a multiple of 4 but not of 8 ends in half a line.
        if (k + 8 <= count)
            snprintf(line, sizeof line,
                     "   %02Xh : %02Xh %02Xh %02Xh %02Xh  %02Xh %02Xh %02Xh %02Xh\n",
                     unsigned(firstOffset + k), b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]);
        else
            snprintf(line, sizeof line, "   %02Xh : %02Xh %02Xh %02Xh %02Xh\n",
                     unsigned(firstOffset + k), b[0], b[1], b[2], b[3]);
        fputs(line, stream);
    }
}

void writeFunctionBlock(FILE *stream, const DeviceRecord &r, const ConfigHeader &h) {
    writeLine(stream, "PCI Bus #%d,  PCI Device #%d,  Function #%d\n\n", int(r.bus),
              int(slotDevice(r.slot)), int(slotFunction(r.slot)));
    writeLine(stream, "     %04Xh  Vendor ID       %s\n", h.VendorId, r.names[NAME_VENDOR]);
    writeLine(stream, "     %04Xh  Device ID       %s\n", h.DeviceId, r.names[NAME_DEVICE]);
    writeLine(stream, "     %04Xh  Command\n", h.Command);
    writeBitNameLines(stream, CommandBitNames, h.Command);
    writeLine(stream, "     %04Xh  Status\n", h.Status);
    writeBitNameLines(stream, StatusBitNames, h.Status);
    writeLine(stream, "                            %04Xh - %s\n\n", h.Status & 0x0600u,
              devselName(h.Status));
    writeLine(stream, "       %02Xh  Revision ID     %s\n\n", h.RevisionId, r.names[NAME_REVISION]);
    writeLine(stream, "       %02Xh  Prog Interface  %s\n", h.ProgIf, r.progIfName);
    writeLine(stream, "       %02Xh  Sub Class       %s\n", h.SubClass, r.subClassName);
    writeLine(stream, "       %02Xh  Base Class      %s\n\n", h.BaseClass, r.className);
    writeScaledByte(stream, h.CacheLineSize, "Cache Size", cacheLineBytes(h.CacheLineSize),
                    "bytes");
    writeScaledByte(stream, h.LatencyTimer, "Latency Timer", h.LatencyTimer, "PCI clocks");
    writeLine(stream, "       %02Xh  BIST\n", h.Bist);
    writeLine(stream, "       %02Xh  Header Type     %s\n\n", h.HeaderType,
              functionRoleText(h.HeaderType, r.slot));
    for (int i = 0; i < 6; ++i)
        writeBarLine(stream, i, h.Bar[i]);
    writeLine(stream, " %08Xh  ROM Address\n\n", h.ExpansionRom);
    writeLine(stream, "       %02Xh  Capability Ptr  %s\n\n", h.CapabilitiesPtr,
              hasCapabilities(h.CapabilitiesPtr) ? "(PCI V2.2+)" : "");
    writeLine(stream, "     %04Xh  SubVendor ID    %s\n", h.SubsystemVendorId,
              r.names[NAME_SUBSYSTEM_VENDOR]);
    writeLine(stream, "     %04Xh  subsystem ID    %s\n\n", h.SubsystemId, r.names[NAME_SUBSYSTEM]);
    writeLine(stream, " %08Xh  CIS Pointer\n\n", h.CisPointer);
    if (h.InterruptPin != 0) {
        writeLine(stream, "       %02Xh  Interrupt Line  %u decimal\n", h.InterruptLine,
                  unsigned(h.InterruptLine));
        // Pin 0xC0 would make the letter a NUL; a '?' keeps the line readable.
        const char letter = interruptPinLetter(h.InterruptPin);
        writeLine(stream, "       %02Xh  Interrupt Pin   %c\n", h.InterruptPin,
                  letter != '\0' ? letter : '?');
    } else {
        writeLine(stream, "       00h  Interrupt Line\n");
        writeLine(stream, "       00h  Interrupt Pin\n");
    }
    writeScaledByte(stream, h.MaxLat, "Max Latency", latencyNs(h.MaxLat), "nanoseconds");
    writeScaledByte(stream, h.MinGnt, "Minimum Grant", latencyNs(h.MinGnt), "nanoseconds");
    fputs("\nHex Dump (Standard PCI Header)\n\n", stream);
    writeHexDumpLines(stream, 0, 64, h.bytes());
    fputs("\nHex Dump (Extended Space, Not Always Implemented)\n\n", stream);
    writeHexDumpLines(stream, 64, 192, h.bytes() + 64);
    fputs(SEPARATOR, stream);
}

void writeReportText(FILE *stream, ConfigChannel &channel, const DeviceTable &table, uint16_t index,
                     const ReportTime &time, ReadFailureHandler &failures) {
    writeLine(stream, "%s\n\n", APP_TITLE);
    writeLine(stream, "Local Report Generated %02d:%02d:%02d on %d/%d/%d\n\n", time.hour,
              time.minute, time.second, time.month, time.day, time.year);
    fputs(SEPARATOR, stream);
    const bool one = reportsOneDevice(index, table.count);
    const int first = one ? index : 0;
    const int last = one ? index + 1 : table.count;
    for (int i = first; i < last; ++i) {
        const DeviceRecord &r = table.records[i];
        ConfigHeader header;
        if (!readConfig(channel, r.bus, r.slot, &header)) {
            failures.readFailed(r);
            continue;
        }
        writeFunctionBlock(stream, r, header);
    }
}
