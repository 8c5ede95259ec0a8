// The converter's output read back by the application's own loader: every
// name that pci.ids gives a function ends up in the field where it belongs.
#include "base/text_file.h"
#include "naming/name_database.h"
#include "pciids_convert.h"
#include "scan/device_table.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Function {
    uint16_t ids[NAME_KINDS]; // vendor, device, subsystem vendor, subsystem, revision
    const char *names[NAME_KINDS];
};

// pci.ids as far as `text` goes, through the tool's path: text-mode file
// written with CR LF, read back in text mode, loaded into a table.
DeviceTable loadConverted(FILE *pciIds, const Function *functions, size_t count) {
    PciIdsReader reader;
    EXPECT_TRUE(readPciIds(pciIds, reader));
    const std::string path = testing_support::tempPath("pcidevs.txt");
    FILE *out = openTextFile(path.c_str(), "wt");
    EXPECT_NE(out, nullptr);
    EXPECT_TRUE(writePcidevs(reader.database(), out));
    fclose(out);
    EXPECT_NE(testing_support::readBytes(path).find("\r\n"), std::string::npos);

    DeviceTable table;
    resetDeviceTable(table);
    for (size_t i = 0; i < count; ++i) {
        DeviceRecord &r = table.records[i];
        memcpy(r.ids, functions[i].ids, sizeof r.ids);
        snprintf(r.names[NAME_VENDOR], NAME_SIZE, "Unknown");
        for (int k = 1; k < NAME_KINDS; ++k)
            r.names[k][0] = '\0';
    }
    table.count = uint16_t(count);
    FILE *in = openTextFile(path.c_str(), "rt");
    EXPECT_NE(in, nullptr);
    loadNameDatabaseFrom(in, table);
    fclose(in);
    remove(path.c_str());
    return table;
}

void expectNames(const DeviceTable &table, const Function *functions, size_t count) {
    for (size_t i = 0; i < count; ++i)
        for (int k = 0; k < NAME_KINDS; ++k)
            EXPECT_STREQ(table.records[i].names[k], functions[i].names[k])
                << "function " << i << ", name kind " << k;
}

const std::string LONG_NAME = "Controller " + std::string(120, 'x') + " end";
const std::string SNIPPET = "# Version: 1\n"
                            "1a2b  Example Logic\n"
                            "\t0100  Sample Bridge\n"
                            "\t\t1a2b 0001  Bridge Board\n"
                            "\t\t3c4d 0005  Demo Card\n"
                            "\t\t1a2b 0002  Bridge Board Rev 2\n"
                            "\t0200  Sample Controller\n"
                            "\t\t9999 0042  Mystery Card\n"
                            "\t\t0000 0000  Zero Card\n"
                            "3c4d  Demo Boards\n"
                            "\t0010  Test Adapter\n"
                            "\t\t3c4d 0010  Demo Boards\n"
                            "15cf  Hilscher Gesellschaft f\xc3\xbcr Systemautomation mbH\n"
                            "\t0001  " +
                            LONG_NAME +
                            "\n"
                            "C 02  Network controller\n"
                            "\t00  Ethernet controller\n";

const Function SNIPPET_FUNCTIONS[] = {
    {{0x1A2B, 0x0100, 0x1A2B, 0x0001, 0},
     {"Example Logic", "Sample Bridge", "Example Logic", "Bridge Board", ""}},
    // Listed after another subsystem vendor's line: reached through the grouping.
    {{0x1A2B, 0x0100, 0x1A2B, 0x0002, 0},
     {"Example Logic", "Sample Bridge", "Example Logic", "Bridge Board Rev 2", ""}},
    {{0x1A2B, 0x0100, 0x3C4D, 0x0005, 0},
     {"Example Logic", "Sample Bridge", "Demo Boards", "Demo Card", ""}},
    {{0x1A2B, 0x0100, 0x3C4D, 0x0006, 0},
     {"Example Logic", "Sample Bridge", "Demo Boards", "", ""}},
    // Subsystem vendors that pci.ids does not list: only the subsystem is named.
    {{0x1A2B, 0x0200, 0x9999, 0x0042, 0},
     {"Example Logic", "Sample Controller", "", "Mystery Card", ""}},
    {{0x1A2B, 0x0200, 0x0000, 0x0000, 0},
     {"Example Logic", "Sample Controller", "", "Zero Card", ""}},
    // The loader empties a subsystem name equal to the subsystem vendor's.
    {{0x3C4D, 0x0010, 0x3C4D, 0x0010, 0}, {"Demo Boards", "Test Adapter", "Demo Boards", "", ""}},
    {{0x15CF, 0x0002, 0, 0, 0},
     {"Hilscher Gesellschaft f\xfcr Systemautomation mbH", "", "", "", ""}},
    {{0x7777, 0x0100, 0x1A2B, 0x0001, 0}, {"Unknown", "", "", "", ""}},
};

TEST(ConvertedDatabase, LoaderFindsEveryName) {
    FILE *in = fmemopen(const_cast<char *>(SNIPPET.data()), SNIPPET.size(), "rb");
    ASSERT_NE(in, nullptr);
    const size_t count = std::size(SNIPPET_FUNCTIONS);
    const DeviceTable table = loadConverted(in, SNIPPET_FUNCTIONS, count);
    fclose(in);
    expectNames(table, SNIPPET_FUNCTIONS, count);
}

TEST(ConvertedDatabase, LongNameKeptWholeAndCutByTheLoaderOnly) {
    const std::string input = "15cf  Hilscher\n\t0001  " + LONG_NAME + "\n";
    FILE *in = fmemopen(const_cast<char *>(input.data()), input.size(), "rb");
    const Function function = {{0x15CF, 0x0001, 0, 0, 0}, {}};
    const DeviceTable table = loadConverted(in, &function, 1);
    fclose(in);
    EXPECT_EQ(std::string(table.records[0].names[NAME_DEVICE]), LONG_NAME.substr(0, NAME_SIZE - 1));
}

// Long-standing entries of Debian's pci.ids, where the build machine has it.
const Function REAL_FUNCTIONS[] = {
    {{0x8086, 0x1237, 0x1AF4, 0x1100, 0x02},
     {"Intel Corporation", "440FX - 82441FX PMC [Natoma]", "Red Hat, Inc.", "Qemu virtual machine",
      ""}},
    {{0x3D3D, 0x0002, 0x0000, 0x0000, 0}, {"3DLabs", "GLINT 500TX", "", "GLoria L", ""}},
    {{0x1106, 0x3038, 0x1234, 0x0925, 0},
     {"VIA Technologies, Inc.", "VT82xx/62xx/VX700/8x0/900 UHCI USB 1.1 Controller", "",
      "MVP3 USB Controller", ""}},
};

TEST(ConvertedDatabase, RealPciIds) {
    FILE *in = fopen("/usr/share/misc/pci.ids", "rb");
    if (in == nullptr)
        GTEST_SKIP() << "no /usr/share/misc/pci.ids";
    const size_t count = std::size(REAL_FUNCTIONS);
    const DeviceTable table = loadConverted(in, REAL_FUNCTIONS, count);
    fclose(in);
    expectNames(table, REAL_FUNCTIONS, count);
}

} // namespace
