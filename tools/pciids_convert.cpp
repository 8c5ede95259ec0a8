#include "pciids_convert.h"
#include "base/code_page.h"
#include "base/hex_digit.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

char windows1252Of(uint32_t codePoint) {
    if (codePoint == '\t')
        return ' ';
    // Controls, C1 ones included: a NUL, CR, LF or 0x1A would break the line.
    if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint < 0xA0))
        return '?';
    return ansiFromCodePoint(codePoint);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Four hex digits at the start of `text`, followed by a blank or tab; the
// id and the rest after the digits, or false.
bool takeId(std::string_view &text, uint16_t &id) {
    if (text.size() < 5 || !isBlank(text[4]))
        return false;
    unsigned value = 0;
    for (size_t i = 0; i < 4; ++i) {
        const int d = hexDigitValue(text[i]);
        if (d < 0)
            return false;
        value = value * 16 + unsigned(d);
    }
    id = uint16_t(value);
    text.remove_prefix(4);
    return true;
}

void skipBlanks(std::string_view &text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
}

// The name after an id: blanks, then at least one character; trailing blanks
// are dropped.
bool takeName(std::string_view text, std::string &name) {
    skipBlanks(text);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    if (text.empty())
        return false;
    name = utf8ToWindows1252(text);
    return true;
}

} // namespace

std::string utf8ToWindows1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = uint8_t(text[i]);
        if (lead < 0x80) {
            out += windows1252Of(lead);
            ++i;
            continue;
        }
        // Well-formed sequences: the length and the range of the second byte
        // depend on the lead byte; later bytes are 80..BF.
        size_t length = 0;
        uint8_t low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0; // no overlong forms
            if (lead == 0xED)
                high = 0x9F; // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90;
            if (lead == 0xF4)
                high = 0x8F; // nothing above U+10FFFF
        }
        if (length == 0) { // a stray continuation byte or an impossible lead
            out += '?';
            ++i;
            continue;
        }
        uint32_t codePoint = lead & (0xFFu >> (length + 1));
        size_t taken = 1;
        for (; taken < length && i + taken < text.size(); ++taken) {
            const auto next = uint8_t(text[i + taken]);
            const bool fits =
                taken == 1 ? next >= low && next <= high : next >= 0x80 && next <= 0xBF;
            if (!fits)
                break;
            codePoint = (codePoint << 6) | (next & 0x3Fu);
        }
        // A broken sequence is one '?' for all its bytes that fitted; the byte
        // that broke it starts afresh.
        out += taken == length ? windows1252Of(codePoint) : '?';
        i += taken;
    }
    return out;
}

void PciIdsReader::skip(int level, const char *message) {
    ++skipped_;
    ++warnings_;
    skipBelow_ = level;
    if (onWarning_)
        onWarning_(line_, message);
}

bool PciIdsReader::parseVendor(std::string_view text) {
    PciIdsVendor vendor{};
    if (!takeId(text, vendor.id) || !takeName(text, vendor.name))
        return false;
    database_.vendors.push_back(std::move(vendor));
    return true;
}

bool PciIdsReader::parseDevice(std::string_view text) {
    PciIdsDevice device{};
    if (!takeId(text, device.id) || !takeName(text, device.name))
        return false;
    database_.vendors.back().devices.push_back(std::move(device));
    return true;
}

bool PciIdsReader::parseSubsystem(std::string_view text) {
    PciIdsSubsystem subsystem{};
    if (!takeId(text, subsystem.vendorId))
        return false;
    skipBlanks(text);
    if (!takeId(text, subsystem.subsystemId) || !takeName(text, subsystem.name))
        return false;
    database_.vendors.back().devices.back().subsystems.push_back(std::move(subsystem));
    return true;
}

