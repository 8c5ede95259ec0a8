#include "access/dump_source.h"
#include "report/dump_writer.h"

#include "base/text_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using testing_support::tempPath;
using testing_support::writeBytes;

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

struct OpenResult {
    bool ok;
    std::string error;
    std::vector<std::string> notes;
};

OpenResult openDump(const std::string &text, DumpSource **keep = nullptr) {
    const std::string path = tempPath("dump.txt");
    writeBytes(path, text);
    static std::string lastPath;
    lastPath = path;
    auto *source = new DumpSource(lastPath.c_str());
    char error[SOURCE_ERROR_SIZE] = "";
    OpenResult r{source->open(error, sizeof error), error, source->notes()};
    // Messages name the file; make them comparable.
    for (std::string *s : {&r.error}) {
        const size_t at = s->find(path);
        if (at != std::string::npos)
            s->replace(at, path.size(), "DUMP");
    }
    if (keep)
        *keep = source;
    else
        delete source;
    return r;
}

TEST(DumpSource, ServesEveryCompleteFunction) {
    const std::string text = "00:00.0 Host bridge: Example Corp Device 1234\n"
                             "\tSubsystem: Example Corp Device 0001\n"
                             "\tFlags: fast devsel\n" +
                             hexLines(256, 0) + "\n" + "0000:00:1f.3 Audio device: Example\n" +
                             hexLines(4096, 7) + "\n" + "02:00.1 Ethernet controller\n" +
                             hexLines(256, 3); // the last function ends at the end of the file
    DumpSource *source = nullptr;
    const OpenResult r = openDump(text, &source);
    ASSERT_TRUE(r.ok) << r.error;
    uint8_t buffer[256];
    const struct {
        uint8_t bus, slot;
        bool found;
        int seed;
    } cases[] = {
        {0, makeSlot(0, 0), true, 0},  {0, makeSlot(31, 3), true, 7}, {2, makeSlot(0, 1), true, 3},
        {0, makeSlot(1, 0), false, 0}, {2, makeSlot(0, 0), false, 0}, {1, makeSlot(0, 1), false, 0},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(source->read(c.bus, c.slot, buffer), c.found) << int(c.bus) << "/" << int(c.slot);
        if (c.found) {
            for (int i = 0; i < 256; ++i)
                ASSERT_EQ(buffer[i], (c.seed + i) & 0xFF) << "offset " << i;
        }
    }
    delete source;
}

TEST(DumpSource, CarriageReturnLineEndsReadTheSame) {
    std::string text = "00:01.0 Bridge\n" + hexLines(256, 9) + "\n";
    std::string crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_TRUE(openDump(crlf).ok) << openDump(crlf).error;
}

struct BadDump {
    const char *what;
    std::string text;
    std::string error;
};

const std::string HEADER = "00:02.0 VGA compatible controller\n";

const BadDump BAD_DUMPS[] = {
    {"64 bytes only (lspci -x)", HEADER + hexLines(64, 0) + "\n",
     "DUMP:1: 0000:00:02.0 has 64 of the 256 bytes of configuration space; capture it with "
     "lspci -xxx"},
    {"a gap in the middle", HEADER + hexLines(256, 0).erase(52 * 4, 52) + "\n",
     "DUMP:1: 0000:00:02.0 has 240 of the 256 bytes of configuration space; capture it with "
     "lspci -xxx"},
    {"a bad byte", HEADER + "00: 86 80 zz 12\n",
     "DUMP:2: malformed hex line: \"zz 12\" is not a two-digit hex byte"},
    {"a three-digit byte", HEADER + "00: 86 800 12\n",
     "DUMP:2: malformed hex line: \"800 12\" is not a two-digit hex byte"},
    {"bytes run together", HEADER + "00:8680\n", ""},
    {"offset beyond 4K", HEADER + "1000: 00\n", "DUMP:2: malformed hex line: offset beyond FFFh"},
    {"bytes beyond 4K", HEADER + "ff8: " + std::string(48, '0') + "\n", ""},
    {"hex line before any header", "00: 86 80\n",
     "DUMP:1: hex line outside a function: a header line \"BB:DD.F ...\" must come first"},
    {"device 20h", "00:20.0 Bridge\n" + hexLines(256, 0),
     "DUMP:1: 00:20.0 is no PCI address: device numbers run to 1f, functions to 7"},
    {"function twice", HEADER + hexLines(256, 0) + "\n" + HEADER + hexLines(256, 1),
     "DUMP:19: 00:02.0 appears twice (first on line 1)"},
    {"byte twice", HEADER + hexLines(256, 0) + "00: 00\n",
     "DUMP:18: byte 00h of 0000:00:02.0 appears twice"},
    {"empty file", "",
     "DUMP: no PCI function with configuration space found (expected the output of lspci -xxx)"},
    {"no dump at all", "hello\nworld\n",
     "DUMP: no PCI function with configuration space found (expected the output of lspci -xxx)"},
    {"a hex line that is far too long", HEADER + "00:" + std::string(3000, ' ') + "\n",
     "DUMP:2: malformed hex line: too long"},
};

