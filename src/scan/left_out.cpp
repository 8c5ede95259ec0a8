#include "scan/left_out.h"

#include "header/config_header.h"

namespace {

constexpr int SHOWN_PER_REASON = 8; // a line, not a listing

enum Reason { OTHER_DOMAIN, HIGH_BUS, TABLE_FULL, UNREADABLE, REASONS };

const char *const REASON_TEXT[REASONS] = {
    "outside domain 0",
    "bus above 15",
    "beyond the 32 the table holds",
    "could not be read",
};

bool inTable(const FunctionAddress &at, const DeviceTable &table) {
    for (int i = 0; i < table.count; ++i)
        if (table.records[i].bus == at.bus &&
            table.records[i].slot == makeSlot(at.device, at.function))
            return true;
    return false;
}

} // namespace

std::string describeLeftOut(const std::vector<FunctionAddress> &held, const DeviceTable &table) {
    std::vector<FunctionAddress> left[REASONS];
    size_t total = 0;
    for (const FunctionAddress &at : held) {
        Reason reason;
        if (at.domain != 0)
            reason = OTHER_DOMAIN;
        else if (at.bus >= SCAN_BUSES)
            reason = HIGH_BUS;
        else if (inTable(at, table))
            continue;
        else
            reason = table.count >= MAX_DEVICES ? TABLE_FULL : UNREADABLE;
        left[reason].push_back(at);
        ++total;
    }
    if (total == 0)
        return "";
    std::string line = std::to_string(total) + (total == 1 ? " function lies outside the scan"
                                                           : " functions lie outside the scan");
    const char *before = " ";
    for (int r = 0; r < REASONS; ++r) {
        if (left[r].empty())
            continue;
        line += before;
        line += '(';
        line += REASON_TEXT[r];
        line += "):";
        before = "; ";
        for (size_t i = 0; i < left[r].size() && i < SHOWN_PER_REASON; ++i) {
            char name[16];
            formatFunctionAddress(left[r][i], name, sizeof name);
            line += i == 0 ? " " : ", ";
            line += name;
        }
        if (left[r].size() > SHOWN_PER_REASON)
            line += " and " + std::to_string(left[r].size() - SHOWN_PER_REASON) + " more";
    }
    return line;
}
