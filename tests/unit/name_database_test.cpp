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

// The names that `text`, read as a database file, gives these functions: per
// function its five names joined by '|'.
std::vector<std::string> load(const std::vector<Ids> &functions, const std::string &text) {
    static DeviceTable table;
    resetDeviceTable(table);
    for (const Ids &ids : functions) {
        DeviceRecord &r = table.records[table.count++];
        std::copy(ids.begin(), ids.end(), r.ids);
        snprintf(r.names[NAME_VENDOR], NAME_SIZE, "Unknown");
    }
    const std::string path = testing_support::tempPath("pcidevs.txt");
    testing_support::writeBytes(path, text);
    FILE *in = openTextFile(path.c_str(), "rt");
    loadNameDatabaseFrom(in, table);
    fclose(in);
    std::remove(path.c_str());
    std::vector<std::string> out;
    for (int i = 0; i < table.count; ++i) {
        const auto &n = table.records[i].names;
        out.push_back(std::string(n[0]) + "|" + n[1] + "|" + n[2] + "|" + n[3] + "|" + n[4]);
    }
    return out;
}

TEST(NameDatabase, WorkedExample) {
    EXPECT_EQ(load({{0x1A2B, 0x0100, 0x1A2B, 0x0001, 0x02},
                    {0x1A2B, 0x0200, 0x3C4D, 0x0005, 0x01},
                    {0x5E6F, 0x0010, 0, 0, 0}},
                   "; sample database\n"
                   "V 1A2B Example Logic\nD 0100 Sample Bridge\nO 1A2B Example Logic\n"
                   "S 0001 Bridge Board\nR 02 Stepping B\nD 0200 Sample Controller\n"
                   "O 3C4D Demo Boards\nS 0005 Demo Boards\nV 5E6F Placeholder Systems\n"
                   "D 0010 Test Adapter\nV 7D7D Absent Vendor\nD 0010 Never Considered\n"),
              (std::vector<std::string>{
                  "Example Logic|Sample Bridge|Example Logic|Bridge Board|Stepping B",
                  "Example Logic|Sample Controller|Demo Boards||",
                  "Placeholder Systems|Test Adapter|||"}));
}

const std::string V = "V\t1A2B\tVendor\n", D = "D\t0100\tDevice\n";

// One function, 1A2B 0100 3C4D 0005 rev 02, named by branches of the file.
TEST(NameDatabase, FollowsOnlyBranchesThatNameAFunction) {
    const struct {
        std::string database, names;
    } cases[] = {
        {"v 1A2B Vendor\n", "Unknown||||"},              // a lower-case tag is a comment
        {"V 1a2b Vendor\n", "Vendor||||"},               // a lower-case number
        {"V1A2B Vendor\n", "Vendor||||"},                // no separator after the tag
        {"V 00001A2B Vendor\n", "Vendor||||"},           // leading zeros
        {"V 11A2B Vendor\n", "Unknown||||"},             // above FFFF
        {"V 100001A2B Vendor\n", "Vendor||||"},          // nine digits wrap
        {"V 1A2B-01 Name\n", "Name||||"},                // the rest of the token is skipped
        {"V 1A2B  Vendor  \n", "Vendor  ||||"},          // blanks at the end stay
        {"V 1A2B \n", "||||"},                           // tag, number and blank only
        {"V 1A2B", "||||"},                              // the token runs to the file's end
        {"V Vendor\n", "Unknown||||"},                   // no number: the name is read as one
        {"V 1A2B First\nV 1A2B Second\n", "Second||||"}, // the later line wins
        {"V 7777 Other\n" + D, "Unknown||||"},           // D after a vendor that named nothing
        {V + "O 3C4D Sub\nR 02 Rev\nS 0005 Sub\n", "Vendor||||"}, // skipped right after V
        {V + D + "O 3C4D Boards\nR 02 Rev B\nS 0005 Board\n", "Vendor|Device|Boards|Board|Rev B"},
        {V + D + "O 3C4D Boards\nR 03 Rev C\nS 0005 Board\n", "Vendor|Device|Boards||"},
        {V + D + "R 02 Rev B\nS 0005 Board\n", "Vendor|Device|||Rev B"}, // no O before the S
        {V + D + "O 9999 Nobody\nS 0005 Board\n", "Vendor|Device|||"},
        {V + D + "O 3C4D Boards\nO 9999 None\nS 0005 Board\n", "Vendor|Device|Boards||"},
        {V + D + "O 3C4D B\nS 0005 Board\nR 02 Rev\n", "Vendor|Device|B|Board|Rev"},
        {V + D + "R 102 Rev\n", "Vendor|Device|||"}, // a revision above FF names nothing
        // Equal names: the subsystem's to its vendor's, the vendor's to the device's.
        {V + D + "O 3C4D Same\nS 0005 Same\n", "Vendor|Device|Same||"},
        {V + "D 0100 Same\nO 3C4D Same\nS 0005 Board\n", "Vendor|Same||Board|"},
        {V + "D 0100 Same\nO 3C4D Same\nS 0005 Same\n", "Vendor|Same|||"},
        {V + D + "O 3C4D Vendor\n", "Vendor|Device|Vendor||"},
        {"V 1A2B " + std::string(100, 'n') + "\n", std::string(79, 'n') + "||||"},
        // A line of 300 characters is read as two, the second from its 256th.
        {"V 1A2B " + std::string(248, 'x') + "V 1A2B Tail\n", "Tail||||"},
        {"V 1A2B " + std::string(248, 'x') + "comment V 1A2B Tail\n",
         std::string(79, 'x') + "||||"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(load({{0x1A2B, 0x0100, 0x3C4D, 0x0005, 0x02}}, c.database),
                  std::vector<std::string>{c.names})
            << c.database;
    EXPECT_EQ(load({{0, 0, 0, 0, 0}}, "V\n"), std::vector<std::string>{"||||"}); // names id 0
    EXPECT_EQ(
        load({{0x1A2B, 0x0100, 0, 0, 0}, {0x1A2B, 0x0200, 0, 0, 0}, {0x1A2B, 0x0100, 0, 0, 0}},
             V + D),
        (std::vector<std::string>{"Vendor|Device|||", "Vendor||||", "Vendor|Device|||"}));
}

} // namespace
