#include "naming/name_database.h"
#include "scan/device_table.h"

#include "base/text_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using testing_support::tempPath;
using testing_support::writeBytes;

using Ids = std::array<uint16_t, NAME_KINDS>; // vendor, device, sub vendor, subsystem, revision
using Names = std::array<std::string, NAME_KINDS>;

// A table holding the given functions as the scan leaves them.
void fillTable(DeviceTable &table, const std::vector<Ids> &devices) {
    resetDeviceTable(table);
    for (const Ids &ids : devices) {
        DeviceRecord &r = table.records[table.count++];
        for (int k = 0; k < NAME_KINDS; ++k)
            r.ids[k] = ids[size_t(k)];
        snprintf(r.names[NAME_VENDOR], NAME_SIZE, "Unknown");
    }
}

Names namesOf(const DeviceRecord &r) {
    Names n;
    for (int k = 0; k < NAME_KINDS; ++k)
        n[size_t(k)] = r.names[k];
    return n;
}

// Loads `text` as a database file (through the text-mode reader).
std::vector<Names> load(const std::vector<Ids> &devices, const std::string &text,
                        NameLoadResult *result = nullptr) {
    static DeviceTable table;
    fillTable(table, devices);
    const std::string path = tempPath("pcidevs.txt");
    writeBytes(path, text);
    FILE *in = openTextFile(path.c_str(), "rt");
    EXPECT_NE(in, nullptr);
    const NameLoadResult r = loadNameDatabaseFrom(in, table);
    if (result != nullptr)
        *result = r;
    fclose(in);
    std::remove(path.c_str());
    std::vector<Names> out;
    for (int i = 0; i < table.count; ++i)
        out.push_back(namesOf(table.records[i]));
    return out;
}

const std::vector<Ids> EXAMPLE_DEVICES = {
    {0x1A2B, 0x0100, 0x1A2B, 0x0001, 0x02},
    {0x1A2B, 0x0200, 0x3C4D, 0x0005, 0x01},
    {0x5E6F, 0x0010, 0x0000, 0x0000, 0x00},
};

using testing_support::EXAMPLE_DATABASE;

TEST(NameDatabase, WorkedExample) {
    const auto names = load(EXAMPLE_DEVICES, EXAMPLE_DATABASE);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], (Names{"Example Logic", "Sample Bridge", "Example Logic", "Bridge Board",
                               "Stepping B"}));
    EXPECT_EQ(names[1], (Names{"Example Logic", "Sample Controller", "Demo Boards", "", ""}));
    EXPECT_EQ(names[2], (Names{"Placeholder Systems", "Test Adapter", "", "", ""}));
}

