// The pci.ids to pcidevs.txt conversion. The inputs in tests/data/pciids make
// up the cases (hierarchy, grouping of subsystems, bad lines, names, UTF-8 to
// Windows-1252); what the converter writes from each is golden data beside it.
#include "pciids_convert.h"

#include "golden.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// pcidevs.txt as written from a pci.ids stream, with the warnings and counts.
std::string convert(FILE *in, bool selfSubsystems) {
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
        EXPECT_EQ(output.substr(start, end - start).find_first_of(std::string("\0\r\x1a", 3)),
                  std::string::npos);
    }
    char counts[256];
    snprintf(counts, sizeof counts,
             "%d of %d lines skipped; V %d, D %d, O %d (%d unknown), S %d, %d cut, %d own\n",
             reader.skippedLines(), reader.lineCount(), s.vendors, s.devices, s.subsystemVendors,
             s.unknownSubsystemVendors, s.subsystems, s.cutNames, s.selfSubsystems);
    return output + warnings + counts;
}

TEST(Conversion, TestInputsAsGoldenText) {
    for (const char *name : {"hierarchy", "crlf", "bad-lines", "names", "utf8"}) {
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

// Debian's pci.ids, where the build machine has it, converts with no warning
// and every line within the loader's. (tests/e2e/names-vs-lspci.sh names the
// samples from it as lspci does.)
TEST(Conversion, RealPciIdsWithoutWarnings) {
    FILE *in = fopen("/usr/share/misc/pci.ids", "rb");
    if (in == nullptr)
        GTEST_SKIP() << "no /usr/share/misc/pci.ids";
    const std::string text = convert(in, true);
    fclose(in);
    EXPECT_NE(text.find("\n0 of "), std::string::npos) << "no warnings";
}

} // namespace
