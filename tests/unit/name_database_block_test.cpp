// The reader of a whole database in one block against the line reader, on
// inputs chosen to sit where the two could part: line ends, the text-mode
// rules, the reader's line limit, and the 64-byte and 4 KB steps of the block
// reader's scan.
#include "naming/name_database.h"

#include "base/text_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using testing_support::tempPath;
using testing_support::writeBytes;

struct Functions {
    std::vector<FunctionNames> table;
    std::vector<FunctionNames *> pointers;
    explicit Functions(const std::vector<FunctionNames> &initial) : table(initial) {
        for (FunctionNames &f : table)
            pointers.push_back(&f);
    }
    bool operator==(const Functions &other) const {
        for (size_t i = 0; i < table.size(); ++i)
            if (memcmp(table[i].names, other.table[i].names, sizeof table[i].names) != 0)
                return false;
        return true;
    }
};

FunctionNames function(uint16_t vendor, uint16_t device, uint16_t subVendor = 0,
                       uint16_t subsystem = 0, uint16_t revision = 0) {
    FunctionNames f{{vendor, device, subVendor, subsystem, revision}, {}};
    strcpy(f.names[NAME_VENDOR], "Unknown");
    return f;
}

const std::vector<FunctionNames> FUNCTIONS = {
    function(0x1A2B, 0x0100, 0x1A2B, 0x0001, 0x02), function(0x1A2B, 0x0200, 0x3C4D, 0x0005),
    function(0x5E6F, 0x0010), function(0x0000, 0x0000), function(0x1A2B, 0x0100)};

const std::string EXAMPLE = testing_support::EXAMPLE_DATABASE;

