#include "access/dump_source.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The hex lines lspci prints for `bytes` bytes of a function whose byte at
// offset i is (seed + i) & 0xFF.
std::string hexLines(int bytes, int seed) {
    std::string out;
    char text[8];
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

const std::string HEADER = "00:02.0 VGA compatible controller\n";
const std::string EMPTY =
    "DUMP: no PCI function with configuration space found (expected the output of lspci -xxx)";

TEST(DumpSource, RefusesMalformedDumpsNamingFileAndLine) {
    const struct {
        std::string text, error;
    } cases[] = {
        {HEADER + hexLines(64, 0) + "\n",
         "DUMP:1: 0000:00:02.0 has 64 of the 256 bytes of configuration space; capture it with "
         "lspci -xxx"},
        {HEADER + hexLines(256, 0).erase(52 * 4, 52),
         "DUMP:1: 0000:00:02.0 has 240 of the 256 bytes of configuration space; capture it with "
         "lspci -xxx"},
        {HEADER + "00: 86 80 zz 12\n",
         "DUMP:2: malformed hex line: \"zz 12\" is not a two-digit hex byte"},
        {HEADER + "00: 86 800 12\n",
         "DUMP:2: malformed hex line: \"800 12\" is not a two-digit hex byte"},
        {HEADER + "00:8680\n", "DUMP:2: malformed hex line: bytes must be separated by blanks"},
        {HEADER + "1000: 00\n", "DUMP:2: malformed hex line: offset beyond FFFh"},
        {HEADER + "ff8: 00 00 00 00 00 00 00 00 00\n",
         "DUMP:2: malformed hex line: bytes beyond offset FFFh"},
        {"00: 86 80\n",
         "DUMP:1: hex line outside a function: a header line \"BB:DD.F ...\" must come first"},
        {"00:20.0 Bridge\n" + hexLines(256, 0),
         "DUMP:1: 00:20.0 is no PCI address: device numbers run to 1f, functions to 7"},
        {HEADER + hexLines(256, 0) + "\n" + HEADER + hexLines(256, 1),
         "DUMP:19: 00:02.0 appears twice (first on line 1)"},
        {HEADER + hexLines(256, 0) + "00: 00\n", "DUMP:18: byte 00h of 0000:00:02.0 appears twice"},
        {HEADER + "00:" + std::string(3000, ' ') + "\n", "DUMP:2: malformed hex line: too long"},
        {"", EMPTY},
        {"hello\nworld\n", EMPTY},
        {HEADER + hexLines(256, 0) + "\x1a" + HEADER, ""}, // 1Ah ends the text
    };
    for (const auto &c : cases) {
        Dump dump(c.text);
        EXPECT_EQ(dump.opened, c.error.empty()) << c.error;
        EXPECT_EQ(dump.error, c.error);
    }
    DumpSource missing("/nonexistent/dir/dump.txt");
    char error[SOURCE_ERROR_SIZE];
    EXPECT_FALSE(missing.open(error, sizeof error));
    EXPECT_STREQ(error, "cannot open dump /nonexistent/dir/dump.txt: No such file or directory");
}

} // namespace
