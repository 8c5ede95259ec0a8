#include "naming/name_database.h"
#include "scan/device_table.h"

#include "base/text_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using Ids = std::array<uint16_t, NAME_KINDS>; // vendor, device, sub vendor, subsystem, revision
using Names = std::array<std::string, NAME_KINDS>;

// The names that `text`, read as a database file, gives these functions.
std::vector<Names> load(const std::vector<Ids> &devices, const std::string &text) {
    static DeviceTable table;
    resetDeviceTable(table);
    for (const Ids &ids : devices) {
        DeviceRecord &r = table.records[table.count++];
        std::copy(ids.begin(), ids.end(), r.ids);
        snprintf(r.names[NAME_VENDOR], NAME_SIZE, "Unknown");
    }
    const std::string path = testing_support::tempPath("pcidevs.txt");
    testing_support::writeBytes(path, text);
    FILE *in = openTextFile(path.c_str(), "rt");
    EXPECT_NE(in, nullptr);
    loadNameDatabaseFrom(in, table);
    fclose(in);
    std::remove(path.c_str());
    std::vector<Names> out(table.count);
    for (int i = 0; i < table.count; ++i)
        std::copy(table.records[i].names, table.records[i].names + NAME_KINDS, out[i].begin());
    return out;
}

const std::vector<Ids> EXAMPLE_DEVICES = {
    {0x1A2B, 0x0100, 0x1A2B, 0x0001, 0x02},
    {0x1A2B, 0x0200, 0x3C4D, 0x0005, 0x01},
    {0x5E6F, 0x0010, 0x0000, 0x0000, 0x00},
};

const char EXAMPLE_DATABASE[] = "; sample database\n"
                                "V 1A2B Example Logic\n"
                                "D 0100 Sample Bridge\n"
                                "O 1A2B Example Logic\n"
                                "S 0001 Bridge Board\n"
                                "R 02 Stepping B\n"
                                "D 0200 Sample Controller\n"
                                "O 3C4D Demo Boards\n"
                                "S 0005 Demo Boards\n"
                                "V 5E6F Placeholder Systems\n"
                                "D 0010 Test Adapter\n"
                                "V 7D7D Absent Vendor\n"
                                "D 0010 Never Considered\n";

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
    const auto cut = load(EXAMPLE_DEVICES, "V 1A2B First\n\x1aV 1A2B Second\n");
    EXPECT_EQ(cut[0][NAME_VENDOR], "First");
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

TEST(NameDatabase, OneLineNamesEveryMatchingFunction) {
    const auto names = load({DEV, DEV, {0x1A2B, 0x0200, 0, 0, 0}}, V + D);
    EXPECT_EQ(names[0][NAME_DEVICE], "Device");
    EXPECT_EQ(names[1][NAME_DEVICE], "Device");
    EXPECT_EQ(names[2][NAME_DEVICE], "");
    EXPECT_EQ(names[2][NAME_VENDOR], "Vendor");
}

} // namespace
