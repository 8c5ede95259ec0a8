// The pci.ids to pcidevs.txt conversion: hierarchy, grouping of subsystems,
// Windows-1252 names, line limits and bad input.
#include "pciids_convert.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Warning {
    int line;
    std::string message;
};

struct Converted {
    std::string records; // the output without its comment lines
    std::vector<Warning> warnings;
    PcidevsStats stats;
    int skipped = 0;
};

// Every output line fits the loader's read and is either a comment or a
// record of tag, tab, four lower-case hex digits, tab, name.
void expectLoadableLines(const std::string &output) {
    size_t start = 0;
    while (start < output.size()) {
        const size_t end = output.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "last line without a line feed";
        const std::string line = output.substr(start, end - start);
        EXPECT_LE(line.size() + 1, PCIDEVS_MAX_LINE) << line.substr(0, 20);
        for (char c : line) {
            EXPECT_NE(c, '\0');
            EXPECT_NE(c, '\r');
            EXPECT_NE(c, '\x1a');
        }
        if (line[0] != ';') {
            ASSERT_GE(line.size(), 7u) << line;
            EXPECT_NE(std::string("VDOS").find(line[0]), std::string::npos) << line;
            EXPECT_EQ(line[1], '\t') << line;
            EXPECT_EQ(line.find_first_not_of("0123456789abcdef", 2), 6u) << line;
            EXPECT_EQ(line[6], '\t') << line;
        }
        start = end + 1;
    }
}

Converted convert(const std::string &input, bool selfSubsystems = false) {
    Converted result;
    PciIdsReader reader([&](int line, const char *message) {
        result.warnings.push_back({line, message});
    });
    if (!input.empty()) {
        FILE *in = fmemopen(const_cast<char *>(input.data()), input.size(), "rb");
        EXPECT_NE(in, nullptr);
        EXPECT_TRUE(readPciIds(in, reader));
        fclose(in);
    }
    char *buffer = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&buffer, &size);
    EXPECT_TRUE(writePcidevs(reader.database(), out, &result.stats, selfSubsystems));
    fclose(out);
    const std::string output(buffer, size);
    free(buffer);
    expectLoadableLines(output);
    size_t start = 0;
    while (start < output.size()) {
        const size_t end = output.find('\n', start) + 1;
        if (output[start] != ';')
            result.records += output.substr(start, end - start);
        start = end;
    }
    result.skipped = reader.skippedLines();
    return result;
}

struct ConversionCase {
    const char *name;
    const char *input;
    const char *expected;
};

class Conversion : public testing::TestWithParam<ConversionCase> {};

TEST_P(Conversion, WritesTheTreeThatTheLoaderWalks) {
    const Converted result = convert(GetParam().input);
    EXPECT_EQ(result.records, GetParam().expected);
    EXPECT_TRUE(result.warnings.empty())
        << result.warnings[0].line << ": " << result.warnings[0].message;
    EXPECT_EQ(result.skipped, 0);
}

