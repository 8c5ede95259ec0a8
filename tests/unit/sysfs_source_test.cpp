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
        fs::create_directories(root + "/" + name);
        writeBytes(root + "/" + name + "/config", std::string(size, fill));
    }
};

// Slot bytes whose device-times-eight reading names another function: 22h is
// 02.1 (not 04.2), 09h is 09.0 (not 01.1), E3h is 03.7 (not 1c.3). The scan
// finds exactly the functions that the views can read, and gets only the
// words it keeps.
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
        uint8_t buffer[256] = {}, words[256] = {};
        EXPECT_EQ(source.read(rows[i].bus, rows[i].slot, buffer), rows[i].found) << rows[i].name;
        EXPECT_EQ(source.readScanWords(rows[i].bus, rows[i].slot, words), rows[i].found)
            << rows[i].name;
        for (int at = 0; rows[i].found && at < 256; ++at) {
            const bool word = at < 0x04 || (at >= 0x08 && at < 0x0C) || (at >= 0x2C && at < 0x30);
            ASSERT_EQ(buffer[at], 'a' + i) << rows[i].name << " offset " << at;
            ASSERT_EQ(words[at], word ? 'a' + i : 0) << rows[i].name << " offset " << at;
        }
    }
}

// No functions, or only the 64 bytes an ordinary user gets: the open fails
// with the cause and the remedy.
TEST(SysfsSource, FailsToOpenWithTheCause) {
    const struct {
        const char *what;
        bool makeRoot;
        std::vector<const char *> functions;
        size_t size;
        std::vector<const char *> needles;
    } cases[] = {
        {"missing folder", false, {}, 0, {"cannot read"}},
        {"empty folder", true, {}, 0, {"no PCI functions"}},
        {"no function names", true, {"0000:00:00"}, 256, {"no PCI functions"}},
        {"unprivileged",
         true,
         {"0000:00:00.0", "0000:00:02.0"},
         64,
         {"only 64 of 256 bytes", "run as root", "--from"}},
    };
    for (const auto &c : cases) {
        FakeTree tree;
        if (!c.makeRoot)
            fs::remove_all(tree.root);
        for (const char *name : c.functions)
            tree.add(name, c.size, 'x');
        SysfsSource source(tree.root.c_str());
        char error[SOURCE_ERROR_SIZE];
        EXPECT_FALSE(source.open(error, sizeof error)) << c.what;
        for (const char *needle : c.needles)
            EXPECT_NE(std::string(error).find(needle), std::string::npos)
                << c.what << ": " << error;
    }
}

// A capture holds every function: other domains, high buses, all listed in
// lspci's order and readable by their full address, with the extended space
// where the kernel gives it; a short config file is listed, not readable.
// The region sizes come from the resource file.
TEST(SysfsSource, ListsAndReadsEveryDomainAndBus) {
    FakeTree tree;
    const struct {
        const char *name;
        size_t size;
    } functions[] = {
        {"10000:e1:00.1", 256}, {"10000:00:00.0", 256}, {"0001:02:03.4", 255},
        {"0001:00:00.0", 256},  {"0000:81:00.1", 256},  {"0000:81:00.0", 256},
        {"0000:00:1f.0", 256},  {"0000:00:00.0", 4096},
    };
    for (const auto &f : functions)
        tree.add(f.name, f.size, char('a' + (&f - functions)));
    tree.add("0000:00:00.0-not-a-function", 256, 'x');
    const std::string none = "0x0000000000000000 0x0000000000000000 0x0000000000000000\n";
    writeBytes(tree.root + "/0000:00:00.0/resource",
               "0x00000000f7b00000 0x00000000f7b01fff 0x0000000000140204\n" + none +
                   "0x000000000000e000 0x000000000000e01f 0x0000000000040101\n" + none + none +
                   none + "0x00000000000c0000 0x00000000000dffff 0x0000000000046200\n");
    writeBytes(tree.root + "/10000:e1:00.1/resource", "0x0 0x0 0x0\n"); // cut short
    SysfsSource source(tree.root.c_str());
    char error[SOURCE_ERROR_SIZE];
    ASSERT_TRUE(source.open(error, sizeof error)) << error;
    std::vector<FunctionAddress> listed;
    source.listFunctions(listed);
    std::string seen;
    for (const FunctionAddress &at : listed) {
        char name[16];
        formatFunctionAddress(at, name, sizeof name);
        uint8_t buffer[4096] = {};
        const bool read = source.readFunction(at, buffer);
        const size_t got = source.readFunctionSpace(at, buffer, sizeof buffer);
        seen += std::string(name) + "=" + (read ? char(buffer[255]) : '-') + "/" +
                std::to_string(got) + "\n";
    }
    EXPECT_EQ(seen, "0000:00:00.0=h/4096\n0000:00:1f.0=g/256\n0000:81:00.0=f/256\n"
                    "0000:81:00.1=e/256\n0001:00:00.0=d/256\n0001:02:03.4=-/0\n"
                    "10000:00:00.0=b/256\n10000:e1:00.1=a/256\n");
    uint8_t buffer[256];
    EXPECT_EQ(source.readFunctionSpace({0, 0, 0, 0}, buffer, 256), 256u);
    RegionSizes sizes{};
    ASSERT_TRUE(source.readRegionSizes({0, 0, 0, 0}, sizes));
    const uint64_t want[REGION_COUNT] = {0x2000, 0, 0x20, 0, 0, 0, 0x20000};
    for (int i = 0; i < REGION_COUNT; ++i)
        EXPECT_EQ(sizes.size[i], want[i]) << i;
    EXPECT_FALSE(source.readRegionSizes({0x10000, 0xE1, 0, 1}, sizes)); // cut short
    EXPECT_FALSE(source.readRegionSizes({1, 2, 3, 4}, sizes));          // no resource file
}

} // namespace
