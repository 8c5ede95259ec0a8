// The pci.ids to pcidevs.txt conversion. The inputs in tests/data/pciids make
// up the cases (hierarchy, grouping of subsystems, bad lines, names); what
// the converter writes from each is golden data beside it.
#include "pciids_convert.h"

#include "base/text_file.h"
#include "golden.h"
#include "scan/device_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// pcidevs.txt as written from a pci.ids stream, with the warnings and counts.
std::string convert(FILE *in, bool selfSubsystems, PciIdsDatabase *database = nullptr) {
    std::string warnings;
    PciIdsReader reader([&](int line, const char *message) {
        warnings += std::to_string(line) + ": " + message + "\n";
    });
    EXPECT_TRUE(readPciIds(in, reader));
    PcidevsStats s;
    const std::string output = testing_support::capture(
        [&](FILE *out) { EXPECT_TRUE(writePcidevs(reader.database(), out, &s, selfSubsystems)); });
    // Every line fits the loader's read and holds no byte that ends a line.
    for (size_t start = 0, end; start < output.size(); start = end + 1) {
        end = output.find('\n', start);
        EXPECT_LE(end - start + 1, PCIDEVS_MAX_LINE);
        for (char c : output.substr(start, end - start))
            EXPECT_TRUE(c != '\0' && c != '\r' && c != '\x1a');
    }
    if (database != nullptr)
        *database = reader.database();
    char counts[256];
    snprintf(counts, sizeof counts,
             "%d of %d lines skipped; V %d, D %d, O %d (%d unknown), S %d, %d cut, %d own\n",
             reader.skippedLines(), reader.lineCount(), s.vendors, s.devices, s.subsystemVendors,
             s.unknownSubsystemVendors, s.subsystems, s.cutNames, s.selfSubsystems);
    return output + warnings + counts;
}

TEST(Conversion, TestInputsAsGoldenText) {
    for (const char *name : {"hierarchy", "crlf", "bad-lines", "names"}) {
        const std::string path = std::string(TEST_DATA_DIR) + "/pciids/" + name;
        std::string text;
        for (bool self : {false, true}) {
            FILE *in = fopen((path + ".ids").c_str(), "rb");
            ASSERT_NE(in, nullptr) << path;
            text += std::string("== devices as their own subsystems: ") +
                    (self ? "yes\n" : "no\n") + convert(in, self);
            fclose(in);
        }
        testing_support::expectGolden(std::string("pciids/") + name + ".pcidevs", text);
    }
}

TEST(Conversion, Utf8BecomesWindows1252) {
    const struct {
        std::string utf8, expected;
    } cases[] = {
        {"f\xc3\xbcr \xc3\x89\x63ole \xc2\xb2 \xc2\xa0 \xc3\xbf",
         "f\xfcr \xc9\x63ole \xb2 \xa0 \xff"},
        {"\xe2\x82\xac\xe2\x80\x9a\xc6\x92\xe2\x80\x9e\xe2\x80\xa6\xe2\x80\xa0\xe2\x80\xa1\xcb\x86"
         "\xe2\x80\xb0\xc5\xa0\xe2\x80\xb9\xc5\x92\xc5\xbd\xe2\x80\x98\xe2\x80\x99\xe2\x80\x9c"
         "\xe2\x80\x9d\xe2\x80\xa2\xe2\x80\x93\xe2\x80\x94\xcb\x9c\xe2\x84\xa2\xc5\xa1\xe2\x80\xba"
         "\xc5\x93\xc5\xbe\xc5\xb8",
         "\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8a\x8b\x8c\x8e\x91\x92\x93\x94\x95\x96\x97\x98\x99"
         "\x9a\x9b\x9c\x9e\x9f"},
        {"\xc2\x80\xc2\x81\xc2\x8d\xc2\x9f", "????"}, // C1 controls
        {"\xe4\xb8\xad \xce\xb1 \xf0\x9f\x98\x80", "? ? ?"},
        {std::string("a\tb\x01\x63\0d\x1a", 8), "a b?c?d?"},
        {"a\x80\xbf\x62", "a??b"},                                  // stray continuation bytes
        {"\xc0\xaf\xc1\xbf\xf5\x80\xff\xfe", "????????"},           // impossible lead bytes
        {"\xe2\x82\x41\xf0\x9f\x98\x42\xc3", "?A?B?"},              // cut sequences
        {"\xe0\x80\xaf\xed\xa0\x80\xf4\x90\x80\x80", "??????????"}, // overlong, surrogate, too high
        {"\xf4\x8f\xbf\xbf\xef\xbf\xbf", "??"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(utf8ToWindows1252(c.utf8), c.expected) << c.utf8;
}

// The reader works in blocks: lines across two blocks, and a too long line
// across several, come out as if fed whole.
TEST(Conversion, LinesAcrossReadBlocks) {
    for (size_t padding : {65530u, 65536u - 1u, 65536u, 131072u - 3u}) {
        std::string input = std::string(padding, '#') + "\n1111  Alpha\n\t0001  One\n" +
                            std::string(3 * 65536, 'x') + "\n2222  Beta";
        FILE *in = fmemopen(input.data(), input.size(), "rb");
        const std::string out = convert(in, false);
        fclose(in);
        EXPECT_NE(out.find("V\t1111\tAlpha\nD\t0001\tOne\nV\t2222\tBeta\n4: line too long\n"),
                  std::string::npos)
            << padding;
    }
}

// Debian's pci.ids, where the build machine has it: no warnings, and the
// loader finds a few long-standing entries in what the converter writes.
TEST(Conversion, RealPciIdsThroughTheLoader) {
    FILE *in = fopen("/usr/share/misc/pci.ids", "rb");
    if (in == nullptr)
        GTEST_SKIP() << "no /usr/share/misc/pci.ids";
    const std::string path = testing_support::tempPath("pcidevs.txt");
    FILE *out = openTextFile(path.c_str(), "wt");
    PciIdsDatabase database;
    const std::string text = convert(in, true, &database);
    fclose(in);
    EXPECT_NE(text.find("\n0 of "), std::string::npos) << "no warnings";
    ASSERT_TRUE(writePcidevs(database, out));
    fclose(out);
    const struct {
        uint16_t ids[NAME_KINDS];
        const char *names[NAME_KINDS];
    } functions[] = {
        {{0x8086, 0x1237, 0x1AF4, 0x1100, 0x02},
         {"Intel Corporation", "440FX - 82441FX PMC [Natoma]", "Red Hat, Inc.",
          "Qemu virtual machine", ""}},
        {{0x3D3D, 0x0002, 0x0000, 0x0000, 0}, {"3DLabs", "GLINT 500TX", "", "GLoria L", ""}},
    };
    static DeviceTable table;
    resetDeviceTable(table);
    for (const auto &f : functions)
        std::copy(f.ids, f.ids + NAME_KINDS, table.records[table.count++].ids);
    FILE *names = openTextFile(path.c_str(), "rt");
    loadNameDatabaseFrom(names, table);
    fclose(names);
    std::remove(path.c_str());
    for (int i = 0; i < table.count; ++i)
        for (int k = 0; k < NAME_KINDS; ++k)
            EXPECT_STREQ(table.records[i].names[k], functions[i].names[k]) << i << "/" << k;
}

} // namespace
