// Driver-level test of kestrix.sys: talks to \\.\KESTRIX the way the
// application does and checks the driver's side of the contract.
//
//   kestrix_driver_test EXPECTED    the driver is running; EXPECTED lists the
//                                   functions it must serve, one per line:
//                                   "BB:DD.F PATH", PATH holding the 256 bytes
//                                   (more are ignored); every other function on
//                                   buses 0..15 and on the listed buses must be
//                                   absent
//   kestrix_driver_test --absent    the device must not exist
//   kestrix_driver_test --checksum IMAGE
//                                   the PE checksum in IMAGE's header is set and
//                                   matches the one imagehlp computes
//
// Exit status 0 when every check passes, 1 otherwise, 2 on wrong usage.
// The NTSTATUS values the driver answers with come from ntstatus.h.
#define WIN32_NO_STATUS
#include <windows.h>
#undef WIN32_NO_STATUS
#include <ntstatus.h>

#include <imagehlp.h>
#include <sddl.h>
#include <winternl.h>

#include "device_security.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace {

constexpr char DEVICE_PATH[] = "\\\\.\\KESTRIX";
constexpr DWORD CONFIG_BYTES = 256;

// The functions the driver must serve: their bytes by bus << 8 | slot byte.
std::map<unsigned, std::vector<uint8_t>> expected;
int checks = 0;
int failures = 0;

void check(bool ok, const char *format, ...) {
    ++checks;
    if (ok)
        return;
    ++failures;
    va_list args;
    va_start(args, format);
    fputs("FAIL: ", stdout);
    vprintf(format, args);
    fputc('\n', stdout);
    va_end(args);
}