void PciIdsReader::feedLine(std::string_view text, bool tooLong) {
    ++line_;
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    int level = 0;
    while (size_t(level) < text.size() && text[size_t(level)] == '\t')
        ++level;
    std::string_view body = text.substr(size_t(level));
    std::string_view rest = body;
    skipBlanks(rest);
    if (rest.empty())
        return; // blank lines end nothing
    if (rest.front() == '#') {
        // "#\tVersion: 2023.04.10" in the file's opening comment.
        rest.remove_prefix(1);
        skipBlanks(rest);
        if (level == 0 && database_.version.empty() && rest.starts_with("Version:")) {
            rest.remove_prefix(8);
            takeName(rest, database_.version);
        }
        return;
    }
    if (skipBelow_ >= 0 && level > skipBelow_) {
        ++skipped_; // under a line that was skipped with a warning
        return;
    }
    skipBelow_ = -1;
    if (level == 0 && body.size() >= 2 && body[0] == 'C' && isBlank(body[1])) {
        inClasses_ = true; // a device class; its lines are not ours
        haveVendor_ = haveDevice_ = false;
        return;
    }
    if (level > 0 && inClasses_)
        return; // sub-classes and programming interfaces
    if (tooLong) {
        skip(level, "line too long");
        return;
    }
    switch (level) {
    case 0:
        inClasses_ = haveVendor_ = haveDevice_ = false;
        if (!parseVendor(body))
            return skip(level, "malformed vendor line (want: 4 hex digits, blanks, name)");
        haveVendor_ = true;
        return;
    case 1:
        haveDevice_ = false;
        if (!haveVendor_)
            return skip(level, "device line outside a vendor");
        if (!parseDevice(body))
            return skip(level, "malformed device line (want: tab, 4 hex digits, blanks, name)");
        haveDevice_ = true;
        return;
    case 2:
        if (!haveDevice_)
            return skip(level, "subsystem line outside a device");
        if (!parseSubsystem(body))
            return skip(level, "malformed subsystem line (want: 2 tabs, 4 hex digits, blank, 4 "
                               "hex digits, blanks, name)");
        return;
    default: return skip(level, "line indented by more than 2 tabs");
    }
}

bool readPciIds(FILE *in, PciIdsReader &reader) {
    std::string line;
    line.reserve(PCIIDS_MAX_LINE);
    bool tooLong = false;
    bool pending = false; // a line has started
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, in)) > 0) {
        size_t start = 0;
        while (start < got) {
            const char *feed = static_cast<const char *>(memchr(buffer + start, '\n', got - start));
            const size_t end = feed != nullptr ? size_t(feed - buffer) : got;
            const size_t room = PCIIDS_MAX_LINE - line.size();
            if (end - start > room)
                tooLong = true;
            line.append(buffer + start, std::min(end - start, room));
            pending = true;
            if (feed == nullptr)
                break;
            reader.feedLine(line, tooLong);
            line.clear();
            tooLong = pending = false;
            start = end + 1;
        }
    }
    if (pending)
        reader.feedLine(line, tooLong); // last line without a line feed
    return ferror(in) == 0;
}

namespace {

class PcidevsWriter {
  public:
    PcidevsWriter(FILE *out, PcidevsStats &stats) : out_(out), stats_(stats) {}

    void comment(std::string_view text) {
        text = text.substr(0, PCIDEVS_MAX_LINE - 1);
        fwrite(text.data(), 1, text.size(), out_);
        putc('\n', out_);
    }

    void record(char tag, uint16_t id, std::string_view name) {
        if (name.size() > PCIDEVS_MAX_NAME) {
            name = name.substr(0, PCIDEVS_MAX_NAME);
            ++stats_.cutNames;
        }
        char head[8];
        snprintf(head, sizeof head, "%c\t%04x\t", tag, unsigned(id));
        fwrite(head, 1, 7, out_);
        if (!name.empty()) // an empty view may hold no pointer at all
            fwrite(name.data(), 1, name.size(), out_);
        putc('\n', out_);
    }

  private:
    FILE *out_;
    PcidevsStats &stats_;
};

} // namespace

