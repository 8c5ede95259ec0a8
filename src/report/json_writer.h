// A small streaming JSON writer for the deeper view: members and elements
// are written as they come, indented two blanks a level. Strings are taken
// in Windows-1252 (the code page of every name here) and written as UTF-8;
// every control character, C1 controls included, is written as an escape,
// so the output holds no byte that a terminal would act on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

class JsonWriter {
  public:
    explicit JsonWriter(FILE *out) : out_(out) {}
    // A key goes with each value inside an object and is null inside an
    // array or at the top.
    void beginObject(const char *key = nullptr);
    void endObject();
    // An array of scalars can go on one line.
    void beginArray(const char *key = nullptr, bool oneLine = false);
    void endArray();
    void number(const char *key, uint64_t value);
    void boolean(const char *key, bool value);
    void null(const char *key);
    void string(const char *key, const char *text) { string(key, text, npos()); }
    // At most length bytes of text, or up to its NUL.
    void string(const char *key, const char *text, size_t length);
    // After the last value: the line end of the whole document.
    void finish();

  private:
    static constexpr size_t npos() { return ~size_t(0); }
    void element(const char *key);
    void close(char bracket);
    void quoted(const char *text, size_t length);

    FILE *out_;
    int depth_ = 0;
    bool empty_ = true;    // nothing written yet at this depth
    int oneLineDepth_ = 0; // depth of the one-line array, 0 for none
};
