// Built-in names of PCI class codes: base class, sub-class and programming
// interface, looked up once per scanned function.
#pragma once

#include <cstdint>

struct ClassNameRow {
    uint8_t baseClass;
    uint8_t subClass;
    uint8_t progIf;
    const char *className;
    const char *subClassName;
    const char *progIfName;
};

constexpr int CLASS_NAME_ROWS = 147;
extern const ClassNameRow ClassNameTable[CLASS_NAME_ROWS];

// classCode is the dword at header offset 0x08; the revision byte is ignored.
// Each output is a constant string, empty when no row names it; never null.
void lookupClassNames(uint32_t classCode, const char **className, const char **subClassName,
                      const char **progIfName);