HANDLE openDevice() {
    return CreateFileA(DEVICE_PATH, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// The application's request: u32 bus, u32 slot byte, little-endian as Windows is.
void buildRequest(uint32_t bus, uint32_t slot, uint8_t request[8]) {
    memcpy(request, &bus, 4);
    memcpy(request + 4, &slot, 4);
}

struct Reply {
    bool ok;
    DWORD error;
    DWORD returned;
};

// One read as the application issues it.
Reply readConfig(HANDLE device, uint32_t bus, uint32_t slot, uint8_t *out) {
    uint8_t request[8];
    buildRequest(bus, slot, request);
    DWORD returned = 0;
    SetLastError(0);
    const BOOL ok =
        DeviceIoControl(device, 0, request, sizeof request, out, CONFIG_BYTES, &returned, nullptr);
    return {ok != FALSE, ok ? 0 : GetLastError(), returned};
}

// The read at bus/slot answers the listed function's bytes, or, where none is
// listed, that no function is there.
bool answersRight(HANDLE device, unsigned bus, unsigned slot, Reply &r) {
    uint8_t out[CONFIG_BYTES];
    memset(out, 0xA5, sizeof out);
    r = readConfig(device, bus, slot, out);
    const auto e = expected.find(bus << 8 | slot);
    if (e == expected.end())
        return !r.ok && r.error == ERROR_DEV_NOT_EXIST;
    return r.ok && r.returned == CONFIG_BYTES && memcmp(out, e->second.data(), CONFIG_BYTES) == 0;
}

// The function single reads use: the first listed one, else 00:00.0, absent.
unsigned probeBus() {
    return expected.empty() ? 0 : expected.begin()->first >> 8;
}
unsigned probeSlot() {
    return expected.empty() ? 0 : expected.begin()->first & 0xFF;
}

bool loadExpected(const char *listPath) {
    FILE *list = fopen(listPath, "r");
    bool ok = list != nullptr;
    unsigned bus, device, function;
    char path[1024];
    while (ok && fscanf(list, "%2x:%2x.%1u %1023[^\r\n]", &bus, &device, &function, path) == 4) {
        std::vector<uint8_t> &e = expected[bus << 8 | device | function << 5];
        e.resize(CONFIG_BYTES);
        FILE *bytes = fopen(path, "rb");
        ok = bytes != nullptr && fread(e.data(), 1, CONFIG_BYTES, bytes) == CONFIG_BYTES;
        if (bytes != nullptr)
            fclose(bytes);
    }
    ok = ok && feof(list); // every line read
    if (list != nullptr)
        fclose(list);
    if (!ok)
        printf("%s: no list of \"BB:DD.F PATH\" lines with 256 bytes at each PATH\n", listPath);
    return ok;
}

// Every bus/slot pair of buses 0..15 and of the buses the list names, as the
// application's scan reads them.
void checkScan(HANDLE device) {
    bool buses[256] = {};
    for (int b = 0; b < 16; ++b)
        buses[b] = true;
    for (const auto &e : expected)
        buses[e.first >> 8] = true;
    int wrong = 0;
    for (unsigned pair = 0; pair < 0x10000; ++pair) {
        Reply r;
        if (!buses[pair >> 8] || answersRight(device, pair >> 8, pair & 0xFF, r) || ++wrong > 20)
            continue;
        printf("FAIL: scan: %02x:%02x.%u: ok %d error %lu returned %lu\n", pair >> 8, pair & 0x1F,
               (pair & 0xFF) >> 5, r.ok, r.error, r.returned);
    }
    check(wrong == 0, "scan: %d pairs answered wrongly", wrong);
    printf("scan: %zu functions expected\n", expected.size());
}

// Malformed requests and the status each one must end with, seen at the NT
// level. The address used is that of a function that is present (with none,
// 00:00.0, which answers that it does not exist), so a request wrongly
// accepted would succeed instead of failing.
void checkShapes(HANDLE device) {
    const struct {
        const char *name;
        DWORD code, inSize, outSize; // the request's code and size, the reply room
        int64_t busDelta, slotDelta; // added to the function's address
        NTSTATUS status;
    } cases[] = {
        {"well-formed, 512 bytes of reply room", 0, 8, 512, 0, 0, STATUS_SUCCESS},
        {"no request", 0, 0, 256, 0, 0, STATUS_INVALID_PARAMETER},
        {"4-byte request", 0, 4, 256, 0, 0, STATUS_INVALID_PARAMETER},
        {"9-byte request", 0, 9, 256, 0, 0, STATUS_INVALID_PARAMETER},
        {"no reply room", 0, 8, 0, 0, 0, STATUS_BUFFER_TOO_SMALL},
        {"255 bytes of reply room", 0, 8, 255, 0, 0, STATUS_BUFFER_TOO_SMALL},
        {"bus + 256", 0, 8, 256, 0x100, 0, STATUS_INVALID_PARAMETER},
        {"bus + 80000000h", 0, 8, 256, 0x80000000LL, 0, STATUS_INVALID_PARAMETER},
        {"slot + 256", 0, 8, 256, 0, 0x100, STATUS_INVALID_PARAMETER},
        {"slot + 80000000h", 0, 8, 256, 0, 0x80000000LL, STATUS_INVALID_PARAMETER},
        {"code 4 (function 1)", 4, 8, 256, 0, 0, STATUS_INVALID_DEVICE_REQUEST},
        {"code 3 (neither)", 3, 8, 256, 0, 0, STATUS_INVALID_DEVICE_REQUEST},
        {"code 8000h (write access)", 0x8000, 8, 256, 0, 0, STATUS_INVALID_DEVICE_REQUEST},
        {"code 222000h", 0x222000, 8, 256, 0, 0, STATUS_INVALID_DEVICE_REQUEST},
    };
    for (const auto &c : cases) {
        uint8_t in[16] = {}, out[512];
        buildRequest(uint32_t(probeBus() + c.busDelta), uint32_t(probeSlot() + c.slotDelta), in);
        memset(out, 0xA5, sizeof out);
        IO_STATUS_BLOCK io;
        io.Information = 0xDEAD;
        const NTSTATUS status = NtDeviceIoControlFile(device, nullptr, nullptr, nullptr, &io,
                                                      c.code, in, c.inSize, out, c.outSize);
        const bool read = c.status == STATUS_SUCCESS && !expected.empty();
        const NTSTATUS want =
            c.status == STATUS_SUCCESS && !read ? STATUS_DEVICE_DOES_NOT_EXIST : c.status;
        check(status == want, "shape: %s: status %08lx, expected %08lx", c.name,
              (unsigned long)status, (unsigned long)want);
        if (!read)
            continue;
        // A synchronous handle: io holds the byte count the driver completed.
        check(io.Information == CONFIG_BYTES, "shape: %s: %lu bytes returned", c.name,
              (unsigned long)io.Information);
        check(memcmp(out, expected.begin()->second.data(), CONFIG_BYTES) == 0,
              "shape: %s: bytes differ from the expected function", c.name);
        check(
            std::all_of(out + CONFIG_BYTES, out + sizeof out, [](uint8_t b) { return b == 0xA5; }),
            "shape: %s: bytes beyond 256 were written", c.name);
    }
}

// What an open while another handle holds the device must give: no handle
// (the open fails), or, under Wine, which does not wait for the driver's
// answer to an open, a handle on which every request is refused.
bool refused(HANDLE h, DWORD openError) {
    if (h == INVALID_HANDLE_VALUE)
        return openError == ERROR_SHARING_VIOLATION;
    uint8_t out[CONFIG_BYTES];
    const Reply r = readConfig(h, probeBus(), probeSlot(), out);
    return !r.ok && r.error == ERROR_SHARING_VIOLATION;
}

// The device is usable through one open handle at a time: a second open is
// refused, and a third (a refused open must not free the device); the holder
// still reads; a refused handle stays refused after the holder closes, and
// the device opens again, twice in a row.
void checkExclusiveOpen() {
    HANDLE first = openDevice();
    check(first != INVALID_HANDLE_VALUE, "exclusive: first open failed, error %lu", GetLastError());
    if (first == INVALID_HANDLE_VALUE)
        return;
    HANDLE others[2];
    for (int i = 0; i < 2; ++i) {
        others[i] = openDevice();
        check(refused(others[i], GetLastError()), "exclusive: open %d worked while held", i + 2);
    }
    Reply r;
    check(answersRight(first, probeBus(), probeSlot(), r),
          "exclusive: the holder cannot read after refused opens");
    CloseHandle(first);
    for (HANDLE h : others)
        check(h == INVALID_HANDLE_VALUE || refused(h, 0),
              "exclusive: a refused handle works after the holder closed");
    for (int round = 1; round <= 2; ++round) {
        HANDLE again = openDevice();
        check(again != INVALID_HANDLE_VALUE && answersRight(again, probeBus(), probeSlot(), r),
              "exclusive: open and read %d after close failed", round);
        if (again != INVALID_HANDLE_VALUE)
            CloseHandle(again);
    }
    for (HANDLE h : others)
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
}

// Who may open the device: SYSTEM and Administrators, nothing else, as the
// descriptor that the driver sets on it says. (Wine keeps no descriptor on a
// device object and lets every open through, so only Windows would show it.)
void checkSecurity() {
    constexpr char SDDL[] = "D:P(A;;FA;;;SY)(A;;FA;;;BA)";
    DeviceSecurity security;
    char *text = nullptr;
    const bool built =
        NT_SUCCESS(buildDeviceSecurity(&security)) &&
        ConvertSecurityDescriptorToStringSecurityDescriptorA(
            &security.descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr);
    check(built && strcmp(text, SDDL) == 0, "security: the driver sets %s, expected %s",
          built ? text : "no descriptor", SDDL);
    LocalFree(text);
}

int runChecks(const char *listPath) {
    if (!loadExpected(listPath))
        return 2;
    HANDLE device = openDevice();
    if (device == INVALID_HANDLE_VALUE) {
        printf("FAIL: cannot open %s, error %lu\n", DEVICE_PATH, GetLastError());
        return 1;
    }
    checkScan(device);
    checkShapes(device);
    CloseHandle(device);
    checkExclusiveOpen();
    checkSecurity();
    printf("%d checks, %d failed\n", checks, failures);
    return failures == 0 ? 0 : 1;
}

int expectAbsent() {
    HANDLE h = openDevice();
    const DWORD error = GetLastError();
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    const bool absent = h == INVALID_HANDLE_VALUE && error == ERROR_FILE_NOT_FOUND;
    printf(absent ? "%s is absent, as expected\n" : "FAIL: %s is there (error %lu)\n", DEVICE_PATH,
           error);
    return absent ? 0 : 1;
}

int checkImageChecksum(const char *image) {
    DWORD inHeader = 0, computed = 0;
    const DWORD result = MapFileAndCheckSumA(image, &inHeader, &computed);
    const bool right = result == CHECKSUM_SUCCESS && inHeader != 0 && inHeader == computed;
    printf("%s%s: checksum %08lx in the header, %08lx computed\n", right ? "" : "FAIL: ", image,
           inHeader, computed);
    return right ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && strcmp(argv[1], "--absent") == 0)
        return expectAbsent();
    if (argc == 3 && strcmp(argv[1], "--checksum") == 0)
        return checkImageChecksum(argv[2]);
    if (argc == 2 && argv[1][0] != '-')
        return runChecks(argv[1]);
    fputs("usage: kestrix_driver_test EXPECTED | --absent | --checksum IMAGE\n", stderr);
    return 2;
}
