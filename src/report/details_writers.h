// The two layouts of the deeper view: text for people (--details) and JSON
// (--json). Both take names in Windows-1252 and write UTF-8.
#pragma once

#include "report/function_fields.h"
#include "report/json_writer.h"

#include <cstdio>
#include <string>

// One block per function: its heading, then a line per group of fields,
// continued on indented lines past 100 columns; a blank line after it.
class DetailsText : public FieldVisitor {
  public:
    explicit DetailsText(FILE *out) : out_(out) {}
    void beginGroup(const char *key, const char *label) override;
    void endGroup() override;
    void beginList(const char *) override {}
    void endList() override {}
    void beginItem(const char *heading) override;
    void endItem() override;
    void hex(const char *key, const char *label, uint32_t value, int digits) override;
    void named(const char *key, const char *label, uint32_t value, int digits, const char *nameKey,
               const char *name) override;
    void count(const char *key, const char *label, uint64_t value, const char *unit) override;
    void address(const char *key, const char *label, uint64_t value) override;
    void size(const char *key, const char *label, uint64_t bytes) override;
    void flag(const char *key, const char *label, bool value) override;
    void text(const char *key, const char *label, const char *value) override;
    void flags(const char *key, const char *label, uint32_t value, int digits,
               const FlagTable &table) override;
    void unknown(const char *key, const char *label, const char *why) override;
    void bytes(const char *, const char *, const uint8_t *, size_t) override {}

  private:
    void startLine(const char *label, bool fieldsFollow);
    void field(const char *label, const char *value);
    void flush();

    FILE *out_;
    int depth_ = 0;
    int hidden_ = 0; // inside groups that the text leaves out
    std::string line_;
    bool fields_ = false;   // a field is on the line
    bool labelled_ = false; // the line has a heading or a label
    bool colon_ = false;    // the line has a label that the first field follows after ": "
};

// A JSON array of one object per function; call finish() after the last.
// Numbers, flags and texts go out under their keys, and the fields without
// a key (wordings for people) not at all; sizes are addresses, and a value
// that cannot be known is null.
class DetailsJson : public FieldVisitor {
  public:
    explicit DetailsJson(FILE *out) : json_(out) { json_.beginArray(); }
    void finish();
    void beginGroup(const char *key, const char *) override { json_.beginObject(key); }
    void endGroup() override { json_.endObject(); }
    void beginList(const char *key) override { json_.beginArray(key); }
    void endList() override { json_.endArray(); }
    void beginItem(const char *) override { json_.beginObject(); }
    void endItem() override { json_.endObject(); }
    void hex(const char *key, const char *, uint32_t value, int) override { number(key, value); }
    void named(const char *key, const char *label, uint32_t value, int digits, const char *nameKey,
               const char *name) override;
    void count(const char *key, const char *, uint64_t value, const char *) override {
        number(key, value);
    }
    void address(const char *key, const char *label, uint64_t value) override;
    void size(const char *key, const char *label, uint64_t bytes) override {
        address(key, label, bytes);
    }
    void flag(const char *key, const char *, bool value) override {
        if (key != nullptr)
            json_.boolean(key, value);
    }
    void text(const char *key, const char *label, const char *value) override;
    void flags(const char *key, const char *label, uint32_t value, int digits,
               const FlagTable &table) override;
    void unknown(const char *key, const char *, const char *) override { json_.null(key); }
    void bytes(const char *key, const char *label, const uint8_t *data, size_t size) override;

  private:
    void number(const char *key, uint64_t value) {
        if (key != nullptr)
            json_.number(key, value);
    }

    JsonWriter json_;
};
