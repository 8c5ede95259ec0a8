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

// Comment lines that bring the text to `offset` bytes; the last ends in a LF.
std::string padTo(size_t offset, std::string text) {
    while (offset - text.size() > 80)
        text.append(";").append(38, '-').append("\n");
    if (offset - text.size() >= 2)
        text.append(";").append(offset - text.size() - 1, '.');
    return text + "\n";
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
        return names.size() == other.names.size() &&
               (names.empty() ||
                memcmp(names.data(), other.names.data(), names.size() * sizeof names[0]) == 0);
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

// A database of tests/data/name-cases.txt: its escapes, and \{pad N}.
std::string databaseOf(const std::string &field) {
    std::string text;
    size_t at = 0;
    for (size_t pad; (pad = field.find("\\{pad ", at)) != std::string::npos;) {
        text += testing_support::unescape(field.substr(at, pad - at));
        text = padTo(std::stoul(field.substr(pad + 6)), text);
        at = field.find('}', pad) + 1;
    }
    return text + testing_support::unescape(field.substr(at));
}

// The worked example, then the cases of tests/data/name-cases.txt.
TEST(NameDatabase, NamesOfEveryCaseAsGoldenText) {
    const std::string example = testing_support::readBytes(TEST_DATA_DIR "/worked-example.names");
    std::string text = "== the worked example\n" + loadBoth(EXAMPLE, example) +
                       "== no functions\n" + loadBoth({}, example);
    for (const auto &row : testing_support::readCases(TEST_DATA_DIR "/name-cases.txt"))
        text += "== " + row[0] + "\n" + loadBoth(functionsOf(row[1]), databaseOf(row[2]));
    testing_support::expectGolden("name-database.txt", text);
}

// Digits up to Z in the low eight bits of the base; the loader's are in
// tests/data/name-cases.txt.
TEST(ParseNumber, TakesTheLowEightBitsOfTheBase) {
    EXPECT_EQ(parseNumber(10, "1234"), 1234u);
    EXPECT_EQ(parseNumber(0x110, "99"), 0x99u);
    EXPECT_EQ(parseNumber(16, " 12"), 0u);
}

} // namespace
