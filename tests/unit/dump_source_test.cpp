#include "access/dump_source.h"

#include "golden.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

// The hex lines lspci prints for `bytes` bytes of a function whose byte at
// offset i is (seed + i) & 0xFF.
std::string hexLines(int bytes, int seed) {
    std::string out;
    char text[16];
    for (int offset = 0; offset < bytes; offset += 16) {
        snprintf(text, sizeof text, "%02x:", offset);
        out += text;
        for (int i = 0; i < 16; ++i) {
            snprintf(text, sizeof text, " %02x", (seed + offset + i) & 0xFF);
            out += text;
        }
        out += "\n";
    }
    return out;
}

// A source opened on `text`, which must be a dump it accepts.
std::unique_ptr<DumpSource> openDump(const std::string &text) {
    static std::vector<std::string> paths; // the source keeps the path
    paths.push_back(testing_support::tempPath("dump.txt"));
    testing_support::writeBytes(paths.back(), text);
    auto source = std::make_unique<DumpSource>(paths.back().c_str());
    char error[SOURCE_ERROR_SIZE] = "";
    EXPECT_TRUE(source->open(error, sizeof error)) << error;
    return source;
}

std::string replaceAll(std::string text, char from, const std::string &to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, 1, to);
    return text;
}

const std::string HEADER = "00:02.0 VGA compatible controller\n";

// Dumps that hold functions: all of them are listed, whatever their domain
// and bus, in lspci's order, each with its own 256 bytes (its seed first);
// a slot of domain 0 reads the function of domain 0 only.
TEST(DumpSource, ListsAndServesEveryFunctionOfTheDump) {
    const struct {
        const char *what;
        std::string text, listed;
    } cases[] = {
        {"detail lines, extended lines, no blank line at the end",
         "00:00.0 Host bridge: Example Corp Device 1234\n\tSubsystem: Example Corp Device 0001\n"
         "\tFlags: fast devsel\n" +
             hexLines(256, 0) + "\n0000:00:1f.3 Audio device: Example\n" + hexLines(4096, 7) +
             "\n02:00.1 Ethernet controller\n" + hexLines(256, 3),
         "0000:00:00.0=00 0000:00:1f.3=07 0000:02:00.1=03"},
        {"CR LF line ends", replaceAll("00:01.0 Bridge\n" + hexLines(256, 1), '\n', "\r\n"),
         "0000:00:01.0=01"},
        {"a byte 1Ah between two functions",
         "00:01.0 Bridge\n" + hexLines(256, 1) + "\n\x1a\n02:00.0 Audio\n" + hexLines(256, 0x20),
         "0000:00:01.0=01 0000:02:00.0=20"},
        {"a UTF-8 byte-order mark first", "\xEF\xBB\xBF" + HEADER + hexLines(256, 1),
         "0000:00:02.0=01"},
        {"tabs between the bytes", replaceAll(HEADER + hexLines(256, 1), ' ', "\t"),
         "0000:00:02.0=01"},
        {"a function on bus 81h only", "81:00.0 Bridge\n" + hexLines(256, 0x81), "0000:81:00.0=81"},
        {"other domains and buses, out of order",
         "0001:00:00.0 Bridge\n" + hexLines(256, 0x10) + "\n0000:10:00.1 Bridge\n" +
             hexLines(256, 0x30) + "\n0000:00:00.0 Bridge\n" + hexLines(256, 0x2F) +
             "\n10000:00:00.0 Bridge\n" + hexLines(256, 0x11),
         "0000:00:00.0=2f 0000:10:00.1=30 0001:00:00.0=10 10000:00:00.0=11"},
    };
    for (const auto &c : cases) {
        const auto source = openDump(c.text);
        std::vector<FunctionAddress> listed;
        source->listFunctions(listed);
        std::string seen;
        for (const FunctionAddress &at : listed) {
            uint8_t bytes[256], viaSlot[256];
            ASSERT_TRUE(source->readFunction(at, bytes)) << c.what;
            for (int i = 0; i < 256; ++i)
                ASSERT_EQ(bytes[i], (bytes[0] + i) & 0xFF) << c.what << ", offset " << i;
            const bool slot = source->read(at.bus, makeSlot(at.device, at.function), viaSlot);
            EXPECT_EQ(slot && memcmp(viaSlot, bytes, 256) == 0, at.domain == 0) << c.what;
            char name[24];
            formatFunctionAddress(at, name, 16);
            snprintf(name + strlen(name), 8, "=%02x", bytes[0]);
            seen += (seen.empty() ? "" : " ") + std::string(name);
        }
        EXPECT_EQ(seen, c.listed) << c.what;
        uint8_t bytes[256];
        EXPECT_FALSE(source->readFunction({2, 0, 0, 0}, bytes)) << c.what;
        EXPECT_FALSE(source->read(0, makeSlot(9, 0), bytes)) << c.what;
    }
}

