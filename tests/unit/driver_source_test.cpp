#include "access/config_channel.h"
#include "access/driver_source.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// Answers as scripted and keeps what the client asked of Win32.
class FakeTransport : public DriverTransport {
  public:
    bool toAnsi(const wchar_t *wide, char *ansi, int ansiSize) override {
        const std::string text(wide, wide + wcslen(wide));
        snprintf(ansi, size_t(ansiSize), "%s", text.c_str());
        return int(text.size()) < ansiSize;
    }
    void *createFile(const char *p, uint32_t a, uint32_t s, uint32_t d, uint32_t attr) override {
        char text[128];
        snprintf(text, sizeof text, "%s %u %u %u %u", p, a, s, d, attr);
        opened = text;
        return openFails ? nullptr : &handle;
    }
    bool deviceIoControl(void *h, uint32_t code, const void *in, uint32_t inSize, void *out,
                         uint32_t outSize, uint32_t *returned) override {
        request.assign(static_cast<const uint8_t *>(in), static_cast<const uint8_t *>(in) + inSize);
        request.insert(request.begin(), {uint32_t(h == &handle), code, outSize});
        std::memset(out, 0xA5, replyBytes < outSize ? replyBytes : outSize);
        *returned = replyBytes;
        return succeed;
    }
    void closeHandle(void *) override { ++closes; }
    uint32_t lastError() override { return error; }

    std::string opened;
    int handle = 0, closes = 0;
    bool openFails = false, succeed = true;
    uint32_t replyBytes = 256, error = 0;
    std::vector<uint32_t> request; // its handle, code and reply room, then its bytes
};

// \\.\KESTRIX opened for writing, exclusively, as it exists; a handle that the
// driver refuses (another program has it) is no open; closed once.
TEST(DriverSource, OpensExclusivelyAndRefusesAHandleTheDriverRefuses) {
    const struct {
        bool openFails, probeSucceeds;
        uint32_t error;
        bool opens;
    } cases[] = {
        {false, true, 0, true},
        {false, false, 2, true},   // no function at 0/0: still the driver's own handle
        {false, false, 32, false}, // ERROR_SHARING_VIOLATION: another program has it
        {true, true, 0, false},
    };
    for (const auto &c : cases) {
        FakeTransport transport;
        transport.openFails = c.openFails;
        transport.succeed = c.probeSucceeds;
        transport.error = c.error;
        DriverSource source(transport);
        ConfigChannel channel;
        channel.source = &source;
        EXPECT_EQ(openChannel(channel), c.opens) << c.error;
        EXPECT_EQ(transport.opened, "\\\\.\\KESTRIX 1073741824 0 3 128");
        EXPECT_EQ(std::string(channel.error).empty(), c.opens) << channel.error;
        closeChannel(channel);
        closeChannel(channel);
        EXPECT_EQ(transport.closes, c.openFails ? 0 : 1) << c.error;
    }
}

// Code 0 on the open handle with 256 bytes of room; the request is eight
// little-endian bytes, bus and slot cut to eight bits; only a full reply counts.
TEST(DriverSource, RequestIsEightLittleEndianBytesAndOnlyAFullReplyCounts) {
    FakeTransport transport;
    DriverSource source(transport);
    ConfigChannel channel;
    channel.source = &source;
    ASSERT_TRUE(openChannel(channel));
    const struct {
        unsigned bus, slot;
        std::vector<uint32_t> request;
        bool succeed;
        uint32_t replyBytes;
        bool read;
    } cases[] = {
        {3, 0x29, {1, 0, 256, 3, 0, 0, 0, 0x29, 0, 0, 0}, true, 256, true},
        {0x1234, 0x5678, {1, 0, 256, 0x34, 0, 0, 0, 0x78, 0, 0, 0}, true, 256, true},
        {0, 0, {1, 0, 256, 0, 0, 0, 0, 0, 0, 0, 0}, true, 255, false},
        {0, 0, {1, 0, 256, 0, 0, 0, 0, 0, 0, 0, 0}, true, 257, false},
        {0, 0, {1, 0, 256, 0, 0, 0, 0, 0, 0, 0, 0}, false, 256, false},
    };
    uint8_t buffer[256];
    for (const auto &c : cases) {
        transport.succeed = c.succeed;
        transport.replyBytes = c.replyBytes;
        EXPECT_EQ(readConfig(channel, c.bus, c.slot, buffer), c.read) << c.replyBytes;
        EXPECT_EQ(transport.request, c.request) << c.bus << "/" << c.slot;
    }
}

} // namespace
