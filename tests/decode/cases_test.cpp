// Edge cases of the decoders that the captures of samples/ lack. Each line
// of tests/data/decode-cases.txt builds a configuration-space image from a
// few stores; how its capability lists end and its deeper view as text are
// golden data (tests/data/decode-cases-details.txt).
#include "decode/capability_walk.h"
#include "report/details_writers.h"
#include "report/function_fields.h"

#include "golden.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// "NAME | SIZE | OFFSET=VALUE ...", numbers in hex; the value's digits give
// the store's width (2, 4 or 8: a byte, a word, a dword), little-endian.
std::vector<uint8_t> parseImage(const std::string &line, std::string &name) {
    std::istringstream in(line);
    std::string size, stores;
    std::getline(std::getline(std::getline(in, name, '|'), size, '|'), stores);
    name.erase(name.find_last_not_of(' ') + 1);
    std::vector<uint8_t> bytes(std::stoul(size, nullptr, 16));
    std::istringstream words(stores);
    for (std::string store; words >> store;) {
        const size_t equals = store.find('=');
        const size_t at = std::stoul(store.substr(0, equals), nullptr, 16);
        const std::string value = store.substr(equals + 1);
        const unsigned width = unsigned(value.size() / 2);
        EXPECT_TRUE(width == 1 || width == 2 || width == 4) << name << ": " << store;
        for (unsigned i = 0; i < width && at + i < bytes.size(); ++i)
            bytes[at + i] = uint8_t(std::stoul(value, nullptr, 16) >> (8 * i));
    }
    return bytes;
}

// How one list ends. A walk past the most entries a list can hold (48 in
// the PCI list, 960 in the extended one) fails here instead of running on.
bool walkEnd(ConfigSpace space, CapabilitySpace which, std::string &out) {
    CapabilityWalk walk(space, which);
    unsigned entries = 0;
    for (CapabilityEntry e; entries <= 960 && walk.next(e);)
        ++entries;
    char text[160];
    std::snprintf(text, sizeof text, "%s list: %u entries, %s at %03Xh, pointer %03Xh\n",
                  which == CapabilitySpace::Pci ? "PCI" : "extended", entries,
                  walkStopText(walk.stop()), walk.stopOffset(), walk.stopPointer());
    out += text;
    return walk.stop() != WalkStop::Walking;
}

TEST(DecodeCases, EveryCaseAsText) {
    std::ifstream in(std::string(TEST_DATA_DIR) + "/decode-cases.txt");
    std::string text;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::string name;
        const std::vector<uint8_t> bytes = parseImage(line, name);
        const ConfigSpace space{bytes.data(), bytes.size()};
        text += "== " + name + "\n";
        bool ended = walkEnd(space, CapabilitySpace::Pci, text);
        ended = walkEnd(space, CapabilitySpace::Extended, text) && ended;
        ASSERT_TRUE(ended) << name << ": a walk does not stop";
        FunctionNames names{};
        functionIds(bytes.data(), bytes.size(), names);
        const FunctionView view{{}, bytes.data(), bytes.size(), &names, nullptr};
        text += testing_support::capture([&](FILE *out) {
            DetailsText details(out);
            describeFunction(view, details);
        });
    }
    ASSERT_FALSE(text.empty());
    testing_support::expectGolden("decode-cases-details.txt", text);
}

} // namespace