// The message of a dump that does not open, its path shown as FILE.
std::string refusal(const std::string &path) {
    DumpSource source(path.c_str());
    char error[SOURCE_ERROR_SIZE] = "(opens)";
    source.open(error, sizeof error);
    std::string message = error;
    if (message.find(path) != std::string::npos)
        message.replace(message.find(path), path.size(), "FILE");
    return message;
}

// The malformed dumps of tests/data/bad-dumps, each refused with the file and
// the line named, as golden text (a byte 1Ah is data: one of them opens).
// kestrix.sys leaves out other domains, so their one case is here alone.
TEST(DumpSource, RefusesMalformedDumpsNamingFileAndLine) {
    std::vector<std::filesystem::path> files;
    for (const auto &entry : std::filesystem::directory_iterator(TEST_DATA_DIR "/bad-dumps"))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::string text;
    for (const auto &file : files)
        text += file.filename().string() + ": " + refusal(file.string()) + "\n";
    const std::string twice = testing_support::tempPath("twice.txt");
    const std::string function = "0001:00:02.0 VGA\n" + hexLines(256, 0) + "\n";
    testing_support::writeBytes(twice, function + function);
    text += "function twice in domain 1: " + refusal(twice) + "\n";
    testing_support::expectGolden("bad-dumps.txt", text);
}

// The deeper view gets the extended space where the dump has it; the scan's
// reads stay at 256 bytes. Extended lines cut short or repeated: the function
// serves its first 256 bytes, and a note says why.
TEST(DumpSource, ServesTheExtendedSpaceWhereTheDumpHasIt) {
    const struct {
        const char *what;
        std::string text;
        FunctionAddress at;
        size_t room, got;
        std::string note;
    } cases[] = {
        {"whole", "0001:00:00.0 Bridge\n" + hexLines(4096, 2), {1, 0, 0, 0}, 4096, 4096, ""},
        {"whole, read in part",
         "0001:00:00.0 Bridge\n" + hexLines(4096, 2),
         {1, 0, 0, 0},
         256,
         256,
         ""},
        {"none", HEADER + hexLines(256, 5), {0, 0, 2, 0}, 4096, 256, ""},
        {"cut short",
         HEADER + hexLines(4096, 0).erase(16 * 52 + 224 * 53) + "\n",
         {0, 0, 2, 0},
         4096,
         256,
         ":1: 0000:00:02.0 has 3584 of the 3840 bytes of extended configuration space "
         "(100h..fffh); only its first 256 bytes are used (capture it with lspci -xxxx)"},
        {"a byte twice",
         HEADER + hexLines(4096, 0) + "ff0: 00\n",
         {0, 0, 2, 0},
         4096,
         256,
         ":1: 0000:00:02.0 has bytes of its extended configuration space twice; only its "
         "first 256 bytes are used"},
    };
    for (const auto &c : cases) {
        const auto source = openDump(c.text);
        uint8_t buffer[4096];
        ASSERT_EQ(source->readFunctionSpace(c.at, buffer, c.room), c.got) << c.what;
        for (size_t i = 0; i < c.got; ++i)
            ASSERT_EQ(buffer[i], (buffer[0] + i) & 0xFF) << c.what << ", offset " << i;
        std::string notes;
        for (const std::string &note : source->extendedNotes())
            notes += note.substr(note.find(":1:"));
        EXPECT_EQ(notes, c.note) << c.what;
        EXPECT_EQ(source->readFunctionSpace({0, 0, 3, 0}, buffer, 4096), 0u) << c.what;
    }
}

} // namespace
