// Helpers shared by the unit tests: temporary files and a scripted source.
#pragma once

#include "access/config_source.h"
#include "header/config_header.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace testing_support {

// A fresh file name in the system's temporary folder, unique per call.
inline std::string tempPath(const std::string &name) {
    static int counter = 0;
    auto dir = std::filesystem::temp_directory_path();
    return (dir / ("lumivar-test-" + std::to_string(counter++) + "-" + name)).string();
}

inline void writeBytes(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

inline std::string readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Everything written to a stream by `write`, as the bytes that reach the file.
template <typename F> std::string capture(F write) {
    std::FILE *f = std::tmpfile();
    write(f);
    std::string out(size_t(std::ftell(f)), '\0');
    std::rewind(f);
    out.resize(std::fread(out.data(), 1, out.size(), f));
    std::fclose(f);
    return out;
}

// The name database of the worked example: thirteen lines, one of each case.
inline const char EXAMPLE_DATABASE[] = "; sample database\n"
                                       "V 1A2B Example Logic\n"
                                       "D 0100 Sample Bridge\n"
                                       "O 1A2B Example Logic\n"
                                       "S 0001 Bridge Board\n"
                                       "R 02 Stepping B\n"
                                       "D 0200 Sample Controller\n"
                                       "O 3C4D Demo Boards\n"
                                       "S 0005 Demo Boards\n"
                                       "V 5E6F Placeholder Systems\n"
                                       "D 0010 Test Adapter\n"
                                       "V 7D7D Absent Vendor\n"
                                       "D 0010 Never Considered\n";

// A header with the given identifiers; everything else zero.
inline ConfigHeader makeHeader(uint16_t vendor, uint16_t device, uint32_t classCode = 0) {
    ConfigHeader h{};
    h.VendorId = vendor;
    h.DeviceId = device;
    std::memcpy(h.bytes() + 8, &classCode, 4);
    return h;
}

// The example network controller of the report tests (the function of
// tests/data/worked-example.dump): placeholder identifiers 1234h/5678h.
inline ConfigHeader exampleHeader() {
    ConfigHeader h{};
    h.VendorId = 0x1234;
    h.DeviceId = 0x5678;
    h.Command = 0x0007;
    h.Status = 0x0290;
    h.RevisionId = 0x10;
    h.BaseClass = 0x02;
    h.CacheLineSize = 0x08;
    h.LatencyTimer = 0x40;
    h.Bar[0] = 0xFEBF0000;
    h.Bar[1] = 0x0000E001;
    h.SubsystemVendorId = 0x1234;
    h.SubsystemId = 0x0001;
    h.CapabilitiesPtr = 0xDC;
    h.InterruptLine = 0x0B;
    h.InterruptPin = 0x01;
    h.MinGnt = 0x02;
    h.MaxLat = 0x04;
    const uint8_t capability[] = {0x01, 0x00, 0x02, 0x06};
    std::memcpy(h.bytes() + 0xDC, capability, 4);
    return h;
}

// A source that answers for the functions it was given and counts reads.
class FakeSource : public ConfigSource {
  public:
    void add(unsigned bus, unsigned slot, const ConfigHeader &h) { functions[{bus, slot}] = h; }
    bool open(char *, size_t) override { return opens++, true; }
    bool read(uint8_t bus, uint8_t slot, uint8_t *buffer) override {
        ++reads;
        lastBus = bus;
        lastSlot = slot;
        auto it = functions.find({bus, slot});
        if (it == functions.end() || failing)
            return false;
        std::memcpy(buffer, it->second.bytes(), CONFIG_SPACE_SIZE);
        return true;
    }
    void close() override { ++closes; }

    std::map<std::pair<unsigned, unsigned>, ConfigHeader> functions;
    int opens = 0, reads = 0, closes = 0;
    unsigned lastBus = 0, lastSlot = 0;
    bool failing = false;
};

} // namespace testing_support