TEST(DumpSource, RefusesMalformedDumpsNamingFileAndLine) {
    for (const BadDump &c : BAD_DUMPS) {
        const OpenResult r = openDump(c.text);
        EXPECT_FALSE(r.ok) << c.what;
        if (!c.error.empty())
            EXPECT_EQ(r.error, c.error) << c.what;
        else
            EXPECT_EQ(r.error.rfind("DUMP:2: malformed hex line", 0), 0u)
                << c.what << ": " << r.error;
    }
}

TEST(DumpSource, LeavesOutOtherDomainsWithANote) {
    const std::string text = "0001:00:00.0 Bridge\n" + hexLines(256, 0) + "\n" +
                             "0000:00:00.0 Bridge\n" + hexLines(256, 5) + "\n";
    DumpSource *source = nullptr;
    const OpenResult r = openDump(text, &source);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_NE(r.notes[0].find(":1: 0001:00:00.0 is outside PCI domain 0 and is left out"),
              std::string::npos)
        << r.notes[0];
    uint8_t buffer[256];
    ASSERT_TRUE(source->read(0, 0, buffer));
    EXPECT_EQ(buffer[0], 5);
    delete source;
}

TEST(DumpSource, MissingFileNamesTheCause) {
    DumpSource source("/nonexistent/dir/dump.txt");
    char error[SOURCE_ERROR_SIZE];
    EXPECT_FALSE(source.open(error, sizeof error));
    EXPECT_NE(std::string(error).find("cannot open dump /nonexistent/dir/dump.txt"),
              std::string::npos)
        << error;
}

DeviceRecord recordAt(unsigned bus, unsigned device, unsigned function) {
    DeviceRecord r{};
    r.bus = uint8_t(bus);
    r.slot = makeSlot(device, function);
    r.className = "Network Controller";
    r.subClassName = r.progIfName = "";
    snprintf(r.names[NAME_VENDOR], NAME_SIZE, "Unknown");
    return r;
}

TEST(DumpWriter, WritesWhatTheReaderReadsBack) {
    ConfigHeader h{};
    for (int i = 0; i < 256; ++i)
        h.bytes()[i] = uint8_t(255 - i);
    const std::string path = tempPath("saved.txt");
    FILE *f = openTextFile(path.c_str(), "wt");
    writeDumpFunction(f, recordAt(4, 9, 2), h.bytes());
    fclose(f);
    const std::string text = testing_support::readBytes(path);
    EXPECT_EQ(text.substr(0, text.find('\n') + 1), "04:09.2 Network Controller: Unknown\r\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 18); // header, 16 lines, blank
    DumpSource source(path.c_str());
    char error[SOURCE_ERROR_SIZE];
    ASSERT_TRUE(source.open(error, sizeof error)) << error;
    uint8_t buffer[256];
    ASSERT_TRUE(source.read(4, makeSlot(9, 2), buffer));
    EXPECT_EQ(0, memcmp(buffer, h.bytes(), 256));
}

#ifndef _WIN32
// pciutils reads what we write, and we read what it writes back.
TEST(DumpWriter, RoundTripThroughLspci) {
    if (std::system("command -v lspci >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "lspci (pciutils) is not installed";
    ConfigHeader a{}, b{};
    for (int i = 0; i < 256; ++i) {
        a.bytes()[i] = uint8_t(i * 7);
        b.bytes()[i] = uint8_t(i ^ 0x5A);
    }
    a.HeaderType = 0x80;
    const std::string saved = tempPath("ours.txt"), back = tempPath("theirs.txt");
    FILE *f = openTextFile(saved.c_str(), "wt");
    writeDumpFunction(f, recordAt(0, 3, 0), a.bytes());
    writeDumpFunction(f, recordAt(0, 3, 1), b.bytes());
    fclose(f);
    const std::string command = "lspci -F " + saved + " -xxx > " + back;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    DumpSource source(back.c_str());
    char error[SOURCE_ERROR_SIZE];
    ASSERT_TRUE(source.open(error, sizeof error)) << error;
    uint8_t buffer[256];
    ASSERT_TRUE(source.read(0, makeSlot(3, 0), buffer));
    EXPECT_EQ(0, memcmp(buffer, a.bytes(), 256));
    ASSERT_TRUE(source.read(0, makeSlot(3, 1), buffer));
    EXPECT_EQ(0, memcmp(buffer, b.bytes(), 256));
}
#endif

} // namespace
