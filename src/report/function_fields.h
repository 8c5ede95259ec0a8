// What the deeper view says about one function, field by field, in the order
// of the header and of the capability lists. A writer lays the fields out:
// the text of --details or the JSON of --json, so that both say the same.
//
//     DetailsText text(out);              // or DetailsJson json(out)
//     describeFunction(view, text);
#pragma once

#include "access/config_source.h"
#include "decode/register_flags.h"
#include "naming/name_database.h"

#include <cstddef>
#include <cstdint>

// One function as read for the deeper view.
struct FunctionView {
    FunctionAddress address;
    const uint8_t *bytes;
    size_t size;                // 256, or 4096 with the extended space
    const FunctionNames *names; // ids and names; empty names where none is known
    const RegionSizes *sizes;   // null where the source has none (a dump)
};

// Every field has a key (JSON, snake_case) and a label (text). A null label
// keeps the field out of the text (the heading already says it, or it is raw
// data); a null key keeps it out of the JSON (a wording for people only).
class FieldVisitor {
  public:
    virtual ~FieldVisitor() = default;
    // A named group of fields: a JSON object; in text a line of its own.
    virtual void beginGroup(const char *key, const char *label) = 0;
    virtual void endGroup() = 0;
    // A list of items (a JSON array of objects); each item has a heading.
    virtual void beginList(const char *key) = 0;
    virtual void endList() = 0;
    virtual void beginItem(const char *heading) = 0;
    virtual void endItem() = 0;

    // A register or an identifier, shown in hex with this many digits.
    virtual void hex(const char *key, const char *label, uint32_t value, int digits) = 0;
    // An identifier and its name (empty or null when none is known).
    virtual void named(const char *key, const char *label, uint32_t value, int digits,
                       const char *nameKey, const char *name) = 0;
    // A count or a quantity in a unit (unit may be null).
    virtual void count(const char *key, const char *label, uint64_t value, const char *unit) = 0;
    // An address or a size that may need all 64 bits.
    virtual void address(const char *key, const char *label, uint64_t value) = 0;
    // A size in bytes, which may need all 64 bits.
    virtual void size(const char *key, const char *label, uint64_t bytes) = 0;
    virtual void flag(const char *key, const char *label, bool value) = 0;
    // Text; null for none.
    virtual void text(const char *key, const char *label, const char *value) = 0;
    // A register of flags: its value and the names of the set ones.
    virtual void flags(const char *key, const char *label, uint32_t value, int digits,
                       const FlagTable &table) = 0;
    // A value that cannot be known, and why.
    virtual void unknown(const char *key, const char *label, const char *why) = 0;
    // Raw bytes, as hex.
    virtual void bytes(const char *key, const char *label, const uint8_t *data, size_t size) = 0;
};

// The identifiers that name a function, taken by its layout (a bridge keeps
// its subsystem in a capability).
void functionIds(const uint8_t *bytes, size_t size, FunctionNames &names);

void describeFunction(const FunctionView &function, FieldVisitor &out);
