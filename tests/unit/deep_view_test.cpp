// The deeper view of --details and --json: every sample of samples/ as text,
// chosen functions as JSON (golden data in tests/data), the selectors, and
// the JSON writer's strings.
#include "access/dump_source.h"
#include "report/deep_view.h"
#include "report/json_writer.h"

#include "golden.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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

TEST(DeepView, SelectorsAsLspciTakesThem) {
    const struct {
        const char *slot, *ids;
        bool ok;
        int64_t domain = -1;
        int bus = -1, device = -1, function = -1, vendor = -1, deviceId = -1;
    } rows[] = {
        {"", nullptr, true, -1, -1, -1, -1, -1, -1},
        {"1c.4", nullptr, true, -1, -1, 0x1C, 4, -1, -1},
        {"4:", nullptr, true, -1, 4, -1, -1, -1, -1},
        {"4:0", nullptr, true, -1, 4, 0, -1, -1, -1},
        {".3", nullptr, true, -1, -1, -1, 3, -1, -1},
        {"10000:e1:*.*", nullptr, true, 0x10000, 0xE1, -1, -1, -1, -1},
        {"::1.", nullptr, true, -1, -1, 1, -1, -1, -1},
        {nullptr, "8086:", true, -1, -1, -1, -1, 0x8086, -1},
        {nullptr, ":2F03", true, -1, -1, -1, -1, -1, 0x2F03},
        {"20.0", nullptr, false},
        {"0.8", nullptr, false},
        {"100:0.0", nullptr, false},
        {"1:2:3:4", nullptr, false},
        {"1.2.3", nullptr, false},
        {"g", nullptr, false},
        {"123456789:0:0", nullptr, false},
        {nullptr, "8086", false},
        {nullptr, "10000:1", false},
        {nullptr, "8086:1:2", false},
    };
    for (const auto &r : rows) {
        FunctionFilter f;
        char message[256] = "";
        const bool ok = r.slot != nullptr ? parseSlotFilter(r.slot, f, message, sizeof message)
                                          : parseIdFilter(r.ids, f, message, sizeof message);
        const std::string what = r.slot != nullptr ? r.slot : r.ids;
        ASSERT_EQ(ok, r.ok) << what << ": " << message;
        if (!ok) {
            EXPECT_NE(std::string(message).find("takes"), std::string::npos) << message;
            continue;
        }
        EXPECT_EQ(f.domain, r.domain) << what;
        EXPECT_EQ(f.bus, r.bus) << what;
        EXPECT_EQ(f.device, r.device) << what;
        EXPECT_EQ(f.function, r.function) << what;
        EXPECT_EQ(f.vendorId, r.vendor) << what;
        EXPECT_EQ(f.deviceId, r.deviceId) << what;
    }
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
    const std::string nested = capture([](FILE *f) {
        JsonWriter json(f);
        json.beginObject();
        json.beginArray("a", true);
        json.number(nullptr, 1);
        json.null(nullptr);
        json.endArray();
        json.beginObject("o");
        json.endObject();
        json.boolean("b", false);
        json.endObject();
        json.finish();
    });
    EXPECT_EQ(nested, "{\n  \"a\": [1, null],\n  \"o\": {},\n  \"b\": false\n}\n");
}

} // namespace
