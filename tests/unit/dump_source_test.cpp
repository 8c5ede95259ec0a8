#include "access/dump_source.h"
#include "report/dump_writer.h"

#include "base/text_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

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
};

OpenResult openDump(const std::string &text, DumpSource **keep = nullptr) {
    const std::string path = tempPath("dump.txt");
    writeBytes(path, text);
    static std::string lastPath;
    lastPath = path;
    auto *source = new DumpSource(lastPath.c_str());
    char error[SOURCE_ERROR_SIZE] = "";
    OpenResult r{source->open(error, sizeof error), error};
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

std::string withCrLf(const std::string &text) {
    std::string crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
}

std::string tabsFor(std::string text) {
    for (char &c : text)
        c = c == ' ' ? '\t' : c;
    return text;
}

std::string addresses(const std::vector<FunctionAddress> &list) {
    std::string out;
    for (const FunctionAddress &at : list) {
        char name[16];
        formatFunctionAddress(at, name, sizeof name);
        out += out.empty() ? name : std::string(" ") + name;
    }
    return out;
}

// Dumps that hold functions: all of them are listed, whatever their domain
// and bus, in lspci's order, and each reads back with its own bytes.
struct GoodDump {
    const char *what;
    std::string text;
    std::string listed;
};

const GoodDump GOOD_DUMPS[] = {
    {"CR LF line ends", withCrLf("00:01.0 Bridge\n" + hexLines(256, 1) + "\n"), "0000:00:01.0"},
    {"a byte 1Ah between two functions",
     "00:01.0 Bridge\n" + hexLines(256, 1) + "\n\x1a\n02:00.0 Audio\n" + hexLines(256, 0x20),
     "0000:00:01.0 0000:02:00.0"},
    {"a UTF-8 byte-order mark first",
     "\xEF\xBB\xBF"
     "00:01.0 Bridge\n" +
         hexLines(256, 1),
     "0000:00:01.0"},
    {"tabs between the bytes", "00:01.0\tBridge\n" + tabsFor(hexLines(256, 1)), "0000:00:01.0"},
    {"a function on bus 81h only", "81:00.0 Bridge\n" + hexLines(256, 0x81), "0000:81:00.0"},
    {"other domains and buses, out of order",
     "0001:00:00.0 Bridge\n" + hexLines(256, 0x10) + "\n0000:10:00.1 Bridge\n" +
         hexLines(256, 0x30) + "\n0000:00:1f.0 Bridge\n" + hexLines(256, 0x2F) +
         "\n10000:00:00.0 Bridge\n" + hexLines(256, 0x11),
     "0000:00:1f.0 0000:10:00.1 0001:00:00.0 10000:00:00.0"},
};

TEST(DumpSource, ListsAndServesEveryFunctionOfTheDump) {
    for (const GoodDump &c : GOOD_DUMPS) {
        DumpSource *source = nullptr;
        const OpenResult r = openDump(c.text, &source);
        ASSERT_TRUE(r.ok) << c.what << ": " << r.error;
        std::vector<FunctionAddress> listed;
        source->listFunctions(listed);
        EXPECT_EQ(addresses(listed), c.listed) << c.what;
        for (const FunctionAddress &at : listed) {
            uint8_t buffer[256];
            ASSERT_TRUE(source->readFunction(at, buffer)) << c.what;
            // Each function's bytes start at a seed that is unique in its dump.
            for (const FunctionAddress &other : listed) {
                uint8_t theirs[256];
                source->readFunction(other, theirs);
                EXPECT_EQ(memcmp(buffer, theirs, 256) == 0, at == other) << c.what;
            }
        }
        uint8_t buffer[256];
        EXPECT_FALSE(source->readFunction({2, 0, 0, 0}, buffer)) << c.what;
        delete source;
    }
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
     "DUMP:2: line longer than 1024 characters: no lspci dump has one"},
    {"any line that is far too long", HEADER + hexLines(256, 0) + std::string(3000, 'x'),
     "DUMP:18: line longer than 1024 characters: no lspci dump has one"},
    {"a byte 1Ah inside a hex line", HEADER + "00: 86\x1a 80\n", ""},
    {"a domain with a device beyond 1f", "0001:00:20.0 Bridge\n",
     "DUMP:1: 0001:00:20.0 is no PCI address: device numbers run to 1f, functions to 7"},
    {"function twice outside domain 0",
     "0001:00:02.0 VGA\n" + hexLines(256, 0) + "\n0001:00:02.0 VGA\n" + hexLines(256, 1),
     "DUMP:19: 0001:00:02.0 appears twice (first on line 1)"},
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

TEST(DumpSource, ADomainZeroSlotReadsDomainZeroOnly) {
    const std::string text = "0001:00:00.0 Bridge\n" + hexLines(256, 0) + "\n" +
                             "0000:00:00.0 Bridge\n" + hexLines(256, 5) + "\n";
    DumpSource *source = nullptr;
    const OpenResult r = openDump(text, &source);
    ASSERT_TRUE(r.ok) << r.error;
    uint8_t buffer[256];
    ASSERT_TRUE(source->read(0, 0, buffer));
    EXPECT_EQ(buffer[0], 5);
    delete source;
}

// The deeper view gets the extended space where the dump has it; the scan's
// reads stay at 256 bytes.
TEST(DumpSource, ServesTheExtendedSpaceWhereTheDumpHasIt) {
    const std::string text =
        "0001:00:00.0 Bridge\n" + hexLines(4096, 2) + "\n" + HEADER + hexLines(256, 5) + "\n";
    DumpSource *source = nullptr;
    ASSERT_TRUE(openDump(text, &source).ok);
    const struct {
        FunctionAddress at;
        size_t room, got;
        int seed;
    } reads[] = {
        {{1, 0, 0, 0}, 4096, 4096, 2},
        {{1, 0, 0, 0}, 256, 256, 2},
        {{0, 0, 2, 0}, 4096, 256, 5},
        {{0, 0, 3, 0}, 4096, 0, 0},
    };
    uint8_t buffer[4096];
    for (const auto &r : reads) {
        ASSERT_EQ(source->readFunctionSpace(r.at, buffer, r.room), r.got) << r.at.domain;
        for (size_t i = 0; i < r.got; ++i)
            ASSERT_EQ(buffer[i], (r.seed + i) & 0xFF) << "offset " << i;
    }
    delete source;
}

// Extended lines cut short or repeated: the function still serves its first
// 256 bytes, as before the extended space was kept, and the note says why.
TEST(DumpSource, IncompleteExtendedSpaceKeepsTheFirst256Bytes) {
    const struct {
        const char *what;
        std::string text, note;
    } rows[] = {
        {"cut short", HEADER + hexLines(4096, 0).erase(16 * 52 + 224 * 53) + "\n",
         "DUMP:1: 0000:00:02.0 has 3584 of the 3840 bytes of extended configuration space "
         "(100h..fffh); only its first 256 bytes are used (capture it with lspci -xxxx)"},
        {"a byte twice", HEADER + hexLines(4096, 0) + "ff0: 00\n",
         "DUMP:1: 0000:00:02.0 has bytes of its extended configuration space twice; only its "
         "first 256 bytes are used"},
    };
    for (const auto &r : rows) {
        DumpSource *source = nullptr;
        ASSERT_TRUE(openDump(r.text, &source).ok) << r.what;
        uint8_t buffer[4096];
        EXPECT_EQ(source->readFunctionSpace({0, 0, 2, 0}, buffer, sizeof buffer), 256u) << r.what;
        ASSERT_EQ(source->extendedNotes().size(), 1u) << r.what;
        std::string note = source->extendedNotes()[0];
        note.replace(0, note.find(":1:"), "DUMP");
        EXPECT_EQ(note, r.note) << r.what;
        delete source;
    }
}

// What cannot be opened or read as a dump: the message names the path (its
// start and end when it is long) and the cause.
TEST(DumpSource, OpenFailuresNameTheCause) {
    // Longer than a message holds with its cause; Windows allows 260 at most.
#ifdef _WIN32
    const int parts = 3, partLength = 50;
#else
    const int parts = 4, partLength = 200;
#endif
    const std::string folder = tempPath("folder"), deep = tempPath(std::string(40, 'd'));
    std::filesystem::create_directories(folder);
    std::string longPath = deep;
    for (int i = 0; i < parts; ++i)
        longPath += "/" + std::string(size_t(partLength), char('a' + i));
    const std::string lastPart(3, char('a' + parts - 1));
    std::filesystem::create_directories(longPath);
    writeBytes(longPath + "/bad.txt", HEADER + "00: zz\n");
    const struct {
        std::string path, start, end;
    } cases[] = {
        {"/nonexistent/dir/dump.txt", "cannot open dump /nonexistent/dir/dump.txt",
         ": No such file or directory"},
        {folder, "cannot open dump " + folder, ": Is a directory"},
#ifndef _WIN32
        {"/dev/zero", "cannot open dump /dev/zero", ": not a regular file or a pipe"},
#endif
        {longPath + "/bad.txt", deep.substr(0, 40),
         lastPart + "/bad.txt:2: malformed hex line: \"zz\" is not a two-digit hex byte"},
    };
    for (const auto &c : cases) {
        DumpSource source(c.path.c_str());
        char error[SOURCE_ERROR_SIZE];
        EXPECT_FALSE(source.open(error, sizeof error)) << c.path;
        const std::string message = error;
        EXPECT_EQ(message.rfind(c.start, 0), 0u) << message;
        EXPECT_GE(message.size(), c.end.size());
        EXPECT_EQ(message.substr(message.size() - std::min(message.size(), c.end.size())), c.end)
            << message;
    }
    std::filesystem::remove_all(deep);
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
    const struct {
        FunctionAddress at;
        const char *header;
    } cases[] = {
        {{0, 4, 9, 2}, "04:09.2 Network Controller: Unknown\r\n"},
        {{0x1A, 0x81, 0, 0}, "001a:81:00.0 Network Controller: Unknown\r\n"},
    };
    for (const auto &c : cases) {
        FILE *f = openTextFile(path.c_str(), "wt");
        writeDumpFunction(f, c.at, recordAt(4, 9, 2), h.bytes());
        fclose(f);
        const std::string text = testing_support::readBytes(path);
        EXPECT_EQ(text.substr(0, text.find('\n') + 1), c.header);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 18); // header, 16 lines, blank
        DumpSource source(path.c_str());
        char error[SOURCE_ERROR_SIZE];
        ASSERT_TRUE(source.open(error, sizeof error)) << error;
        uint8_t buffer[256];
        ASSERT_TRUE(source.readFunction(c.at, buffer));
        EXPECT_EQ(0, memcmp(buffer, h.bytes(), 256));
    }
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
    writeDumpFunction(f, {0, 0, 3, 0}, recordAt(0, 3, 0), a.bytes());
    writeDumpFunction(f, {0, 0, 3, 1}, recordAt(0, 3, 1), b.bytes());
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
