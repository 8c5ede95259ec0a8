#include "naming/class_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

struct ClassCase {
    uint8_t base, sub, progIf, revision;
    const char *className, *subClassName, *progIfName;
};

uint32_t classCode(const ClassCase &c) {
    return uint32_t(c.base) << 24 | uint32_t(c.sub) << 16 | uint32_t(c.progIf) << 8 | c.revision;
}

const ClassCase CASES[] = {
    {0x03, 0x00, 0x00, 0x00, "Display Controller", "PC Compatible", "VGA"},
    {0x03, 0x00, 0x00, 0xA1, "Display Controller", "PC Compatible", "VGA"},
    {0x03, 0x00, 0x01, 0x00, "Display Controller", "PC Compatible", "8514"},
    // The sub-class name comes from the first row with that sub-class.
    {0x0C, 0x03, 0x20, 0x00, "Serial Bus Controller", "USB (Universal Serial Bus)",
     "EHCI (Enhanced Host)"},
    // Codes match whole: no masking of programming-interface bits.
    {0x01, 0x01, 0x8A, 0x00, "Mass Storage Controller", "IDE", ""},
    {0x01, 0x01, 0x80, 0x00, "Mass Storage Controller", "IDE", "Master"},
    {0x07, 0x80, 0x00, 0x00, "Simple Comm Controller", "Other", ""},
    {0x07, 0x80, 0x02, 0x00, "Simple Comm Controller", "Other", ""},
    {0x0F, 0x00, 0x00, 0x00, "Satellite Comm Controller", "", ""},
    {0x0E, 0x00, 0x00, 0x00, "Intelligent IO Controller", "", ""},
    {0x06, 0x09, 0x00, 0x00, "Bridge Device", "PCI->PCI Semi-Transparent", ""},
    {0x06, 0x09, 0x80, 0x00, "Bridge Device", "PCI->PCI Semi-Transparent", "Secondary"},
    {0x06, 0x04, 0x01, 0x00, "Bridge Device", "PCI->PCI", "Subtractive Decode"},
    {0xFF, 0x00, 0x00, 0x00, "Unknown", "", ""},
    {0xFF, 0xFF, 0xFF, 0x00, "Unknown", "", ""},
    {0x80, 0x00, 0x00, 0x00, "", "", ""},
    {0x12, 0x00, 0x00, 0x00, "", "", ""},
    {0xFE, 0x80, 0x00, 0x00, "", "", ""},
    {0x11, 0x80, 0x00, 0x00, "Data Acq/Signal Processing", "Other", ""},
    {0x00, 0x01, 0x00, 0x00, "Pre-2.0 PCI Device", "VGA Compatible", ""},
    {0x02, 0x00, 0x00, 0x05, "Network Controller", "Ethernet", ""},
    {0x02, 0x00, 0x01, 0x00, "Network Controller", "Ethernet", ""},
    {0x0D, 0x21, 0x00, 0x00, "Wireless Controller", "Ethernet", "802.11b"},
};

class ClassNameLookup : public testing::TestWithParam<ClassCase> {};

TEST_P(ClassNameLookup, NamesTheThreeCodes) {
    const ClassCase &c = GetParam();
    const char *className = nullptr, *subClassName = nullptr, *progIfName = nullptr;
    lookupClassNames(classCode(c), &className, &subClassName, &progIfName);
    ASSERT_NE(className, nullptr);
    ASSERT_NE(subClassName, nullptr);
    ASSERT_NE(progIfName, nullptr);
    EXPECT_STREQ(className, c.className);
    EXPECT_STREQ(subClassName, c.subClassName);
    EXPECT_STREQ(progIfName, c.progIfName);
}

INSTANTIATE_TEST_SUITE_P(Codes, ClassNameLookup, testing::ValuesIn(CASES));

TEST(ClassNameTableShape, RowsAscendUniqueAndOneNamePerBaseClass) {
    uint32_t previous = 0;
    std::set<uint8_t> seenBases;
    for (int i = 0; i < CLASS_NAME_ROWS; ++i) {
        const ClassNameRow &row = ClassNameTable[i];
        const uint32_t key =
            uint32_t(row.baseClass) << 16 | uint32_t(row.subClass) << 8 | row.progIf;
        if (i > 0) {
            EXPECT_LT(previous, key) << "row " << i + 1 << " out of order or repeated";
            const ClassNameRow &before = ClassNameTable[i - 1];
            if (before.baseClass == row.baseClass)
                EXPECT_STREQ(before.className, row.className) << "row " << i + 1;
            else
                EXPECT_TRUE(seenBases.insert(row.baseClass).second)
                    << "base class " << int(row.baseClass) << " split at row " << i + 1;
        } else {
            seenBases.insert(row.baseClass);
        }
        previous = key;
        ASSERT_NE(row.className, nullptr);
        ASSERT_NE(row.subClassName, nullptr);
        ASSERT_NE(row.progIfName, nullptr);
        EXPECT_STRNE(row.className, "") << "row " << i + 1;
    }
    EXPECT_EQ(seenBases.size(), 19u); // 00..11 and FF
}

TEST(ClassNameTableShape, EveryRowFindsItsOwnProgIfName) {
    // A row can only be shadowed by an earlier row with the same codes, and
    // the codes are unique, so each row's programming-interface name is reachable.
    for (const ClassNameRow &row : ClassNameTable) {
        const char *c, *s, *p;
        lookupClassNames(uint32_t(row.baseClass) << 24 | uint32_t(row.subClass) << 16 |
                             uint32_t(row.progIf) << 8,
                         &c, &s, &p);
        EXPECT_STREQ(p, row.progIfName);
        EXPECT_STREQ(c, row.className);
    }
}

} // namespace
