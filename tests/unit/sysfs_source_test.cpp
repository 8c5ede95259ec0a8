#include "access/sysfs_source.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::tempPath;
using testing_support::writeBytes;

// A fake /sys/bus/pci/devices with one config file per named function.
struct FakeTree {
    std::string root = tempPath("sysfs");
    FakeTree() { fs::create_directories(root); }
    ~FakeTree() { fs::remove_all(root); }
    void add(const std::string &name, size_t size, char fill) {
        add(name, std::string(size, fill));
    }
    void add(const std::string &name, const std::string &bytes) {
        fs::create_directories(root + "/" + name);
        writeBytes(root + "/" + name + "/config", bytes);
    }
};

// Slot bytes whose device-times-eight reading names another function: 22h is
// 02.1 (not 04.2), 09h is 09.0 (not 01.1), E3h is 03.7 (not 1c.3).
TEST(SysfsSource, ReadsTheFunctionTheSlotByteNames) {
    FakeTree tree;
    const struct {
        const char *name;
        size_t size;
        uint8_t bus, slot;
        bool found;
    } rows[] = {
        {"0000:00:00.0", 256, 0, 0x00, true},    {"0000:00:02.1", 256, 0, 0x22, true},
        {"0000:00:04.2", 256, 0, 0x44, true},    {"0000:0a:09.0", 256, 10, 0x09, true},
        {"0000:0a:01.1", 256, 10, 0x21, true},   {"0000:3c:03.7", 4096, 0x3c, 0xE3, true},
        {"0000:3c:1c.3", 256, 0x3c, 0x7C, true}, {"0000:00:01.1", 255, 0, 0x21, false},
        {"0001:00:05.0", 256, 0, 0x05, false},
    };
    for (size_t i = 0; i < std::size(rows); ++i)
        tree.add(rows[i].name, rows[i].size, char('a' + i));
    SysfsSource source(tree.root.c_str());
    char error[SOURCE_ERROR_SIZE];
    ASSERT_TRUE(source.open(error, sizeof error)) << error;
    for (size_t i = 0; i < std::size(rows); ++i) {
        uint8_t buffer[256] = {};
        EXPECT_EQ(source.read(rows[i].bus, rows[i].slot, buffer), rows[i].found) << rows[i].name;
        if (rows[i].found) {
            EXPECT_EQ(buffer[0], 'a' + i) << rows[i].name;
            EXPECT_EQ(buffer[255], 'a' + i) << rows[i].name;
        }
        // The scan finds exactly the functions that the views can read.
        EXPECT_EQ(source.readScanWords(rows[i].bus, rows[i].slot, buffer), rows[i].found)
            << rows[i].name;
    }
}

TEST(SysfsSource, TheScanReadsOnlyItsThreeWords) {
    FakeTree tree;
    std::string bytes(256, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i);
    tree.add("0000:00:00.0", bytes);
    SysfsSource source(tree.root.c_str());
    char error[SOURCE_ERROR_SIZE];
    ASSERT_TRUE(source.open(error, sizeof error)) << error;
    uint8_t buffer[256] = {};
    ASSERT_TRUE(source.readScanWords(0, 0, buffer));
    for (int i = 0; i < 256; ++i) {
        const bool word = i < 0x04 || (i >= 0x08 && i < 0x0C) || (i >= 0x2C && i < 0x30);
        EXPECT_EQ(buffer[i], word ? i : 0) << "offset " << i;
    }
}

TEST(SysfsSource, UnprivilegedSixtyFourBytesFailToOpenWithTheRemedy) {
    FakeTree tree;
    tree.add("0000:00:00.0", 64, 'a');
    tree.add("0000:00:02.0", 64, 'a');
    SysfsSource source(tree.root.c_str());
    char error[SOURCE_ERROR_SIZE];
    ASSERT_FALSE(source.open(error, sizeof error));
    const std::string message = error;
    EXPECT_NE(message.find("only 64 of 256 bytes"), std::string::npos) << message;
    EXPECT_NE(message.find("run as root"), std::string::npos) << message;
    EXPECT_NE(message.find("--from"), std::string::npos) << message;
}

