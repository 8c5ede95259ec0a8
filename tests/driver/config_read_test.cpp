// kestrix.sys's reads through the HAL and its sysfs paths, built for the build
// machine against a HAL that answers as scripted, and its dump table.
#include "config_read.h"
#include "dump_table.h"

#include "access/dump_source.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<ULONG> lastCall; // bus, device, function, offset, length
ULONG answerBytes;           // what the HAL gives
uint16_t answerVendor;       // the first two bytes it gives

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

// A function is a full answer whose vendor is not FFFFh. Slot bytes whose
// device-times-eight reading differs from the device in bits 0..4 and the
// function in bits 5..7 ask the HAL for that device and function, all 256
// bytes from offset 0, and name that function's sysfs file.
TEST(DriverHalRead, AFunctionIsAFullAnswerWithAVendor) {
    const struct {
        const char *what;
        ULONG bytes;
        uint16_t vendor;
        UCHAR bus, slot;
        BOOLEAN found;
        const wchar_t *sysfs;
    } cases[] = {
        {"a function", 256, 0x8086, 0x00, 0x22, TRUE, L"0000:00:02.1"},
        {"vendor 0000 answers too", 256, 0x0000, 0x0a, 0x09, TRUE, L"0000:0a:09.0"},
        {"an empty slot reads vendor FFFFh", 256, 0xFFFF, 0x3c, 0xE3, FALSE, L"0000:3c:03.7"},
        {"vendor FFFEh is a function", 256, 0xFFFE, 0xff, 0x1f, TRUE, L"0000:ff:1f.0"},
        {"a missing bus gives nothing", 0, 0x8086, 7, 0x22, FALSE, L"0000:07:02.1"},
        {"a short answer", 64, 0x8086, 7, 0x22, FALSE, L"0000:07:02.1"},
    };
    for (const auto &c : cases) {
        answerBytes = c.bytes;
        answerVendor = c.vendor;
        UCHAR buffer[CONFIG_SPACE_BYTES] = {};
        EXPECT_EQ(readHalConfig(c.bus, c.slot, buffer), c.found) << c.what;
        EXPECT_EQ(lastCall, (std::vector<ULONG>{c.bus, c.slot & 0x1Fu, ULONG(c.slot >> 5), 0, 256}))
            << c.what;
        EXPECT_TRUE(!c.found || buffer[255] == 255) << c.what;
        WCHAR path[SYSFS_CONFIG_PATH_SIZE];
        sysfsConfigPath(c.bus, c.slot, path);
        EXPECT_EQ(std::wstring(path),
                  std::wstring(L"\\??\\unix\\sys\\bus\\pci\\devices\\") + c.sysfs + L"\\config");
    }
}

// kestrix.sys's dump table reads the dumps of tests/data/dumps as the
// application's reader does: it refuses the same with the same causes.
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