std::string withCrLf(const std::string &text) {
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// Comment lines that bring the text to `offset` bytes; the last ends in a LF.
std::string padTo(size_t offset, const std::string &before = "") {
    std::string text = before;
    while (offset - text.size() > 80)
        text += ";" + std::string(38, '-') + "\n";
    const size_t rest = offset - text.size();
    return text + (rest >= 2 ? ";" + std::string(rest - 2, '.') : "") + "\n";
}

struct BlockCase {
    const char *what;
    std::string text;
    bool inOneBlock; // false: the text-mode rules would change it, so it is declined
};

const BlockCase CASES[] = {
    {"the worked example", EXAMPLE, true},
    {"the worked example with CR LF", withCrLf(EXAMPLE), true},
    {"a vendor on the first line, no line feed", "V 1A2B First", true},
    {"a tag alone at the end names id 0", "V 1A2B A\nV", true},
    {"a NUL ends the name", std::string("V 1A2B Na\0me\n", 13), true},
    {"a NUL before the tag makes a comment", std::string("\0V 1A2B X\n", 10), true},
    {"a number above FFFF whose low bits match", "V 11A2B Wrong\nV 2A2B Wrong\n", true},
    {"a vendor that names nothing closes its block",
     "V 7777 Other\nD 0100 No\nO 1A2B No\nV 1A2B Yes\nD 0100 Device\n", true},
    {"a line of 255 characters, its LF included", "V 1A2B " + std::string(247, 'n') + "\n", true},
    {"a last line of 255 characters", "V 1A2B " + std::string(248, 'n'), true},
    {"a line of 256 characters", "V 1A2B " + std::string(248, 'n') + "\nV 5E6F X\n", false},
    {"a last line of 256 characters", "V 5E6F X\nV 1A2B " + std::string(249, 'n'), false},
    {"a 0x1A", "V 1A2B First\n\x1aV 1A2B Second\n", false},
    {"a CR inside a line", "V 1A2B Fi\rrst\n", false},
    {"a CR at the end of the file", "V 1A2B First\r", false},
    {"CR CR LF", "V 1A2B First\r\r\n", false},
    {"a vendor line at offset 64", padTo(64) + "V 1A2B At64\nD 0100 Device\n", true},
    {"a vendor line at offset 63", padTo(63) + "V 1A2B At63\nD 0100 Device\n", true},
    {"a CR LF across offset 64", padTo(63, "V 1A2B Vendor\n") + "\r\nV 5E6F X\r\n", true},
    {"a vendor line at offset 4096", padTo(4096, "V 1A2B Before\n") + "V 5E6F At4096\n", true},
    {"a device line at offset 4096", padTo(4096, "V 1A2B Vendor\n") + "D 0100 At4096\n", true},
    {"a line of 256 characters amid others",
     padTo(1000, "V 1A2B Vendor\n") + "D 0100 " + std::string(248, 'd') + "\n", false},
    {"a line of 255 characters across 4 KB",
     padTo(4000, "V 1A2B Vendor\n") + "D 0100 " + std::string(247, 'd') + "\n", true},
    {"a line of 256 characters across 4 KB",
     padTo(4000, "V 1A2B Vendor\n") + "D 0100 " + std::string(248, 'd') + "\n", false},
    {"a 0x1A after 4 KB", padTo(5000, "V 1A2B Vendor\n") + "\x1a" + "D 0100 Cut\n", false},
};

TEST(NameDatabaseBlock, NamesAsTheLineReaderDoesOrDeclines) {
    for (const BlockCase &c : CASES) {
        const std::string path = tempPath("pcidevs.txt");
        writeBytes(path, c.text);
        Functions lineByLine(FUNCTIONS), inOneBlock(FUNCTIONS);
        FILE *in = openTextFile(path.c_str(), "rt");
        ASSERT_NE(in, nullptr);
        long lines = 0;
        {
            const FileBlock block(in);
            ASSERT_TRUE(block.mapped()) << c.what;
            ASSERT_EQ(std::string(block.data(), block.size()), c.text) << c.what;
            EXPECT_EQ(loadNameDatabaseBlock(block.data(), block.size(), inOneBlock.pointers.data(),
                                            int(FUNCTIONS.size()), lines),
                      c.inOneBlock)
                << c.what;
        }
        const NameLoadResult read =
            loadNameDatabaseFrom(in, lineByLine.pointers.data(), int(FUNCTIONS.size()));
        fclose(in);
        std::remove(path.c_str());
        // Declined, it must have changed nothing.
        EXPECT_TRUE(inOneBlock == (c.inOneBlock ? lineByLine : Functions(FUNCTIONS))) << c.what;
        if (c.inOneBlock) {
            EXPECT_EQ(read.end, TextEnd::END) << c.what;
            EXPECT_EQ(lines, read.line) << c.what;
        }
    }
}

// The block starts where reading would: after what a plain stream has passed.
TEST(NameDatabaseBlock, ABlockStartsWhereReadingWould) {
    const std::string path = tempPath("block.txt");
    writeBytes(path, "abcdef");
    FILE *in = fopen(path.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    ASSERT_EQ(fseek(in, 2, SEEK_SET), 0);
    {
        const FileBlock block(in);
        ASSERT_TRUE(block.mapped());
        EXPECT_EQ(std::string(block.data(), block.size()), "cdef");
    }
    fclose(in);
    std::remove(path.c_str());
}

// Left to the line reader: what is no file, and files that say they are
// empty, as those of /proc do whatever they hold.
TEST(NameDatabaseBlock, OnlyRegularFilesWithASizeAreMapped) {
    FILE *in = fmemopen(const_cast<char *>("V 1A2B X\n"), 9, "r");
    ASSERT_NE(in, nullptr);
    EXPECT_FALSE(FileBlock(in).mapped());
    fclose(in);
    for (const char *path : {"/dev/null", "/proc/self/status"}) {
        FILE *stream = openTextFile(path, "rt");
        ASSERT_NE(stream, nullptr) << path;
        EXPECT_FALSE(FileBlock(stream).mapped()) << path;
        fclose(stream);
    }
}

} // namespace
