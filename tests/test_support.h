// Helpers shared by the unit tests: temporary files and a scripted source.
#pragma once

#include "access/dump_source.h"
#include "header/config_header.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

// A fresh file name in the system's temporary folder, unique per call.
inline std::string tempPath(const std::string &name) {
    static int counter = 0;
    auto dir = std::filesystem::temp_directory_path();
    return (dir / ("lumivar-test-" + std::to_string(counter++) + "-" + name)).string();
}

inline void writeBytes(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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

// The rows of a table of cases in tests/data: one case a line, its fields
// split at '|'; lines that start with '#' are comments.
inline std::vector<std::vector<std::string>> readCases(const std::string &path) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(readBytes(path));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        rows.emplace_back();
        for (size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
            end = line.find('|', start);
            rows.back().push_back(line.substr(start, end - start));
        }
    }
    return rows;
}

// text with the escapes \n \r \t \0 \\ and \xHH turned into their bytes, and
// \{N*C} into N times C.
inline std::string unescape(const std::string &text) {
    static const std::string escapes = "nrt0\\", bytes("\n\r\t\0\\", 5);
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
        } else if (text[++i] == 'x') {
            out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else if (text[i] == '{' && text.find('*', i) < text.find('}', i)) { // \{N*C}
            const size_t star = text.find('*', i);
            out.append(std::stoul(text.substr(i + 1)), text[star + 1]);
            i = star + 2;
        } else {
            out += bytes.at(escapes.find(text[i]));
        }
    }
    return out;
}

// A header with the given identifiers; everything else zero.
inline ConfigHeader makeHeader(uint16_t vendor, uint16_t device, uint32_t classCode = 0) {
    ConfigHeader h{};
    h.VendorId = vendor;
    h.DeviceId = device;
    std::memcpy(h.bytes() + 8, &classCode, 4);
    return h;
}

// The example network controller of the report tests, the one function of
// tests/data/worked-example.dump: placeholder identifiers 1234h/5678h.
inline ConfigHeader exampleHeader() {
    static const ConfigHeader example = [] {
        DumpSource dump(TEST_DATA_DIR "/worked-example.dump");
        char error[SOURCE_ERROR_SIZE] = "";
        ConfigHeader h{};
        if (!dump.open(error, sizeof error) || !dump.read(0, makeSlot(9, 0), h.bytes())) {
            std::fprintf(stderr, "no example function: %s\n", error);
            std::abort();
        }
        return h;
    }();
    return example;
}

// A source that answers for the functions it was given and counts reads.
class FakeSource : public ConfigSource {
  public:
    void add(unsigned bus, unsigned slot, const ConfigHeader &h) { functions[{bus, slot}] = h; }
    bool open(char *, size_t) override { return true; }
    bool read(uint8_t bus, uint8_t slot, uint8_t *buffer) override {
        ++reads;
        auto it = functions.find({bus, slot});
        if (it == functions.end() || failing)
            return false;
        std::memcpy(buffer, it->second.bytes(), CONFIG_SPACE_SIZE);
        return true;
    }
    void close() override { ++closes; }

    std::map<std::pair<unsigned, unsigned>, ConfigHeader> functions;
    int reads = 0, closes = 0;
    bool failing = false;
};

} // namespace testing_support