const ConversionCase CONVERSION_CASES[] = {
    {"VendorAlone", "1a2b  Example Logic\n", "V\t1a2b\tExample Logic\n"},
    {"VendorsAndDevices",
     "1a2b  Example Logic\n\t0100  Sample Bridge\n\t0200  Sample Controller\n"
     "5e6f  Placeholder Systems\n\t0010  Test Adapter\n",
     "V\t1a2b\tExample Logic\nD\t0100\tSample Bridge\nD\t0200\tSample Controller\n"
     "V\t5e6f\tPlaceholder Systems\nD\t0010\tTest Adapter\n"},
    {"SubsystemVendorNamedFromVendorList",
     "1a2b  Example Logic\n\t0100  Sample Bridge\n\t\t1a2b 0001  Bridge Board\n",
     "V\t1a2b\tExample Logic\nD\t0100\tSample Bridge\nO\t1a2b\tExample Logic\n"
     "S\t0001\tBridge Board\n"},
    {"SubsystemVendorListedLaterInTheFile",
     "1a2b  Example Logic\n\t0200  Sample Controller\n\t\t3c4d 0005  Demo Card\n"
     "3c4d  Demo Boards\n",
     "V\t1a2b\tExample Logic\nD\t0200\tSample Controller\nO\t3c4d\tDemo Boards\n"
     "S\t0005\tDemo Card\nV\t3c4d\tDemo Boards\n"},
    {"SubsystemsGroupedBySubsystemVendorInOrderOfFirstAppearance",
     "1111  Alpha\n2222  Beta\n3333  Gamma\n"
     "\t0001  Chip\n\t\t2222 0001  B1\n\t\t1111 0002  A2\n\t\t2222 0003  B3\n"
     "\t\t1111 0001  A1\n\t\t3333 0009  G9\n\t\t2222 0002  B2\n",
     "V\t1111\tAlpha\nV\t2222\tBeta\nV\t3333\tGamma\nD\t0001\tChip\n"
     "O\t2222\tBeta\nS\t0001\tB1\nS\t0003\tB3\nS\t0002\tB2\n"
     "O\t1111\tAlpha\nS\t0002\tA2\nS\t0001\tA1\n"
     "O\t3333\tGamma\nS\t0009\tG9\n"},
    {"EachDeviceOpensItsOwnSubsystemVendors",
     "1111  Alpha\n\t0001  One\n\t\t1111 00a0  Card A\n\t0002  Two\n\t\t1111 00b0  Card B\n",
     "V\t1111\tAlpha\nD\t0001\tOne\nO\t1111\tAlpha\nS\t00a0\tCard A\n"
     "D\t0002\tTwo\nO\t1111\tAlpha\nS\t00b0\tCard B\n"},
    {"UnknownSubsystemVendorGetsAnEmptyName",
     "1111  Alpha\n\t0001  One\n\t\t9999 0042  Mystery Card\n\t\t0000 0000  Zero Card\n",
     "V\t1111\tAlpha\nD\t0001\tOne\nO\t9999\t\nS\t0042\tMystery Card\n"
     "O\t0000\t\nS\t0000\tZero Card\n"},
    {"LaterOfTwoVendorEntriesNamesSubsystemVendor",
     "1111  Old Name\n\t0001  One\n\t\t1111 0002  Card\n1111  New Name\n",
     "V\t1111\tOld Name\nD\t0001\tOne\nO\t1111\tNew Name\nS\t0002\tCard\n"
     "V\t1111\tNew Name\n"},
    {"CommentsAndBlankLinesChangeNothing",
     "# header\n#\n\n1111  Alpha\n# This is a relabelled chip\n\n\t0001  One\n\t# indented\n"
     "   \n\t\t1111 0002  Card\n",
     "V\t1111\tAlpha\nD\t0001\tOne\nO\t1111\tAlpha\nS\t0002\tCard\n"},
    {"ClassSectionLeftOut",
     "1111  Alpha\n\t0001  One\n"
     "C 00  Unclassified device\n\t00  Non-VGA unclassified device\n"
     "C 01  Mass storage controller\n\t01  IDE interface\n\t\t05  PCI native mode-only\n",
     "V\t1111\tAlpha\nD\t0001\tOne\n"},
    {"VendorAfterClassSectionIsRead",
     "C 02  Network controller\n\t00  Ethernet controller\n2222  Beta\n\t0002  Two\n",
     "V\t2222\tBeta\nD\t0002\tTwo\n"},
    {"UpperCaseIdsWrittenInLowerCase", "ABCD  Upper\n\tEF01  Dev\n\t\tABCD 00FF  Sub\n",
     "V\tabcd\tUpper\nD\tef01\tDev\nO\tabcd\tUpper\nS\t00ff\tSub\n"},
    {"CrLfLineEndsAndMissingLastLineFeed", "1111  Alpha\r\n\t0001  One\r\n\t0002  Two",
     "V\t1111\tAlpha\nD\t0001\tOne\nD\t0002\tTwo\n"},
    {"BlanksAndTabsAsSeparators",
     "1111 \t Alpha  Omega \t\n\t0001\tOne\tTwo\n\t\t1111\t0002 Card\n",
     "V\t1111\tAlpha  Omega\nD\t0001\tOne Two\nO\t1111\tAlpha  Omega\nS\t0002\tCard\n"},
    {"DeviceWithoutSubsystemsHasNoSubsystemVendorLine", "1111  Alpha\n\t0001  One\n",
     "V\t1111\tAlpha\nD\t0001\tOne\n"},
    {"NamesInUtf8BecomeWindows1252",
     "15cf  Hilscher Gesellschaft f\xc3\xbcr Systemautomation mbH\n"
     "\t0001  IceQ X\xc2\xb2 \xe2\x84\xa2 \xe4\xb8\xad\n",
     "V\t15cf\tHilscher Gesellschaft f\xfcr Systemautomation mbH\n"
     "D\t0001\tIceQ X\xb2 \x99 ?\n"},
    {"EmptyInput", "", ""},
};

