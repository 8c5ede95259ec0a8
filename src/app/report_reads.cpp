#include "app/report_reads.h"

#include "report/report.h"

#include <cstring>

void ReportReads::readAhead(const DeviceTable &table, uint16_t index) {
    const bool one = reportsOneDevice(index, table.count);
    const int first = one ? index : 0;
    const int last = one ? index + 1 : table.count;
    reads_.resize(size_t(last - first));
    for (int i = first; i < last; ++i) {
        Read &r = reads_[size_t(i - first)];
        r.bus = table.records[i].bus;
        r.slot = table.records[i].slot;
        r.taken = false;
        r.read = readConfig(channel_, r.bus, r.slot, r.bytes.data());
    }
}

bool ReportReads::read(uint8_t bus, uint8_t slot, uint8_t *buffer) {
    for (Read &r : reads_) {
        if (r.taken || r.bus != bus || r.slot != slot)
            continue;
        r.taken = true;
        if (r.read)
            memcpy(buffer, r.bytes.data(), r.bytes.size());
        return r.read;
    }
    return readConfig(channel_, bus, slot, buffer);
}