bool writePcidevs(const PciIdsDatabase &database, FILE *out, PcidevsStats *stats,
                  bool selfSubsystems) {
    PcidevsStats local;
    PcidevsStats &s = stats != nullptr ? *stats : local;
    s = PcidevsStats{};

    // Subsystem vendors are named after pci.ids' own vendor list; where an id
    // appears twice the later entry wins, as it would in the loader.
    std::vector<std::pair<uint16_t, uint32_t>> byId; // (vendor id, index), sorted
    for (uint32_t i = 0; i < database.vendors.size(); ++i)
        byId.emplace_back(database.vendors[i].id, i);
    std::sort(byId.begin(), byId.end());
    auto vendorName = [&](uint16_t id) -> const std::string * {
        auto it = std::upper_bound(byId.begin(), byId.end(), std::pair(id, UINT32_MAX));
        if (it == byId.begin() || (--it)->first != id)
            return nullptr;
        return &database.vendors[it->second].name;
    };

    PcidevsWriter writer(out, s);
    writer.comment("; PCI vendor, device and subsystem names for Lumivar, converted by "
                   "pciids2pcidevs");
    writer.comment("; from pci.ids version " +
                   (database.version.empty() ? std::string("unknown") : database.version) +
                   " of the PCI ID Project, https://pci-ids.ucw.cz/,");
    writer.comment("; which may be distributed under the GNU General Public License (version 2 "
                   "or higher)");
    writer.comment("; or the 3-clause BSD License.");

    // Under each device, subsystems go out grouped by subsystem vendor (the
    // loader only matches an S line against the O line before it): groups in
    // order of their first subsystem, file order inside a group.
    std::vector<std::pair<uint32_t, uint32_t>> pairs;
    for (const PciIdsVendor &vendor : database.vendors) {
        writer.record('V', vendor.id, vendor.name);
        ++s.vendors;
        for (const PciIdsDevice &device : vendor.devices) {
            writer.record('D', device.id, device.name);
            ++s.devices;
            const auto &subs = device.subsystems;
            // Sorted as (subsystem vendor, index), then each vendor's pairs
            // are keyed by their first index and sorted again.
            pairs.clear();
            for (uint32_t i = 0; i < subs.size(); ++i)
                pairs.emplace_back(subs[i].vendorId, i);
            std::sort(pairs.begin(), pairs.end());
            uint32_t first = 0;
            for (size_t k = 0; k < pairs.size(); ++k) {
                if (k == 0 || subs[pairs[k].second].vendorId != subs[pairs[k - 1].second].vendorId)
                    first = pairs[k].second;
                pairs[k].first = first;
            }
            std::sort(pairs.begin(), pairs.end());
            for (size_t k = 0; k < pairs.size(); ++k) {
                const PciIdsSubsystem &sub = subs[pairs[k].second];
                if (k == 0 || pairs[k].first != pairs[k - 1].first) {
                    const std::string *name = vendorName(sub.vendorId);
                    writer.record('O', sub.vendorId, name != nullptr ? *name : std::string_view());
                    ++s.subsystemVendors;
                    if (name == nullptr)
                        ++s.unknownSubsystemVendors;
                }
                writer.record('S', sub.subsystemId, sub.name);
                ++s.subsystems;
            }
            // A function whose subsystem ids repeat its own vendor and device
            // ids is its own subsystem: pci.ids rarely lists that pair, and
            // lspci then names the subsystem after the device. The O line also
            // names the subsystem vendor of the many cards that carry their
            // chip maker's id there.
            const bool listed =
                !selfSubsystems || std::any_of(subs.begin(), subs.end(), [&](const auto &sub) {
                    return sub.vendorId == vendor.id && sub.subsystemId == device.id;
                });
            if (!listed) {
                writer.record('O', vendor.id, vendor.name);
                writer.record('S', device.id, device.name);
                ++s.selfSubsystems;
            }
        }
    }
    return fflush(out) == 0 && ferror(out) == 0;
}
