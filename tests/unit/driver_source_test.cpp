#include "access/config_channel.h"
#include "access/driver_source.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Answers as scripted and keeps what the client asked of Win32.
class FakeTransport : public DriverTransport {
  public:
    bool toAnsi(const wchar_t *wide, char *ansi, int ansiSize) override {
        int i = 0;
        for (; wide[i] != 0 && i + 1 < ansiSize; ++i)
            ansi[i] = char(wide[i]);
        ansi[i] = '\0';
        return wide[i] == 0;
    }
    void *createFile(const char *p, uint32_t a, uint32_t s, uint32_t d, uint32_t attr) override {
        opened = {p, a, s, d, attr};
        return openFails ? nullptr : &handle;
    }
    bool deviceIoControl(void *h, uint32_t code, const void *in, uint32_t inSize, void *out,
                         uint32_t outSize, uint32_t *returned) override {
        EXPECT_EQ(h, &handle);
        EXPECT_EQ(code, 0u);
        EXPECT_EQ(outSize, 256u);
        request.assign(static_cast<const uint8_t *>(in), static_cast<const uint8_t *>(in) + inSize);
        std::memset(out, 0xA5, replyBytes < outSize ? replyBytes : outSize);
        *returned = replyBytes;
        ++calls;
        return succeed;
    }
    void closeHandle(void *) override { ++closes; }
    uint32_t lastError() override { return error; }

    struct Open {
        std::string path;
        uint32_t access, share, disposition, attributes;
        bool operator==(const Open &) const = default;
    } opened{};
    int handle = 0, calls = 0, closes = 0;
    bool openFails = false, succeed = true;
    uint32_t replyBytes = 256, error = 0;
    std::vector<uint8_t> request;
};

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
        EXPECT_EQ(transport.opened,
                  (FakeTransport::Open{"\\\\.\\KESTRIX", 0x40000000u, 0, 3, 0x80}));
        EXPECT_EQ(std::string(channel.error).empty(), c.opens) << channel.error;
        closeChannel(channel);
        closeChannel(channel);
        EXPECT_EQ(transport.closes, c.openFails ? 0 : 1) << c.error;
    }
}

TEST(DriverSource, RequestIsEightLittleEndianBytesAndOnlyAFullReplyCounts) {
    FakeTransport transport;
    DriverSource source(transport);
    ConfigChannel channel;
    channel.source = &source;
    ASSERT_TRUE(openChannel(channel));
    const struct {
        unsigned bus, slot;
        std::vector<uint8_t> bytes;
        bool succeed;
        uint32_t replyBytes;
        bool read;
    } cases[] = {
        {3, 0x29, {3, 0, 0, 0, 0x29, 0, 0, 0}, true, 256, true},
        {0x1234, 0x5678, {0x34, 0, 0, 0, 0x78, 0, 0, 0}, true, 256, true},
        {0, 0, {0, 0, 0, 0, 0, 0, 0, 0}, true, 255, false},
        {0, 0, {0, 0, 0, 0, 0, 0, 0, 0}, true, 257, false},
        {0, 0, {0, 0, 0, 0, 0, 0, 0, 0}, false, 256, false},
    };
    uint8_t buffer[256];
    for (const auto &c : cases) {
        transport.succeed = c.succeed;
        transport.replyBytes = c.replyBytes;
        EXPECT_EQ(readConfig(channel, c.bus, c.slot, buffer), c.read) << c.replyBytes;
        EXPECT_EQ(transport.request, c.bytes) << c.bus << "/" << c.slot;
    }
    const int calls = transport.calls;
    EXPECT_FALSE(readConfig(channel, 0, 0, nullptr));
    EXPECT_EQ(transport.calls, calls) << "no request without a buffer";
}

} // namespace
