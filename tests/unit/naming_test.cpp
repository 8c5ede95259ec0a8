// The built-in name tables, whole, as golden data: every class-code row, the
// lookups that the table's order decides, and every register bit's line.
#include "naming/bit_names.h"
#include "naming/class_names.h"

#include "golden.h"

#include <gtest/gtest.h>

namespace {

std::string classLine(uint32_t code, const char *name, const char *sub, const char *progIf) {
    char line[256];
    snprintf(line, sizeof line, "%02X %02X %02X  %s | %s | %s\n", code >> 24, code >> 16 & 0xFF,
             code >> 8 & 0xFF, name, sub, progIf);
    return line;
}

TEST(NameTables, AsGoldenText) {
    std::string text = "ClassNameTable\n";
    for (const ClassNameRow &r : ClassNameTable)
        text += classLine(uint32_t(r.baseClass) << 24 | uint32_t(r.subClass) << 16 |
                              uint32_t(r.progIf) << 8,
                          r.className, r.subClassName, r.progIfName);
    text += "\nlookupClassNames\n";
    for (uint32_t code : {0x030000A1u, 0x03000100u, 0x0C032000u, 0x01018A00u, 0x07800000u,
                          0x07800200u, 0x0F000000u, 0x0E000000u, 0x06090000u, 0x06098000u,
                          0xFF000000u, 0xFFFFFF00u, 0x80000000u, 0x12000000u}) {
        const char *name, *sub, *progIf;
        lookupClassNames(code, &name, &sub, &progIf);
        text += classLine(code, name, sub, progIf);
    }
    text += testing_support::capture([](FILE *f) {
        fputs("\nCommandBitNames\n", f);
        writeBitNameLines(f, CommandBitNames, 0xFFFF);
        fputs("\nStatusBitNames\n", f);
        writeBitNameLines(f, StatusBitNames, 0xFFFF);
        fputs("\ndevselName\n", f);
        for (uint16_t status : {0x0000, 0x0200, 0x0400, 0x0600, 0xF9FF})
            fprintf(f, "%04X %s\n", status, devselName(status));
    });
    testing_support::expectGolden("name-tables.txt", text);
}

} // namespace
