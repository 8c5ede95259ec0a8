// The deeper view of --details and --json: every sample of samples/ as text,
// chosen functions as JSON, the selectors (golden data in tests/data), and
// the JSON writer's strings; the layout of its objects and arrays is that of
// details-chosen.json.
#include "access/dump_source.h"
#include "report/deep_view.h"
#include "report/json_writer.h"

#include "golden.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using testing_support::capture;

// A dump with region sizes, as sysfs gives them.
class SizedDump : public DumpSource {
  public:
    using DumpSource::DumpSource;
    bool readRegionSizes(const FunctionAddress &, RegionSizes &sizes) override {
        sizes = {{0x80000, 0, 0x20, 0, 0, 0, 0x40000}};
        return true;
    }
};

// Names in Windows-1252, a control byte among them, for the conversion to UTF-8.
const char NAMES[] = "V 8086 Caf\xE9 \x80 Corp\n"
                     "D 2f02 Root port \"1\" \\ \x01 \x9D end\n"
                     "V 1af4 Red Hat, Inc.\n";

std::string deepView(const std::string &sample, const char *slot, DeepViewFormat format,
                     bool sized = false, bool named = false) {
    const std::string path = std::string(SAMPLES_DIR) + "/" + sample;
    SizedDump sizedSource(path.c_str());
    DumpSource plainSource(path.c_str());
    ConfigChannel channel;
    channel.source = sized ? &sizedSource : &plainSource;
    EXPECT_TRUE(openChannel(channel)) << channel.error;
    FunctionFilter filter;
    char message[256];
    EXPECT_TRUE(slot == nullptr || parseSlotFilter(slot, filter, message, sizeof message));
    std::vector<FunctionAddress> unreadable;
    return capture([&](FILE *out) {
        FILE *names = nullptr;
        if (named) {
            names = std::tmpfile();
            fputs(NAMES, names);
            rewind(names);
        }
        writeDeepView(out, channel, filter, names, format, unreadable);
        if (names != nullptr)
            fclose(names);
    });
}

TEST(DeepView, EverySampleAsText) {
    std::vector<std::string> samples;
    for (const auto &entry : std::filesystem::directory_iterator(SAMPLES_DIR))
        if (entry.path().extension() == ".txt")
            samples.push_back(entry.path().filename().string());
    std::sort(samples.begin(), samples.end());
    ASSERT_FALSE(samples.empty());
    std::string text;
    for (const std::string &sample : samples)
        text += "== " + sample + "\n" + deepView(sample, nullptr, DeepViewFormat::Text);
    testing_support::expectGolden("details-samples.txt", text);
}

TEST(DeepView, ChosenFunctionsAsJson) {
    const struct {
        const char *sample;
        const char *slot;
        bool sized, named;
    } rows[] = {
        {"intel-x99-haswell-e-root-ports-xxxx.txt", "1.0", false, true}, // names in UTF-8
        {"intel-sandybridge-saa7134-upd720200-xxxx.txt", "4:0.0", false, false},
        {"via-apollo-pro266-cardbus-multifunction.txt", "0f.0", false, false}, // CardBus
        {"this-ci-vm.txt", "1.0", true, true},                                 // sizes
    };
    std::string json;
    for (const auto &r : rows) {
        json += std::string("== ") + r.sample + " -s " + r.slot + (r.sized ? ", sized" : "") +
                "\n" + deepView(r.sample, r.slot, DeepViewFormat::Json, r.sized, r.named);
        // Names and sizes as text too: UTF-8, sizes in units.
        if (r.named)
            json += deepView(r.sample, r.slot, DeepViewFormat::Text, r.sized, true);
    }
    testing_support::expectGolden("details-chosen.json", json);
}

// A part of a selector in hex, or "*" for any value.
std::string part(int64_t value) {
    char text[24] = "*";
    if (value >= 0)
        std::snprintf(text, sizeof text, "%llx", (long long)value);
    return text;
}

// Each line of tests/data/selectors.txt parsed: the parts it selects, or
// the message that refuses it.
TEST(DeepView, SelectorsAsLspciTakesThem) {
    std::ifstream in(std::string(TEST_DATA_DIR) + "/selectors.txt");
    std::string parsed;
    for (std::string line; std::getline(in, line);) {
        if (line.size() < 2 || line[0] == '#')
            continue;
        FunctionFilter f;
        char message[256] = "";
        const char *arg = line.c_str() + 2;
        parsed += line + " -> ";
        if (line[0] == 's' ? parseSlotFilter(arg, f, message, sizeof message)
                           : parseIdFilter(arg, f, message, sizeof message))
            parsed += part(f.domain) + ":" + part(f.bus) + ":" + part(f.device) + "." +
                      part(f.function) + " ids " + part(f.vendorId) + ":" + part(f.deviceId);
        else
            parsed += std::string("refused: ") + message;
        parsed += "\n";
    }
    testing_support::expectGolden("selectors-parsed.txt", parsed);
    FunctionFilter f;
    char message[256];
    ASSERT_TRUE(parseSlotFilter("2:1c", f, message, sizeof message));
    EXPECT_TRUE(selectsAddress(f, {7, 2, 0x1C, 5}));
    EXPECT_FALSE(selectsAddress(f, {0, 3, 0x1C, 0}));
    ASSERT_TRUE(parseIdFilter("8086:", f, message, sizeof message));
    EXPECT_TRUE(selectsIds(f, 0x8086, 0x1234));
    EXPECT_FALSE(selectsIds(f, 0x1AF4, 0x1234));
}

TEST(JsonWriter, StringsAreEscapedUtf8) {
    const struct {
        const char *ansi, *json;
    } rows[] = {
        {"plain", "\"plain\""},
        {"a \"b\" \\ c", "\"a \\\"b\\\" \\\\ c\""},
        {"\t\n\x01\x1F\x7F", "\"\\u0009\\u000a\\u0001\\u001f\\u007f\""},
        {"Caf\xE9 \xFF", "\"Caf\xC3\xA9 \xC3\xBF\""},
        {"\x80 \x99 \x9F", "\"\xE2\x82\xAC \xE2\x84\xA2 \xC5\xB8\""},
        {"\x81\x8D\x8F\x90\x9D", "\"\\u0081\\u008d\\u008f\\u0090\\u009d\""},
    };
    for (const auto &r : rows) {
        const std::string out = capture([&](FILE *f) {
            JsonWriter json(f);
            json.string(nullptr, r.ansi);
        });
        EXPECT_EQ(out, r.json) << r.ansi;
    }
}

} // namespace