TEST(NameDatabase, LineEndsAndCtrlZ) {
    std::string crlf;
    for (const char *p = EXAMPLE_DATABASE; *p; ++p)
        crlf += *p == '\n' ? std::string("\r\n") : std::string(1, *p);
    EXPECT_EQ(load(EXAMPLE_DEVICES, crlf), load(EXAMPLE_DEVICES, EXAMPLE_DATABASE));
    // The same names on every platform: every CR goes, wherever it stands.
    const struct {
        const char *database, *vendor;
    } cases[] = {
        {"V 1A2B First\n\x1aV 1A2B Second\n", "First"},
        {"V 1A2B Ve\rnd\r\r\n", "Vend"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(load(EXAMPLE_DEVICES, c.database)[0][NAME_VENDOR], c.vendor) << c.database;
}

struct NamingCase {
    const char *what;
    Ids device;
    std::string database;
    Names expected;
};

const Ids DEV = {0x1A2B, 0x0100, 0x3C4D, 0x0005, 0x02};
const std::string V = "V\t1A2B\tVendor\n", D = "D\t0100\tDevice\n";

const NamingCase NAMING_CASES[] = {
    {"lower-case tag is a comment", DEV, "v 1A2B Vendor\n", {"Unknown", "", "", "", ""}},
    {"lower-case number", DEV, "V 1a2b Vendor\n", {"Vendor", "", "", "", ""}},
    {"no separator after the tag", DEV, "V1A2B Vendor\n", {"Vendor", "", "", "", ""}},
    {"leading zeros", DEV, "V 00001A2B Vendor\n", {"Vendor", "", "", "", ""}},
    {"a number above FFFF names nothing", DEV, "V 11A2B Vendor\n", {"Unknown", "", "", "", ""}},
    {"nine digits wrap", DEV, "V 100001A2B Vendor\n", {"Vendor", "", "", "", ""}},
    {"trailing characters in the token", DEV, "V 1A2B-01 Name\n", {"Name", "", "", "", ""}},
    {"blanks at the end stay", DEV, "V 1A2B  Vendor  \n", {"Vendor  ", "", "", "", ""}},
    {"tag, number and blank only", DEV, "V 1A2B \n", {"", "", "", "", ""}},
    {"token runs to the line end", DEV, "V 1A2B\n", {"", "", "", "", ""}},
    {"token runs to the file end", DEV, "V 1A2B", {"", "", "", "", ""}},
    {"the later line wins", DEV, "V 1A2B First\nV 1A2B Second\n", {"Second", "", "", "", ""}},
    {"D after a vendor that named nothing", DEV, "V 7777 Other\n" + D, {"Unknown", "", "", "", ""}},
    {"O, R, S right after V are skipped",
     DEV,
     V + "O 3C4D Sub Vendor\nR 02 Rev\nS 0005 Sub\n",
     {"Vendor", "", "", "", ""}},
    {"S after an R that named, with its O",
     DEV,
     V + D + "O 3C4D Boards\nR 02 Rev B\nS 0005 Board\n",
     {"Vendor", "Device", "Boards", "Board", "Rev B"}},
    {"S after an R that named nothing",
     DEV,
     V + D + "O 3C4D Boards\nR 03 Rev C\nS 0005 Board\n",
     {"Vendor", "Device", "Boards", "", ""}},
    {"S after an R with no O before",
     DEV,
     V + D + "R 02 Rev B\nS 0005 Board\n",
     {"Vendor", "Device", "", "", "Rev B"}},
    {"S after an O that named nothing",
     DEV,
     V + D + "O 9999 Nobody\nS 0005 Board\n",
     {"Vendor", "Device", "", "", ""}},
    {"revision above FF names nothing",
     DEV,
     V + D + "R 102 Rev\n",
     {"Vendor", "Device", "", "", ""}},
    {"sub vendor equal to subsystem empties the subsystem",
     DEV,
     V + D + "O 3C4D Same\nS 0005 Same\n",
     {"Vendor", "Device", "Same", "", ""}},
    {"device equal to sub vendor empties the sub vendor",
     DEV,
     V + "D 0100 Same\nO 3C4D Same\nS 0005 Board\n",
     {"Vendor", "Same", "", "Board", ""}},
    {"all three equal",
     DEV,
     V + "D 0100 Same\nO 3C4D Same\nS 0005 Same\n",
     {"Vendor", "Same", "", "", ""}},
    {"vendor equal to sub vendor changes nothing",
     DEV,
     V + D + "O 3C4D Vendor\n",
     {"Vendor", "Device", "Vendor", "", ""}},
    {"100 characters keep 79",
     DEV,
     "V 1A2B " + std::string(100, 'n') + "\n",
     {std::string(79, 'n'), "", "", "", ""}},
    {"a line of 300 characters is two lines",
     DEV,
     "V 1A2B " + std::string(248, 'x') + "V 1A2B Tail" + std::string(34, ' ') + "\n",
     {"Tail" + std::string(34, ' '), "", "", "", ""}},
    {"the cut part starts with its own tag",
     DEV,
     "V 1A2B " + std::string(248, 'x') + "comment V 1A2B Tail\n",
     {std::string(79, 'x'), "", "", "", ""}},
    {"a missing number reads the name as one", DEV, "V Vendor\n", {"Unknown", "", "", "", ""}},
    {"a tag-only line names id 0", {0x0000, 0, 0, 0, 0}, "V\n", {"", "", "", "", ""}},
    {"at depth 4 everything is considered",
     DEV,
     V + D + "O 3C4D B\nS 0005 Board\nR 02 Rev\n",
     {"Vendor", "Device", "B", "Board", "Rev"}},
    {"O closes an S branch after it named nothing",
     DEV,
     V + D + "O 3C4D Boards\nO 9999 None\nS 0005 Board\n",
     {"Vendor", "Device", "Boards", "", ""}},
};

TEST(NameDatabase, FollowsOnlyBranchesThatNameAFunction) {
    for (const NamingCase &c : NAMING_CASES) {
        const auto names = load({c.device}, c.database);
        ASSERT_EQ(names.size(), 1u);
        EXPECT_EQ(names[0], c.expected) << c.what;
    }
}

// An R that names nothing, though another function has its revision, ends
// the branch: the S after it names nothing either.
TEST(NameDatabase, ALineThatNamesNothingEndsItsBranch) {
    const auto names = load({DEV, {0x1A2B, 0x0200, 0x3C4D, 0x0005, 0x03}},
                            V + D + "O 3C4D Boards\nR 03 Rev C\nS 0005 Board\n");
    EXPECT_EQ(names[0], (Names{"Vendor", "Device", "Boards", "", ""}));
    EXPECT_EQ(names[1], (Names{"Vendor", "", "", "", ""}));
}

TEST(NameDatabase, OneLineNamesEveryMatchingFunction) {
    const auto names = load({DEV, DEV, {0x1A2B, 0x0200, 0, 0, 0}}, V + D);
    EXPECT_EQ(names[0][NAME_DEVICE], "Device");
    EXPECT_EQ(names[1][NAME_DEVICE], "Device");
    EXPECT_EQ(names[2][NAME_DEVICE], "");
    EXPECT_EQ(names[2][NAME_VENDOR], "Vendor");
}

// A line longer than any database has stops the load with its line number;
// the names of the lines before it stay.
TEST(NameDatabase, StopsAtALineNoDatabaseHas) {
    const struct {
        const char *what;
        std::string database;
        TextEnd end;
        long line;
    } cases[] = {
        {"1024 characters", V + ";" + std::string(1023, 'x') + "\n" + D, TextEnd::END, 4},
        {"1025 characters", V + ";" + std::string(1024, 'x') + "\n" + D, TextEnd::LINE_TOO_LONG, 2},
        {"an endless last line", V + D + std::string(5000, 'x'), TextEnd::LINE_TOO_LONG, 3},
    };
    for (const auto &c : cases) {
        NameLoadResult result{};
        const auto names = load({DEV}, c.database, &result);
        EXPECT_EQ(result.end, c.end) << c.what;
        EXPECT_EQ(result.line, c.line) << c.what;
        EXPECT_EQ(names[0][NAME_VENDOR], "Vendor") << c.what;
    }
}

TEST(NameDatabase, EmptyTableReadsTheFile) {
    EXPECT_TRUE(load({}, EXAMPLE_DATABASE).empty());
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
