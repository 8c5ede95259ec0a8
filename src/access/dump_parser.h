// Reader of the text that `lspci -x`, `-xxx` and `-xxxx` print: a header line
// "BB:DD.F ..." or "DDDD:BB:DD.F ...", hex lines "OO: xx xx ...", a blank line
// after each function. Lines are fed one at a time; nothing is allocated, so
// the same reader serves the application and the driver.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int DUMP_MESSAGE_SIZE = 256;
constexpr int DUMP_CONFIG_BYTES = 256; // what a function needs to be served
constexpr int DUMP_MAX_OFFSET = 4096;  // extended space printed by -xxxx

struct DumpFunction {
    uint8_t bus;
    uint8_t slot; // SlotByte
    uint8_t bytes[DUMP_CONFIG_BYTES];
    int line; // line of its header
};

class DumpSink {
  public:
    virtual ~DumpSink() = default;
    // A complete function; return false to stop with message filled in.
    virtual bool onFunction(const DumpFunction &function, char *message, size_t size) = 0;
    // A function that is read but left out, with the reason.
    virtual void onSkipped(int line, const char *message) = 0;
};

class DumpParser {
  public:
    explicit DumpParser(DumpSink &sink) : sink_(sink) {}
    // One line without its line end; tooLong when the reader had to cut it.
    // Returns false on a malformed dump; message() says why, errorLine() where.
    bool feedLine(const char *text, size_t length, bool tooLong = false);
    // Call at the end of the input.
    bool finish();
    const char *message() const { return message_; }
    int errorLine() const { return errorLine_; }
    int functionCount() const { return functions_; }

  private:
    bool endFunction();
    bool fail(int line, const char *format, ...);
    bool parseHexLine(const char *text, size_t length);

    DumpSink &sink_;
    int line_ = 0;
    bool inFunction_ = false;
    bool skipping_ = false; // inside a function that is left out
    DumpFunction current_{};
    char name_[48] = {};
    uint8_t have_[DUMP_CONFIG_BYTES / 8] = {};
    int functions_ = 0;
    char message_[DUMP_MESSAGE_SIZE] = {};
    int errorLine_ = 0;
};
