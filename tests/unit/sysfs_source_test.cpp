#include "access/sysfs_source.h"

#include "header/config_header.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

// A fake /sys/bus/pci/devices with one config file per named function.
struct FakeTree {
    std::string root = testing_support::tempPath("sysfs");
    FakeTree() { fs::create_directories(root); }
    ~FakeTree() { fs::remove_all(root); }
    void add(const std::string &name, size_t size, char fill) {
        fs::create_directories(root + "/" + name);
        testing_support::writeBytes(root + "/" + name + "/config", std::string(size, fill));
    }
    std::string open(SysfsSource &source) {
        char error[SOURCE_ERROR_SIZE] = "";
        return source.open(error, sizeof error) ? "" : error;
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
    ASSERT_EQ(tree.open(source), "");
    for (size_t i = 0; i < std::size(rows); ++i) {
        uint8_t buffer[256] = {};
        EXPECT_EQ(source.read(rows[i].bus, rows[i].slot, buffer), rows[i].found) << rows[i].name;
        if (rows[i].found) {
            EXPECT_EQ(buffer[0], 'a' + i) << rows[i].name;
            EXPECT_EQ(buffer[255], 'a' + i) << rows[i].name;
        }
    }
}

TEST(SysfsSource, FailsToOpenNamingTheCauseAndTheRemedy) {
    const struct {
        bool root;
        const char *function;
        size_t size;
        std::vector<std::string> said;
    } cases[] = {
        {false, nullptr, 0, {"cannot read", "--from"}},
        {true, nullptr, 0, {"no PCI functions"}},
        {true, "0001:00:00.0", 256, {"no PCI functions"}},
        {true, "0000:00:00.0", 64, {"only 64 of 256 bytes", "run as root", "--from"}},
    };
    for (const auto &c : cases) {
        FakeTree tree;
        if (!c.root)
            fs::remove_all(tree.root);
        if (c.function)
            tree.add(c.function, c.size, 'x');
        SysfsSource source(tree.root.c_str());
        const std::string error = tree.open(source);
        for (const std::string &part : c.said)
            EXPECT_NE(error.find(part), std::string::npos) << error;
    }
}

} // namespace
