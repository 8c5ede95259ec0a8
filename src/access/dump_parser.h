// Reader of the text that `lspci -x`, `-xxx` and `-xxxx` print: a header line
// "BB:DD.F ..." or "DDDD:BB:DD.F ...", hex lines "OO: xx xx ...", a blank line
// after each function. Lines are fed one at a time; nothing is allocated, so
// the same reader serves the application and the driver. A dump is data, not
// a text file: a CR counts as a blank and a byte 1Ah is no end. A function
// has the 256 bytes of -xxx, or all 4096 of -xxxx; the extended bytes
// (100h..FFFh) are kept where the sink gives room for them.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int DUMP_MESSAGE_SIZE = 256;
constexpr int DUMP_CONFIG_BYTES = 256; // what a function needs to be served
constexpr int DUMP_MAX_OFFSET = 4096;  // extended space printed by -xxxx
// Longer lines than any lspci prints, a larger dump than any machine gives
// (65536 functions of -xxx are about 60 MiB): endless input ends here.
constexpr int DUMP_LINE_LIMIT = 1024;
constexpr unsigned long long DUMP_SIZE_LIMIT = 128ull << 20;
constexpr int DUMP_EXTENDED_BYTES = DUMP_MAX_OFFSET - DUMP_CONFIG_BYTES;

struct DumpFunction {
    uint32_t domain;
    uint8_t bus;
    uint8_t slot; // SlotByte
    uint8_t bytes[DUMP_CONFIG_BYTES];
    uint16_t size; // 256, or 4096 when the dump has the extended space
    // Bytes 100h..FFFh in the sink's room, when size is 4096 and the sink
    // gave room; else null.
    const uint8_t *extended;
    int line; // line of its header
};

class DumpSink {
  public:
    virtual ~DumpSink() = default;
    // A complete function; return false to stop with message filled in.
    virtual bool onFunction(const DumpFunction &function, char *message, size_t size) = 0;
    // A function that is read but left out, with the reason.
    virtual void onSkipped(int line, const char *message) = 0;
    // Whether functions outside domain 0 go to onFunction; if not they are
    // left out (a SlotByte cannot reach them).
    virtual bool takesAllDomains() const { return false; }
    // Room for DUMP_EXTENDED_BYTES bytes of the function being read, valid
    // until its onFunction returns; null to check them and let them go.
    virtual uint8_t *extendedRoom() { return nullptr; }
    // A function whose extended lines are incomplete or repeated: it comes
    // with 256 bytes, and a sink that gave room is told so here.
    virtual void onIncomplete(int, const char *) {}
};

class DumpParser {
  public:
    explicit DumpParser(DumpSink &sink) : sink_(sink) {}
    // One line without its line end; tooLong when the reader had to cut it
    // (an error: no dump has such lines).
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
    int bytesPresent(int from, int to) const;
    bool parseHexLine(const char *text, size_t length);

    DumpSink &sink_;
    int line_ = 0;
    bool inFunction_ = false;
    bool skipping_ = false; // inside a function that is left out
    DumpFunction current_{};
    char name_[48] = {};
    uint8_t *extended_ = nullptr; // the sink's room for the current function
    uint8_t have_[DUMP_MAX_OFFSET / 8] = {};
    bool extendedTwice_ = false; // an extended byte came twice
    int functions_ = 0;
    unsigned long long bytes_ = 0; // fed so far, line ends included
    char message_[DUMP_MESSAGE_SIZE] = {};
    int errorLine_ = 0;
};
