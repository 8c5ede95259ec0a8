#include "access/config_channel.h"
#include "access/driver_source.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Records what the client asks of Win32 and answers as scripted.
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
        path = p;
        access = a;
        share = s;
        disposition = d;
        attributes = attr;
        return openFails ? nullptr : &handle;
    }
    bool deviceIoControl(void *h, uint32_t c, const void *in, uint32_t inSize, void *out,
                         uint32_t outSize, uint32_t *returned) override {
        ++calls;
        EXPECT_EQ(h, &handle);
        code = c;
        request.assign(static_cast<const uint8_t *>(in), static_cast<const uint8_t *>(in) + inSize);
        replyRoom = outSize;
        std::memset(out, 0xA5, replyBytes < outSize ? replyBytes : outSize);
        *returned = replyBytes;
        return succeed;
    }
    void closeHandle(void *h) override {
        EXPECT_EQ(h, &handle);
        ++closes;
    }
    uint32_t lastError() override { return error; }

    int handle = 0;
    bool openFails = false, succeed = true;
    uint32_t replyBytes = 256;
    uint32_t error = 0;
    std::string path;
    uint32_t access = 0, share = 1, disposition = 0, attributes = 0, code = 99, replyRoom = 0;
    std::vector<uint8_t> request;
    int calls = 0, closes = 0;
};

struct DriverFixture : testing::Test {
    FakeTransport transport;
    DriverSource source{transport};
    ConfigChannel channel;
    uint8_t buffer[256];
    void SetUp() override { channel.source = &source; }
};

TEST_F(DriverFixture, OpensTheDeviceExclusivelyForWriting) {
    ASSERT_TRUE(openChannel(channel));
    EXPECT_EQ(transport.path, "\\\\.\\KESTRIX");
    EXPECT_EQ(transport.access, 0x40000000u);
    EXPECT_EQ(transport.share, 0u);
    EXPECT_EQ(transport.disposition, 3u);
    EXPECT_EQ(transport.attributes, 0x80u);
}

TEST_F(DriverFixture, AHandleTheDriverRefusesIsAFailedOpen) {
    const struct {
        bool probeSucceeds;
        uint32_t error;
        bool opens;
    } cases[] = {
        {true, 0, true},
        {false, 2, true}, // no function at 0/0: still the driver's own handle
        {false, 31, true},
        {false, 32, false}, // ERROR_SHARING_VIOLATION: another program has it
    };
    for (const auto &c : cases) {
        transport.succeed = c.probeSucceeds;
        transport.error = c.error;
        transport.closes = 0;
        ConfigChannel fresh;
        fresh.source = &source;
        EXPECT_EQ(openChannel(fresh), c.opens) << c.error;
        EXPECT_EQ(transport.closes, c.opens ? 0 : 1) << c.error;
        closeChannel(fresh);
    }
}

TEST_F(DriverFixture, FailedOpenReadsAndClosesNothing) {
    transport.openFails = true;
    EXPECT_FALSE(openChannel(channel));
    EXPECT_STRNE(channel.error, "");
    EXPECT_FALSE(readConfig(channel, 0, 0, buffer));
    closeChannel(channel);
    EXPECT_EQ(transport.calls, 0);
    EXPECT_EQ(transport.closes, 0);
}

TEST_F(DriverFixture, RequestIsEightLittleEndianBytes) {
    const struct {
        unsigned bus, slot;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {0, 0, {0, 0, 0, 0, 0, 0, 0, 0}},
        {3, 0x29, {3, 0, 0, 0, 0x29, 0, 0, 0}},
        {255, 255, {255, 0, 0, 0, 255, 0, 0, 0}},
        {256, 300, {0, 0, 0, 0, 44, 0, 0, 0}},
        {0x1234, 0x5678, {0x34, 0, 0, 0, 0x78, 0, 0, 0}},
    };
    ASSERT_TRUE(openChannel(channel));
    for (const auto &c : cases) {
        EXPECT_TRUE(readConfig(channel, c.bus, c.slot, buffer));
        EXPECT_EQ(transport.request, c.bytes) << c.bus << "/" << c.slot;
        EXPECT_EQ(transport.code, 0u);
        EXPECT_EQ(transport.replyRoom, 256u);
    }
}

TEST_F(DriverFixture, OnlyAFullReplyCounts) {
    ASSERT_TRUE(openChannel(channel));
    const struct {
        bool succeed;
        uint32_t bytes;
        bool expected;
    } cases[] = {{true, 256, true}, {true, 255, false},  {true, 0, false},
                 {true, 64, false}, {false, 256, false}, {true, 257, false}};
    for (const auto &c : cases) {
        transport.succeed = c.succeed;
        transport.replyBytes = c.bytes;
        EXPECT_EQ(readConfig(channel, 0, 0, buffer), c.expected) << c.succeed << " " << c.bytes;
    }
}

TEST_F(DriverFixture, NullBufferSendsNoRequest) {
    ASSERT_TRUE(openChannel(channel));
    const int afterOpen = transport.calls;
    EXPECT_FALSE(readConfig(channel, 0, 0, nullptr));
    EXPECT_EQ(transport.calls, afterOpen);
}

TEST_F(DriverFixture, ClosesTheHandleOnce) {
    ASSERT_TRUE(openChannel(channel));
    closeChannel(channel);
    closeChannel(channel);
    EXPECT_EQ(transport.closes, 1);
}

} // namespace
