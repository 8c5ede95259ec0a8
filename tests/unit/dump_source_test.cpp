#include "access/dump_source.h"

#include "golden.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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

// A source over `text` in a file; open's message with the file named DUMP.
struct Dump {
    std::string path = testing_support::tempPath("dump.txt");
    DumpSource source{path.c_str()};
    std::string error;
    bool opened;
    explicit Dump(const std::string &text) {
        testing_support::writeBytes(path, text);
        char message[SOURCE_ERROR_SIZE] = "";
        opened = source.open(message, sizeof message);
        error = message;
        if (error.find(path) != std::string::npos)
            error.replace(error.find(path), path.size(), "DUMP");
    }
    // The seed of the function at bus/slot, or -1 when the source has none.
    int seed(uint8_t bus, uint8_t slot) {
        uint8_t b[256];
        if (!source.read(bus, slot, b))
            return -1;
        for (int i = 1; i < 256; ++i)
            if (b[i] != uint8_t(b[0] + i))
                return -2;
        return b[0];
    }
};

TEST(DumpSource, ServesEveryCompleteFunctionOfDomainZero) {
    std::string text = "02:00.1 Ethernet controller\n" + hexLines(256, 3) + "\n" +
                       "00:00.0 Host bridge: Example Corp Device 1234\n"
                       "\tSubsystem: Example Corp Device 0001\n" +
                       hexLines(256, 0) + "\n0001:00:00.0 Bridge\n" + hexLines(256, 9) +
                       "\n0000:00:1f.3 Audio device: Example\n" + hexLines(4096, 7);
    std::string crlf; // and with CR LF line ends, the same
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    for (const std::string &t : {text, crlf}) {
        Dump dump(t);
        ASSERT_TRUE(dump.opened) << dump.error;
        EXPECT_EQ(dump.seed(0, makeSlot(0, 0)), 0);
        EXPECT_EQ(dump.seed(0, makeSlot(31, 3)), 7);
        EXPECT_EQ(dump.seed(2, makeSlot(0, 1)), 3);
        for (auto [bus, slot] : {std::pair{0, makeSlot(1, 0)}, {2, makeSlot(0, 0)}, {1, 1}})
            EXPECT_EQ(dump.seed(uint8_t(bus), slot), -1) << bus << "/" << int(slot);
        ASSERT_EQ(dump.source.notes().size(), 1u);
        EXPECT_NE(dump.source.notes()[0].find(
                      ":38: 0001:00:00.0 is outside PCI domain 0 and is left out"),
                  std::string::npos)
            << dump.source.notes()[0];
    }
}

// The malformed dumps of tests/data/bad-dumps, each refused with the file and
// the line named, as golden text. A 1Ah byte ends a dump, so one of them opens.
TEST(DumpSource, RefusesMalformedDumpsNamingFileAndLine) {
    std::vector<std::filesystem::path> files;
    for (const auto &entry : std::filesystem::directory_iterator(TEST_DATA_DIR "/bad-dumps"))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::string text;
    for (const auto &file : files) {
        const std::string path = file.string();
        DumpSource source(path.c_str());
        char error[SOURCE_ERROR_SIZE] = "(opens)";
        source.open(error, sizeof error);
        std::string message = error;
        if (message.rfind(path, 0) == 0)
            message.replace(0, path.size(), "FILE");
        text += file.filename().string() + ": " + message + "\n";
    }
    testing_support::expectGolden("bad-dumps.txt", text);
    DumpSource missing("/nonexistent/dir/dump.txt");
    char error[SOURCE_ERROR_SIZE];
    EXPECT_FALSE(missing.open(error, sizeof error));
    EXPECT_STREQ(error, "cannot open dump /nonexistent/dir/dump.txt: No such file or directory");
}

} // namespace
