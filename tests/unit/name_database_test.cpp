// The name database: the line reader, and the reader of a whole file in one
// block, which must name as the line reader does or decline and change
// nothing. The names of every case are golden text.
#include "naming/name_database.h"

#include "base/text_file.h"
#include "golden.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Ids = std::array<uint16_t, NAME_KINDS>; // vendor, device, sub vendor, subsystem, revision

std::string withCrLf(const std::string &text) {
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// Comment lines that bring the text to `offset` bytes; the last ends in a LF.
// They sit where the block reader steps by 64 bytes and by 4 KB.
std::string padTo(size_t offset, const std::string &before = "") {
    std::string text = before;
    while (offset - text.size() > 80)
        text += ";" + std::string(38, '-') + "\n";
    const size_t rest = offset - text.size();
    return text + (rest >= 2 ? ";" + std::string(rest - 2, '.') : "") + "\n";
}

struct Functions {
    std::vector<FunctionNames> names;
    std::vector<FunctionNames *> pointers;
    explicit Functions(const std::vector<Ids> &ids) : names(ids.size()) {
        for (size_t i = 0; i < ids.size(); ++i) {
            std::copy(ids[i].begin(), ids[i].end(), names[i].ids);
            strcpy(names[i].names[NAME_VENDOR], "Unknown");
            pointers.push_back(&names[i]);
        }
    }
    bool operator==(const Functions &other) const {
        for (size_t i = 0; i < names.size(); ++i)
            if (memcmp(names[i].names, other.names[i].names, sizeof names[i].names) != 0)
                return false;
        return true;
    }
};

// The names the line reader gives, how it ended, and what the block reader did.
std::string loadBoth(const std::vector<Ids> &ids, const std::string &text) {
    const std::string path = testing_support::tempPath("pcidevs.txt");
    testing_support::writeBytes(path, text);
    Functions byLine(ids), inOneBlock(ids);
    FILE *in = openTextFile(path.c_str(), "rt");
    EXPECT_NE(in, nullptr);
    long lines = 0;
    bool read;
    {
        FileBlock block(in);
        read =
            block.mapped()
                ? loadNameDatabaseBlock(block, inOneBlock.pointers.data(), int(ids.size()), lines)
                : loadNameDatabaseBlock(text.data(), text.size(), inOneBlock.pointers.data(),
                                        int(ids.size()), lines);
    }
    const NameLoadResult result = loadNameDatabaseFrom(in, byLine.pointers.data(), int(ids.size()));
    fclose(in);
    std::remove(path.c_str());
    EXPECT_TRUE(inOneBlock == (read ? byLine : Functions(ids))) << text;
    std::string out;
    for (const FunctionNames &f : byLine.names) {
        for (int k = 0; k < NAME_KINDS; ++k)
            out += std::string(k ? " [" : "[") + f.names[k] + "]";
        out += "\n";
    }
    const char *ends[] = {"reading", "end", "read error", "line too long", "too large"};
    out += std::string(ends[int(result.end)]) + " at line " + std::to_string(result.line);
    if (read)
        out += lines == result.line ? "; the block reader agrees" : "; the block's lines differ";
    return out + "\n";
}

// The worked example's functions, one with no ids, and one a branch leaves.
const std::vector<Ids> EXAMPLE = {{0x1A2B, 0x0100, 0x1A2B, 0x0001, 0x02},
                                  {0x1A2B, 0x0200, 0x3C4D, 0x0005, 0x01},
                                  {0x5E6F, 0x0010, 0x0000, 0x0000, 0x00},
                                  {0x0000, 0x0000, 0x0000, 0x0000, 0x00},
                                  {0x1A2B, 0x0100, 0x0000, 0x0000, 0x00}};
const std::vector<Ids> DEV = {{0x1A2B, 0x0100, 0x3C4D, 0x0005, 0x02}};
const std::string V = "V\t1A2B\tVendor\n", D = "D\t0100\tDevice\n";

// "VVVV DDDD SSVV SSSS RR, ..." or EXAMPLE, as tests/data/name-cases.txt
// gives the functions.
std::vector<Ids> functionsOf(const std::string &text) {
    std::vector<Ids> ids;
    for (size_t at = 0; text != "EXAMPLE" && at < text.size(); at += 24) {
        unsigned v[NAME_KINDS];
        sscanf(text.c_str() + at, "%x %x %x %x %x", &v[0], &v[1], &v[2], &v[3], &v[4]);
        ids.push_back(
            {uint16_t(v[0]), uint16_t(v[1]), uint16_t(v[2]), uint16_t(v[3]), uint16_t(v[4])});
    }
    return text == "EXAMPLE" ? EXAMPLE : ids;
}

// The cases of tests/data/name-cases.txt, then those whose text is made here:
// long lines, and lines where the block reader steps by 64 bytes and 4 KB.
TEST(NameDatabase, NamesOfEveryCaseAsGoldenText) {
    const std::string example = testing_support::readBytes(TEST_DATA_DIR "/worked-example.names");
    const struct {
        const char *what;
        std::vector<Ids> functions;
        std::string database;
    } cases[] = {
        {"the worked example", EXAMPLE, example},
        {"the worked example with CR LF", EXAMPLE, withCrLf(example)},
        {"no functions", {}, example},
        {"100 characters keep 79", DEV, "V 1A2B " + std::string(100, 'n') + "\n"},
        {"a line of 255 characters, its LF included", DEV,
         "V 1A2B " + std::string(247, 'n') + "\n"},
        {"a last line of 255 characters", DEV, "V 1A2B " + std::string(248, 'n')},
        {"a line of 300 characters is two lines", DEV,
         "V 1A2B " + std::string(248, 'x') + "V 1A2B Tail" + std::string(34, ' ') + "\n"},
        {"the cut part starts with its own tag", DEV,
         "V 1A2B " + std::string(248, 'x') + "comment V 1A2B Tail\n"},
        {"a line of 256 characters", EXAMPLE, "V 1A2B " + std::string(248, 'n') + "\nV 5E6F X\n"},
        {"a last line of 256 characters", EXAMPLE, "V 5E6F X\nV 1A2B " + std::string(249, 'n')},
        {"a line of 1024 characters", DEV, V + ";" + std::string(1023, 'x') + "\n" + D},
        {"a line of 1025 characters stops the load", DEV,
         V + ";" + std::string(1024, 'x') + "\n" + D},
        {"an endless last line", DEV, V + D + std::string(5000, 'x')},
        {"a vendor line at offset 64", EXAMPLE, padTo(64) + "V 1A2B At64\nD 0100 Device\n"},
        {"a vendor line at offset 63", EXAMPLE, padTo(63) + "V 1A2B At63\nD 0100 Device\n"},
        {"a CR LF across offset 64", EXAMPLE, padTo(63, "V 1A2B Vendor\n") + "\r\nV 5E6F X\r\n"},
        {"a vendor line at offset 4096", EXAMPLE,
         padTo(4096, "V 1A2B Before\n") + "V 5E6F At4096\n"},
        {"a device line at offset 4096", EXAMPLE,
         padTo(4096, "V 1A2B Vendor\n") + "D 0100 At4096\n"},
        {"a line of 256 characters amid others", EXAMPLE,
         padTo(1000, "V 1A2B Vendor\n") + "D 0100 " + std::string(248, 'd') + "\n"},
        {"a line of 255 characters across 4 KB", EXAMPLE,
         padTo(4000, "V 1A2B Vendor\n") + "D 0100 " + std::string(247, 'd') + "\n"},
        {"a line of 256 characters across 4 KB", EXAMPLE,
         padTo(4000, "V 1A2B Vendor\n") + "D 0100 " + std::string(248, 'd') + "\n"},
        {"a 1Ah after 4 KB", EXAMPLE, padTo(5000, "V 1A2B Vendor\n") + "\x1a" + "D 0100 Cut\n"},
    };
    std::string text;
    for (const auto &row : testing_support::readCases(TEST_DATA_DIR "/name-cases.txt"))
        text += "== " + row[0] + "\n" +
                loadBoth(functionsOf(row[1]), testing_support::unescape(row[2]));
    for (const auto &c : cases)
        text += std::string("== ") + c.what + "\n" + loadBoth(c.functions, c.database);
    testing_support::expectGolden("name-database.txt", text);
}

TEST(ParseNumber, DigitsUpToZInAnyBase) {
    const struct {
        unsigned base;
        const char *text;
        uint32_t value;
    } cases[] = {
        {16, "1A2B", 0x1A2B},
        {16, "1a2b", 0x1A2B},
        {16, "1G", 32},
        {16, "z", 35},
        {16, "", 0},
        {16, " 12", 0},
        {16, "12 34", 0x12},
        {16, "100001A2B", 0x1A2B},
        {16, "FFFFFFFF", 0xFFFFFFFF},
        {10, "1234", 1234},
        {0x110, "99", 0x99},
        {16, "-5", 0},
        {16, "7\xE9", 7},
        {16, "ab\n", 0xAB},
    };
    for (const auto &c : cases)
        EXPECT_EQ(parseNumber(c.base, c.text), c.value) << c.base << " '" << c.text << "'";
}

} // namespace