TEST(SysfsSource, NoBusFailsToOpenWithTheCause) {
    const struct {
        const char *what;
        bool makeRoot;
        const char *domainOnly;
        const char *needle;
    } cases[] = {
        {"missing folder", false, nullptr, "cannot read"},
        {"empty folder", true, nullptr, "no PCI functions"},
        {"no function names", true, "0000:00:00", "no PCI functions"},
    };
    for (const auto &c : cases) {
        FakeTree tree;
        if (!c.makeRoot)
            fs::remove_all(tree.root);
        if (c.domainOnly)
            tree.add(c.domainOnly, 256, 'x');
        SysfsSource source(tree.root.c_str());
        char error[SOURCE_ERROR_SIZE];
        EXPECT_FALSE(source.open(error, sizeof error)) << c.what;
        EXPECT_NE(std::string(error).find(c.needle), std::string::npos) << c.what << ": " << error;
    }
}

// A capture holds every function: other domains, high buses, all listed in
// lspci's order and readable by their full address.
TEST(SysfsSource, ListsAndReadsEveryDomainAndBus) {
    FakeTree tree;
    const struct {
        const char *name;
        char fill;
    } functions[] = {
        {"10000:00:00.0", 'e'}, {"0001:00:00.0", 'd'}, {"0000:81:00.1", 'c'},
        {"0000:81:00.0", 'b'},  {"0000:00:1f.0", 'a'},
    };
    for (const auto &f : functions)
        tree.add(f.name, 256, f.fill);
    tree.add("0000:00:00.0-not-a-function", 256, 'x');
    SysfsSource source(tree.root.c_str());
    char error[SOURCE_ERROR_SIZE];
    ASSERT_TRUE(source.open(error, sizeof error)) << error;
    std::vector<FunctionAddress> listed;
    source.listFunctions(listed);
    std::string names, fills;
    for (const FunctionAddress &at : listed) {
        char name[16];
        formatFunctionAddress(at, name, sizeof name);
        names += std::string(names.empty() ? "" : " ") + name;
        uint8_t buffer[256];
        ASSERT_TRUE(source.readFunction(at, buffer)) << name;
        fills += char(buffer[255]);
    }
    EXPECT_EQ(names, "0000:00:1f.0 0000:81:00.0 0000:81:00.1 0001:00:00.0 10000:00:00.0");
    EXPECT_EQ(fills, "abcde");
}

// The deeper view: the extended space where the kernel gives it, and the
// region sizes of the resource file.
TEST(SysfsSource, ReadsTheExtendedSpaceAndTheRegionSizes) {
    FakeTree tree;
    tree.add("0000:00:00.0", 4096, 'a');
    tree.add("0001:02:03.4", 255, 'c'); // short: listed, not readable
    tree.add("10000:e1:00.1", 256, 'b');
    writeBytes(tree.root + "/0000:00:00.0/resource",
               "0x00000000f7b00000 0x00000000f7b01fff 0x0000000000140204\n"
               "0x0000000000000000 0x0000000000000000 0x0000000000000000\n"
               "0x000000000000e000 0x000000000000e01f 0x0000000000040101\n"
               "0x0000000000000000 0x0000000000000000 0x0000000000000000\n"
               "0x0000000000000000 0x0000000000000000 0x0000000000000000\n"
               "0x0000000000000000 0x0000000000000000 0x0000000000000000\n"
               "0x00000000000c0000 0x00000000000dffff 0x0000000000046200\n");
    writeBytes(tree.root + "/10000:e1:00.1/resource", "0x0 0x0 0x0\n"); // cut short
    SysfsSource source(tree.root.c_str());
    char error[SOURCE_ERROR_SIZE];
    ASSERT_TRUE(source.open(error, sizeof error)) << error;
    const FunctionAddress express{0, 0, 0, 0}, shortOne{1, 2, 3, 4},
        conventional{0x10000, 0xE1, 0, 1};
    const struct {
        FunctionAddress at;
        size_t room, got;
    } reads[] = {
        {express, 4096, 4096},
        {express, 256, 256},
        {shortOne, 4096, 0},
        {conventional, 4096, 256},
    };
    uint8_t buffer[4096];
    for (const auto &r : reads)
        EXPECT_EQ(source.readFunctionSpace(r.at, buffer, r.room), r.got) << int(r.at.bus);
    RegionSizes sizes{};
    ASSERT_TRUE(source.readRegionSizes(express, sizes));
    const uint64_t want[REGION_COUNT] = {0x2000, 0, 0x20, 0, 0, 0, 0x20000};
    for (int i = 0; i < REGION_COUNT; ++i)
        EXPECT_EQ(sizes.size[i], want[i]) << i;
    EXPECT_FALSE(source.readRegionSizes(conventional, sizes)); // cut short
    EXPECT_FALSE(source.readRegionSizes(shortOne, sizes));     // no resource file
}

} // namespace
