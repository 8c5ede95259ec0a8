// Every function of the real captures in samples/, decoded, in a short form
// that holds what `lspci -F SAMPLE -vv` shows of the same bytes: capability
// ids and offsets, MSI and MSI-X vectors, the PCI Express port and link,
// bridge buses and windows, and the base address registers with 64-bit
// pairs joined; and the extended capabilities of the 4096-byte captures. The
// expected text is golden data (tests/data/decode-samples.txt).
#include "decode/capability.h"
#include "decode/header_layout.h"
#include "golden.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A function of a capture with as many bytes as it holds: 256, or 4096
// for `lspci -xxxx`. The product's dump reader keeps only the first 256.
struct Function {
    std::string address;
    std::vector<uint8_t> bytes;
};

// Header lines "[DDDD:]BB:DD.F text", hex lines "OFF: xx xx ...".
std::vector<Function> readCapture(const std::filesystem::path &path) {
    std::vector<Function> functions;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        unsigned offset = 0;
        int used = 0;
        if (std::sscanf(line.c_str(), "%x: %n", &offset, &used) == 1 && used > 3 &&
            !functions.empty()) {
            std::vector<uint8_t> &bytes = functions.back().bytes;
            std::istringstream hex(line.substr(size_t(used)));
            for (unsigned value; hex >> std::hex >> value; ++offset) {
                if (bytes.size() <= offset)
                    bytes.resize(offset + 1);
                bytes[offset] = uint8_t(value);
            }
        } else if (!line.empty() && line.find(' ') != std::string::npos) {
            functions.push_back({line.substr(0, line.find(' ')), {}});
        }
    }
    return functions;
}

class Text {
  public:
    template <typename... Args> void line(const char *format, Args... args) {
        char buffer[256];
        std::snprintf(buffer, sizeof buffer, format, args...);
        text += buffer;
        text += '\n';
    }
    std::string text;
};

const char *const BAR_KINDS[] = {"io", "mem32", "mem1M", "mem64", "mem-reserved"};

void window(Text &out, const char *name, const BridgeWindow &w) {
    if (w.open)
        out.line("  %s %llx-%llx%s", name, (unsigned long long)w.base, (unsigned long long)w.limit,
                 w.wide ? " wide" : "");
    else
        out.line("  %s closed%s", name, w.wide ? " wide" : "");
}

void capability(Text &out, const Capability &c) {
    char fields[160] = "";
    switch (c.kind) {
    case CapabilityKind::PowerManagement:
        std::snprintf(fields, sizeof fields, " v%u", c.version);
        break;
    case CapabilityKind::Msi:
        std::snprintf(fields, sizeof fields, " %u/%u%s%s%s", c.msi.vectorsEnabled,
                      c.msi.vectorsCapable, c.msi.enabled ? " enabled" : "",
                      c.msi.address64 ? " 64-bit" : "", c.msi.perVectorMasking ? " masking" : "");
        break;
    case CapabilityKind::Msix:
        std::snprintf(fields, sizeof fields, " %u%s table %u:%x pba %u:%x", c.msix.tableSize,
                      c.msix.enabled ? " enabled" : "", c.msix.tableBir, c.msix.tableOffset,
                      c.msix.pbaBir, c.msix.pbaOffset);
        break;
    case CapabilityKind::PciExpress:
        std::snprintf(fields, sizeof fields, " v%u %s", c.pcie.version,
                      pciePortTypeName(c.pcie.portType));
        if (c.pcie.hasLink)
            std::snprintf(fields + strlen(fields), sizeof fields - strlen(fields),
                          " link %u MT/s x%u of %u MT/s x%u", linkSpeedMts(c.pcie.linkSpeed),
                          c.pcie.linkWidth, linkSpeedMts(c.pcie.maxLinkSpeed), c.pcie.maxLinkWidth);
        break;
    case CapabilityKind::VendorSpecific:
        std::snprintf(fields, sizeof fields, " length %u", c.vendor.length);
        break;
    case CapabilityKind::Aer:
        std::snprintf(fields, sizeof fields, " severity %08x%s", c.aer.uncorrectableSeverity,
                      c.aer.hasRoot ? " with root registers" : "");
        break;
    case CapabilityKind::SerialNumber:
        std::snprintf(fields, sizeof fields, " %016llx", (unsigned long long)c.serial.serial);
        break;
    case CapabilityKind::VendorSpecificExtended:
        std::snprintf(fields, sizeof fields, " id %04x rev %u length %u", c.vendorExtended.vendorId,
                      c.vendorExtended.revision, c.vendorExtended.length);
        break;
    case CapabilityKind::Acs:
        std::snprintf(fields, sizeof fields, " capabilities %02x control %02x", c.acs.capabilities,
                      c.acs.control);
        break;
    default: break;
    }
    out.line("  cap %03x id %02x %s%s%s", c.offset, c.id, c.name ? c.name : "unknown", fields,
             c.truncated ? " truncated" : "");
}