INSTANTIATE_TEST_SUITE_P(PciIds, Conversion, testing::ValuesIn(CONVERSION_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Conversion, DevicesAreTheirOwnSubsystemUnlessListed) {
    const struct {
        const char *input, *expected;
    } cases[] = {
        {"1111  Alpha\n\t0001  One\n",
         "V\t1111\tAlpha\nD\t0001\tOne\nO\t1111\tAlpha\nS\t0001\tOne\n"},
        {"1111  Alpha\n\t0001  One\n\t\t1111 0001  Own Card\n",
         "V\t1111\tAlpha\nD\t0001\tOne\nO\t1111\tAlpha\nS\t0001\tOwn Card\n"},
        {"1111  Alpha\n\t0001  One\n\t\t2222 0001  Other\n2222  Beta\n",
         "V\t1111\tAlpha\nD\t0001\tOne\nO\t2222\tBeta\nS\t0001\tOther\n"
         "O\t1111\tAlpha\nS\t0001\tOne\nV\t2222\tBeta\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(convert(c.input, true).records, c.expected) << c.input;
}

struct BadInputCase {
    const char *name;
    std::string input;
    const char *expected;
    std::vector<int> warnedLines;
    const char *firstMessage; // part of the first warning
    int skipped;
};

class BadInput : public testing::TestWithParam<BadInputCase> {};

TEST_P(BadInput, SkipsTheLineAndWhatIsUnderItWithOneWarning) {
    const BadInputCase &c = GetParam();
    const Converted result = convert(c.input);
    EXPECT_EQ(result.records, c.expected);
    std::vector<int> lines;
    for (const Warning &w : result.warnings)
        lines.push_back(w.line);
    EXPECT_EQ(lines, c.warnedLines);
    if (!result.warnings.empty()) {
        EXPECT_NE(result.warnings[0].message.find(c.firstMessage), std::string::npos)
            << result.warnings[0].message;
    }
    EXPECT_EQ(result.skipped, c.skipped);
}

const std::string LONG_LINE = "2222  " + std::string(PCIIDS_MAX_LINE, 'x');

const BadInputCase BAD_INPUT_CASES[] = {
    {"DeviceBeforeAnyVendor",
     "\t0001  Orphan\n\t\t1111 0001  Under It\n1111  Alpha\n",
     "V\t1111\tAlpha\n",
     {1},
     "device line outside a vendor",
     2},
    {"SubsystemDirectlyUnderVendor",
     "1111  Alpha\n\t\t1111 0001  Card\n\t0001  One\n",
     "V\t1111\tAlpha\nD\t0001\tOne\n",
     {2},
     "subsystem line outside a device",
     1},
    {"DeviceInsideClassSectionIsClassContent",
     "C 02  Network\n\t0001  Looks Like A Device\n",
     "",
     {},
     "",
     0},
    {"ThreeTabs",
     "1111  Alpha\n\t0001  One\n\t\t\t1111 0001  Too Deep\n\t0002  Two\n",
     "V\t1111\tAlpha\nD\t0001\tOne\nD\t0002\tTwo\n",
     {3},
     "more than 2 tabs",
     1},
    {"ShortVendorIdSkipsItsDevices",
     "111  Alpha\n\t0001  One\n\t\t1111 0001  Card\n2222  Beta\n",
     "V\t2222\tBeta\n",
     {1},
     "malformed vendor line",
     3},
    {"LongVendorId",
     "11111  Alpha\n2222  Beta\n",
     "V\t2222\tBeta\n",
     {1},
     "malformed vendor line",
     1},
    {"NonHexVendorId", "11g1  Alpha\n", "", {1}, "malformed vendor line", 1},
    {"IndentedWithBlanks",
     "1111  Alpha\n    0001  One\n",
     "V\t1111\tAlpha\n",
     {2},
     "malformed vendor line",
     1},
    {"VendorWithoutName",
     "1111\n1112   \n2222  Beta\n",
     "V\t2222\tBeta\n",
     {1, 2},
     "malformed vendor line",
     2},
    {"DeviceWithoutNameSkipsItsSubsystems",
     "1111  Alpha\n\t0001\n\t\t1111 0001  Card\n\t0002  Two\n",
     "V\t1111\tAlpha\nD\t0002\tTwo\n",
     {2},
     "malformed device line",
     2},
    {"SubsystemWithOneId",
     "1111  Alpha\n\t0001  One\n\t\t1111  Card\n\t\t1111 0002  Good\n",
     "V\t1111\tAlpha\nD\t0001\tOne\nO\t1111\tAlpha\nS\t0002\tGood\n",
     {3},
     "malformed subsystem line",
     1},
    {"SubsystemIdsWithoutSeparator",
     "1111  Alpha\n\t0001  One\n\t\t11110002  Card\n",
     "V\t1111\tAlpha\nD\t0001\tOne\n",
     {3},
     "malformed subsystem line",
     1},
    {"UnknownTopLevelLine",
     "Cx 02  Not A Class\n1111  Alpha\n",
     "V\t1111\tAlpha\n",
     {1},
     "malformed vendor line",
     1},
    {"LineTooLongSkipsItsDevices",
     "1111  Alpha\n" + LONG_LINE + "\n\t0001  One\n3333  Gamma\n",
     "V\t1111\tAlpha\nV\t3333\tGamma\n",
     {2},
     "line too long",
     2},
    {"NulBytesInNameBecomeQuestionMarks",
     std::string("1111  Al\0ha\n", 12),
     "V\t1111\tAl?ha\n",
     {},
     "",
     0},
    {"ControlCharactersInName",
     "1111  A\x1a"
     "B\x7f"
     "C\rD\n",
     "V\t1111\tA?B?C?D\n",
     {},
     "",
     0},
    {"BinaryGarbage",
     std::string("\x7f"
                 "ELF\x02\x01\x01\0\0\0\n\xff\xfe\t\x80\x81\n",
                 17),
     "",
     {1, 2},
     "malformed vendor line",
     2},
};

INSTANTIATE_TEST_SUITE_P(PciIds, BadInput, testing::ValuesIn(BAD_INPUT_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

struct CharsetCase {
    const char *name;
    std::string utf8;
    std::string expected;
};

class Windows1252 : public testing::TestWithParam<CharsetCase> {};

TEST_P(Windows1252, MapsEachCharacterToOneByte) {
    EXPECT_EQ(utf8ToWindows1252(GetParam().utf8), GetParam().expected);
}

const CharsetCase CHARSET_CASES[] = {
    {"Ascii", "Intel Corporation 82801", "Intel Corporation 82801"},
    {"Latin1",
     "f\xc3\xbcr \xc3\x89"
     "cole \xc2\xb2 \xc2\xa0 \xc3\xbf",
     "f\xfcr \xc9"
     "cole \xb2 \xa0 \xff"},
    {"EuroAndTrademark", "\xe2\x82\xac \xe2\x84\xa2", "\x80 \x99"},
    {"AllOfTheHighRange",
     "\xe2\x82\xac\xe2\x80\x9a\xc6\x92\xe2\x80\x9e\xe2\x80\xa6\xe2\x80\xa0\xe2\x80\xa1"
     "\xcb\x86\xe2\x80\xb0\xc5\xa0\xe2\x80\xb9\xc5\x92\xc5\xbd\xe2\x80\x98\xe2\x80\x99"
     "\xe2\x80\x9c\xe2\x80\x9d\xe2\x80\xa2\xe2\x80\x93\xe2\x80\x94\xcb\x9c\xe2\x84\xa2"
     "\xc5\xa1\xe2\x80\xba\xc5\x93\xc5\xbe\xc5\xb8",
     "\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8a\x8b\x8c\x8e\x91\x92\x93\x94\x95\x96\x97"
     "\x98\x99\x9a\x9b\x9c\x9e\x9f"},
    {"C1ControlsAreNotInTheCodePage", "\xc2\x80\xc2\x81\xc2\x8d\xc2\x9f", "????"},
    {"CharactersTheCodePageLacks", "\xe4\xb8\xad\xe6\x96\x87 \xce\xb1 \xf0\x9f\x98\x80", "?? ? ?"},
    {"TabBecomesBlankOtherControlsQuestionMark",
     std::string("a\tb\x01"
                 "c\0d\x1a",
                 8),
     "a b?c?d?"},
    {"StrayContinuationBytes",
     "a\x80\xbf"
     "b",
     "a??b"},
    {"ImpossibleLeadBytes", "\xc0\xaf\xc1\xbf\xf5\x80\xff\xfe", "????????"},
    {"TruncatedSequenceIsOneQuestionMark",
     "\xe2\x82"
     "A\xf0\x9f\x98"
     "B\xc3",
     "?A?B?"},
    {"OverlongThreeByteForm", "\xe0\x80\xaf", "???"},
    {"Surrogate",
     "\xed\xa0\x80"
     "x",
     "???x"},
    {"AboveU10FFFF", "\xf4\x90\x80\x80", "????"},
    {"HighestCodePoints", "\xf4\x8f\xbf\xbf\xef\xbf\xbf", "??"},
    {"Empty", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Utf8, Windows1252, testing::ValuesIn(CHARSET_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

struct LengthCase {
    const char *name;
    std::string name8; // the name in pci.ids
    size_t writtenLength;
    int cut;
};

class NameLength : public testing::TestWithParam<LengthCase> {};

TEST_P(NameLength, KeepsNamesWholeUpToTheLineLimit) {
    const LengthCase &c = GetParam();
    const Converted result =
        convert("1111  " + c.name8 + "\n\t0001  " + c.name8 + "\n\t\t1111 0002  " + c.name8 + "\n");
    // V, D, O and S lines each carry the name.
    size_t start = 0;
    int lines = 0;
    while (start < result.records.size()) {
        const size_t end = result.records.find('\n', start);
        EXPECT_EQ(end - start - 7, c.writtenLength) << "line " << lines;
        start = end + 1;
        ++lines;
    }
    EXPECT_EQ(lines, 4);
    EXPECT_EQ(result.stats.cutNames, c.cut);
}

const LengthCase LENGTH_CASES[] = {
    {"BeyondLoaderCutStaysWhole", std::string(100, 'n'), 100, 0},
    {"FillsTheLineExactly", std::string(PCIDEVS_MAX_NAME, 'n'), PCIDEVS_MAX_NAME, 0},
    {"OneOverIsCut", std::string(PCIDEVS_MAX_NAME + 1, 'n'), PCIDEVS_MAX_NAME, 4},
    {"FarOverIsCut", std::string(1000, 'n'), PCIDEVS_MAX_NAME, 4},
    // Counted after conversion: two UTF-8 bytes are one character here.
    {"MultiByteCharactersCountOnce",
     [] {
         std::string s;
         for (int i = 0; i < 200; ++i)
             s += "\xc3\xa9";
         return s;
     }(),
     200, 0},
};

INSTANTIATE_TEST_SUITE_P(PciIds, NameLength, testing::ValuesIn(LENGTH_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(PcidevsHeader, CarriesThePciIdsVersionInComments) {
    const std::string input = "#\n#\tList of PCI ID's\n#\n#\tVersion: 2023.04.10\n#\n1111  A\n";
    PciIdsReader reader;
    FILE *in = fmemopen(const_cast<char *>(input.data()), input.size(), "rb");
    ASSERT_TRUE(readPciIds(in, reader));
    fclose(in);
    EXPECT_EQ(reader.database().version, "2023.04.10");
    char *buffer = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&buffer, &size);
    ASSERT_TRUE(writePcidevs(reader.database(), out));
    fclose(out);
    const std::string output(buffer, size);
    free(buffer);
    EXPECT_NE(output.find("; from pci.ids version 2023.04.10 "), std::string::npos) << output;
}

TEST(PcidevsStats, CountsWhatWasWritten) {
    const Converted result = convert("1111  Alpha\n\t0001  One\n\t\t1111 0001  A\n"
                                     "\t\t9999 0001  B\n\t\t9999 0002  C\n\t0002  Two\n"
                                     "2222  Beta\n");
    EXPECT_EQ(result.stats.vendors, 2);
    EXPECT_EQ(result.stats.devices, 2);
    EXPECT_EQ(result.stats.subsystemVendors, 2);
    EXPECT_EQ(result.stats.subsystems, 3);
    EXPECT_EQ(result.stats.unknownSubsystemVendors, 1);
}

// The stream reader works in blocks; lines that straddle two blocks, and one
// too long line that straddles several, come out as fed whole.
TEST(PciIdsStream, LinesAcrossReadBlocks) {
    for (size_t padding : {65530u, 65536u - 6u, 65536u - 1u, 65536u, 131072u - 3u}) {
        std::string input(padding, '#');
        input += "\n1111  Alpha\n\t0001  One\n";
        input += std::string(3 * 65536, 'x') + "\n2222  Beta";
        const Converted result = convert(input);
        EXPECT_EQ(result.records, "V\t1111\tAlpha\nD\t0001\tOne\nV\t2222\tBeta\n") << padding;
        ASSERT_EQ(result.warnings.size(), 1u) << padding;
        EXPECT_EQ(result.warnings[0].line, 4);
        EXPECT_EQ(result.warnings[0].message, "line too long");
    }
}

// The real file, where the build machine has it: every subsystem that it
// names is reachable, and a few well-known entries come out as expected.
TEST(RealPciIds, ConvertsWithoutWarnings) {
    FILE *in = fopen("/usr/share/misc/pci.ids", "rb");
    if (in == nullptr)
        GTEST_SKIP() << "no /usr/share/misc/pci.ids";
    int warnings = 0;
    PciIdsReader reader([&](int, const char *) { ++warnings; });
    ASSERT_TRUE(readPciIds(in, reader));
    fclose(in);
    EXPECT_EQ(warnings, 0);
    size_t subsystems = 0;
    for (const PciIdsVendor &v : reader.database().vendors)
        for (const PciIdsDevice &d : v.devices)
            subsystems += d.subsystems.size();
    char *buffer = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&buffer, &size);
    PcidevsStats stats;
    ASSERT_TRUE(writePcidevs(reader.database(), out, &stats));
    fclose(out);
    const std::string output(buffer, size);
    free(buffer);
    expectLoadableLines(output);
    EXPECT_GT(stats.vendors, 1000);
    EXPECT_EQ(size_t(stats.subsystems), subsystems);
    EXPECT_NE(output.find("V\t8086\tIntel Corporation\n"), std::string::npos);
    EXPECT_NE(output.find("V\t15cf\tHilscher Gesellschaft f\xfcr Systemautomation mbH\n"),
              std::string::npos);
}

} // namespace
