// kestrix.sys's reads through the HAL and its sysfs paths, built for the build
// machine against a HAL that answers as scripted, and its dump table.
#include "config_read.h"
#include "dump_table.h"

#include "access/dump_source.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct HalCall {
    ULONG bus, device, function, offset, length;
};

HalCall lastCall;
ULONG answerBytes;     // what the HAL gives
uint16_t answerVendor; // the first two bytes it gives

} // namespace

extern "C" ULONG HalGetBusDataByOffset(BUS_DATA_TYPE type, ULONG bus, ULONG slot, PVOID buffer,
                                       ULONG offset, ULONG length) {
    EXPECT_EQ(type, PCIConfiguration);
    PCI_SLOT_NUMBER number;
    number.u.AsULONG = slot;
    lastCall = {bus, number.u.bits.DeviceNumber, number.u.bits.FunctionNumber, offset, length};
    auto *bytes = static_cast<UCHAR *>(buffer);
    for (ULONG i = 0; i < answerBytes && i < length; ++i)
        bytes[i] = UCHAR(i == 0 ? answerVendor : i == 1 ? answerVendor >> 8 : i);
    return answerBytes < length ? answerBytes : length;
}

namespace {

TEST(DriverHalRead, AFunctionIsAFullAnswerWithAVendor) {
    const struct {
        const char *what;
        ULONG bytes;
        uint16_t vendor;
        BOOLEAN found;
    } cases[] = {
        {"a function", 256, 0x8086, TRUE},
        {"vendor 0000 answers too", 256, 0x0000, TRUE},
        {"an empty slot reads vendor FFFFh", 256, 0xFFFF, FALSE},
        {"vendor FFFEh is a function", 256, 0xFFFE, TRUE},
        {"a missing bus gives nothing", 0, 0x8086, FALSE},
        {"a short answer", 64, 0x8086, FALSE},
    };
    for (const auto &c : cases) {
        answerBytes = c.bytes;
        answerVendor = c.vendor;
        UCHAR buffer[CONFIG_SPACE_BYTES] = {};
        EXPECT_EQ(readHalConfig(7, 0x22, buffer), c.found) << c.what;
        EXPECT_EQ(lastCall.offset, 0u) << c.what;
        EXPECT_EQ(lastCall.length, 256u) << c.what;
        if (c.found) {
            EXPECT_EQ(buffer[255], 255) << c.what;
        }
    }
}

// Slot bytes whose device-times-eight reading differs from the device in bits
// 0..4 and the function in bits 5..7.
TEST(DriverHalRead, SlotByteNamesDeviceAndFunction) {
    const struct {
        UCHAR bus, slot;
        ULONG device, function;
        const wchar_t *sysfs;
    } cases[] = {
        {0x00, 0x22, 2, 1, L"0000:00:02.1"},
        {0x0a, 0x09, 9, 0, L"0000:0a:09.0"},
        {0x3c, 0xE3, 3, 7, L"0000:3c:03.7"},
        {0xff, 0x1f, 31, 0, L"0000:ff:1f.0"},
    };
    answerBytes = 256;
    answerVendor = 0x1234;
    for (const auto &c : cases) {
        UCHAR buffer[CONFIG_SPACE_BYTES];
        readHalConfig(c.bus, c.slot, buffer);
        EXPECT_EQ(lastCall.bus, c.bus);
        EXPECT_EQ(lastCall.device, c.device) << int(c.slot);
        EXPECT_EQ(lastCall.function, c.function) << int(c.slot);
        WCHAR path[SYSFS_CONFIG_PATH_SIZE];
        sysfsConfigPath(c.bus, c.slot, path);
        EXPECT_EQ(std::wstring(path),
                  std::wstring(L"\\??\\unix\\sys\\bus\\pci\\devices\\") + c.sysfs + L"\\config");
    }
}

// kestrix.sys's dump table refuses the dumps of tests/data/dumps with
// the causes that the application's reader gives.
TEST(DriverDumpTable, RefusesWhatTheApplicationRefuses) {
    for (const auto &file : std::filesystem::directory_iterator(TEST_DATA_DIR "/dumps")) {
        const std::string path = file.path().string();
        DumpSource application(path.c_str());
        char expected[SOURCE_ERROR_SIZE] = "";
        application.open(expected, sizeof expected);
        // "FILE:LINE: cause" is "LINE: cause" here, "FILE: cause" just "cause".
        std::string cause = expected;
        if (!cause.empty())
            cause = cause.substr(path.size() + (cause[path.size() + 1] == ' ' ? 2 : 1));
        const std::string text = testing_support::readBytes(path);
        std::vector<DumpEntry> entries(dumpTableCapacity(text.size()));
        char error[DUMP_ERROR_SIZE] = "";
        loadDumpFunctions(text.data(), text.size(), entries.data(), entries.size(), nullptr, error,
                          sizeof error);
        EXPECT_EQ(error, cause) << path;
    }
}

} // namespace