void describe(Text &out, const Function &f) {
    const ConfigSpace space{f.bytes.data(), f.bytes.size()};
    out.line("%s header type %02x, %u bytes", f.address.c_str(), space.u8(0x0E),
             unsigned(space.size));
    const BarList bars = decodeBars(space);
    for (unsigned i = 0; i < bars.count; ++i) {
        const Bar &b = bars.bars[i];
        if (b.present)
            out.line("  bar %u %s%s %llx%s", b.index, BAR_KINDS[int(b.kind)],
                     b.prefetchable ? " prefetchable" : "", (unsigned long long)b.address,
                     b.upperMissing ? " upper half missing" : "");
    }
    switch (headerLayout(space.u8(0x0E))) {
    case HeaderLayout::Bridge: {
        const BridgeHeader b = decodeBridge(space);
        out.line("  buses %02x %02x %02x", b.primaryBus, b.secondaryBus, b.subordinateBus);
        window(out, "io", b.io);
        window(out, "memory", b.memory);
        window(out, "prefetchable", b.prefetchable);
        break;
    }
    case HeaderLayout::CardBus: {
        const CardBusHeader c = decodeCardBus(space);
        out.line("  buses %02x %02x %02x", c.pciBus, c.cardBus, c.subordinateBus);
        const char *const names[] = {"memory 0", "memory 1", "io 0", "io 1"};
        const BridgeWindow *windows[] = {&c.memory[0], &c.memory[1], &c.io[0], &c.io[1]};
        for (unsigned i = 0; i < 4; ++i)
            window(out, names[i], *windows[i]);
        break;
    }
    default: break;
    }
    const uint8_t portType = pciePortTypeOf(space);
    for (CapabilitySpace which : {CapabilitySpace::Pci, CapabilitySpace::Extended}) {
        CapabilityWalk walk(space, which);
        for (CapabilityEntry e; walk.next(e);)
            capability(out, decodeCapability(space, e, portType));
        const bool emptyExtended =
            which == CapabilitySpace::Extended && walk.stop() == WalkStop::NoList;
        if (walkStopIsFault(walk.stop()) || emptyExtended)
            out.line("  %s list: %s", which == CapabilitySpace::Pci ? "PCI" : "extended",
                     walkStopText(walk.stop()));
    }
}

TEST(DecodeSamples, EveryFunctionOfEverySample) {
    std::vector<std::filesystem::path> files;
    for (const auto &entry : std::filesystem::directory_iterator(SAMPLES_DIR))
        if (entry.path().extension() == ".txt")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    Text out;
    for (const auto &path : files) {
        out.line("== %s", path.filename().string().c_str());
        for (const Function &f : readCapture(path)) {
            ASSERT_TRUE(f.bytes.size() == 256 || f.bytes.size() == 4096) << f.address;
            describe(out, f);
        }
    }
    testing_support::expectGolden("decode-samples.txt", out.text);
}

} // namespace
