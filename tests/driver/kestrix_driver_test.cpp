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
//   kestrix_driver_test --second-open
//                                   the device is held by another process: this
//                                   one must not get a handle that works
//
// Exit status 0 when every check passes, 1 otherwise, 2 on wrong usage.
#include <windows.h>

#include <aclapi.h>
#include <imagehlp.h>
#include <sddl.h>
#include <winternl.h>

#include "device_security.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr char DEVICE_PATH[] = "\\\\.\\KESTRIX";
constexpr DWORD READ_CONFIG_CODE = 0;
constexpr DWORD CONFIG_BYTES = 256;
constexpr int MAX_EXPECTED = 512;
constexpr int MAX_REPORTED_SCAN_FAILURES = 20;

// NTSTATUS values the driver answers with.
constexpr NTSTATUS STATUS_OK = 0;
constexpr NTSTATUS STATUS_INVALID_DEVICE_REQUEST_VALUE = NTSTATUS(0xC0000010);
constexpr NTSTATUS STATUS_INVALID_PARAMETER_VALUE = NTSTATUS(0xC000000D);
constexpr NTSTATUS STATUS_BUFFER_TOO_SMALL_VALUE = NTSTATUS(0xC0000023);
constexpr NTSTATUS STATUS_DEVICE_DOES_NOT_EXIST_VALUE = NTSTATUS(0xC00000C0);

struct Expected {
    uint8_t bus;
    uint8_t slot;
    uint8_t bytes[CONFIG_BYTES];
};

Expected expected[MAX_EXPECTED];
int expectedCount = 0;
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

HANDLE openDevice(DWORD shareMode) {
    return CreateFileA(DEVICE_PATH, GENERIC_WRITE, shareMode, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

void buildRequest(uint32_t bus, uint32_t slot, uint8_t request[8]) {
    for (int b = 0; b < 4; ++b) {
        request[b] = uint8_t(bus >> (8 * b));
        request[4 + b] = uint8_t(slot >> (8 * b));
    }
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
    const BOOL ok = DeviceIoControl(device, READ_CONFIG_CODE, request, sizeof request, out,
                                    CONFIG_BYTES, &returned, nullptr);
    return {ok != FALSE, ok ? 0 : GetLastError(), returned};
}

const Expected *findExpected(unsigned bus, unsigned slot) {
    for (int i = 0; i < expectedCount; ++i)
        if (expected[i].bus == bus && expected[i].slot == slot)
            return &expected[i];
    return nullptr;
}

bool parseAddress(const char *text, unsigned &bus, unsigned &slot) {
    unsigned device = 0, function = 0;
    int used = 0;
    if (sscanf(text, "%2x:%2x.%1u%n", &bus, &device, &function, &used) != 3 || used != 7)
        return false;
    if (bus > 0xFF || device > 0x1F || function > 7)
        return false;
    slot = device | function << 5;
    return true;
}

bool loadExpected(const char *listPath) {
    FILE *list = fopen(listPath, "r");
    if (list == nullptr) {
        printf("cannot open %s\n", listPath);
        return false;
    }
    char line[1024];
    int lineNumber = 0;
    bool ok = true;
    while (ok && fgets(line, sizeof line, list) != nullptr) {
        ++lineNumber;
        line[strcspn(line, "\r\n")] = '\0';
        if (line[0] == '\0' || line[0] == '#')
            continue;
        unsigned bus, slot;
        if (!parseAddress(line, bus, slot) || line[7] != ' ' || expectedCount == MAX_EXPECTED) {
            printf("%s:%d: expected \"BB:DD.F PATH\"\n", listPath, lineNumber);
            ok = false;
            break;
        }
        Expected &e = expected[expectedCount++];
        e.bus = uint8_t(bus);
        e.slot = uint8_t(slot);
        FILE *bytes = fopen(line + 8, "rb");
        const size_t got = bytes != nullptr ? fread(e.bytes, 1, CONFIG_BYTES, bytes) : 0;
        if (bytes != nullptr)
            fclose(bytes);
        if (got != CONFIG_BYTES) {
            printf("%s:%d: %s does not hold 256 bytes\n", listPath, lineNumber, line + 8);
            ok = false;
        }
    }
    fclose(list);
    return ok;
}

// Every bus/slot pair of buses 0..15 and of the buses the list names, as the
// application's scan reads them: the listed functions answer their bytes,
// every other pair that no function is there.
void checkScan(HANDLE device) {
    bool buses[256] = {};
    for (int b = 0; b < 16; ++b)
        buses[b] = true;
    for (int i = 0; i < expectedCount; ++i)
        buses[expected[i].bus] = true;
    int wrong = 0;
    for (unsigned bus = 0; bus < 256; ++bus) {
        for (unsigned slot = 0; buses[bus] && slot < 256; ++slot) {
            uint8_t out[CONFIG_BYTES];
            memset(out, 0xA5, sizeof out);
            const Reply r = readConfig(device, bus, slot, out);
            const Expected *e = findExpected(bus, slot);
            const bool ok = e != nullptr ? r.ok && r.returned == CONFIG_BYTES &&
                                               memcmp(out, e->bytes, CONFIG_BYTES) == 0
                                         : !r.ok && r.error == ERROR_DEV_NOT_EXIST;
            ++checks;
            if (!ok && ++failures && ++wrong <= MAX_REPORTED_SCAN_FAILURES)
                printf("FAIL: scan: %02x:%02x.%u %s: ok %d error %lu returned %lu\n", bus,
                       slot & 0x1F, slot >> 5, e != nullptr ? "present" : "absent", r.ok, r.error,
                       r.returned);
        }
    }
    printf("scan: %d functions expected, %d pairs answered wrongly\n", expectedCount, wrong);
}

struct NtReply {
    NTSTATUS status;
    ULONG_PTR information;
};

// A request of any shape, seen at the NT level: status and byte count exactly
// as the driver completed it.
NtReply rawRequest(HANDLE device, DWORD code, const void *in, DWORD inSize, void *out,
                   DWORD outSize) {
    IO_STATUS_BLOCK io;
    io.Status = NTSTATUS(0x7FFFFFFF);
    io.Information = 0xDEAD;
    const NTSTATUS status = NtDeviceIoControlFile(device, nullptr, nullptr, nullptr, &io, code,
                                                  const_cast<void *>(in), inSize, out, outSize);
    // A synchronous handle: the call returns the final status; io holds the
    // byte count only when the driver completed the request.
    return {status, io.Information};
}

struct ShapeCase {
    const char *name;
    DWORD code;
    DWORD inSize;      // bytes of the request sent
    DWORD outSize;     // bytes of reply room offered
    int64_t busDelta;  // added to the bus of the function used
    int64_t slotDelta; // added to its slot byte
    NTSTATUS status;
};

// Malformed requests and the status each one must end with. The address used
// is that of a function that is present, so a request wrongly accepted would
// succeed instead of failing.
const ShapeCase SHAPE_CASES[] = {
    {"well-formed, 512 bytes of reply room", 0, 8, 512, 0, 0, STATUS_OK},
    {"no request", 0, 0, 256, 0, 0, STATUS_INVALID_PARAMETER_VALUE},
    {"4-byte request", 0, 4, 256, 0, 0, STATUS_INVALID_PARAMETER_VALUE},
    {"9-byte request", 0, 9, 256, 0, 0, STATUS_INVALID_PARAMETER_VALUE},
    {"no reply room", 0, 8, 0, 0, 0, STATUS_BUFFER_TOO_SMALL_VALUE},
    {"255 bytes of reply room", 0, 8, 255, 0, 0, STATUS_BUFFER_TOO_SMALL_VALUE},
    {"bus + 256", 0, 8, 256, 0x100, 0, STATUS_INVALID_PARAMETER_VALUE},
    {"bus + 80000000h", 0, 8, 256, 0x80000000LL, 0, STATUS_INVALID_PARAMETER_VALUE},
    {"slot + 256", 0, 8, 256, 0, 0x100, STATUS_INVALID_PARAMETER_VALUE},
    {"slot + 80000000h", 0, 8, 256, 0, 0x80000000LL, STATUS_INVALID_PARAMETER_VALUE},
    {"code 4 (function 1)", 4, 8, 256, 0, 0, STATUS_INVALID_DEVICE_REQUEST_VALUE},
    {"code 3 (neither)", 3, 8, 256, 0, 0, STATUS_INVALID_DEVICE_REQUEST_VALUE},
    {"code 8000h (write access)", 0x8000, 8, 256, 0, 0, STATUS_INVALID_DEVICE_REQUEST_VALUE},
    {"code 222000h", 0x222000, 8, 256, 0, 0, STATUS_INVALID_DEVICE_REQUEST_VALUE},
};

void checkShapes(HANDLE device) {
    // With no function present (hal under Wine) the address is 00:00.0 and a
    // well-formed request answers that it does not exist.
    const Expected *target = expectedCount > 0 ? &expected[0] : nullptr;
    const uint32_t bus = target != nullptr ? target->bus : 0;
    const uint32_t slot = target != nullptr ? target->slot : 0;
    for (const ShapeCase &c : SHAPE_CASES) {
        uint8_t in[16];
        memset(in, 0, sizeof in);
        buildRequest(uint32_t(bus + c.busDelta), uint32_t(slot + c.slotDelta), in);
        uint8_t out[512];
        memset(out, 0xA5, sizeof out);
        const NtReply r = rawRequest(device, c.code, in, c.inSize, out, c.outSize);
        NTSTATUS status = c.status;
        ULONG_PTR information = 0;
        if (status == STATUS_OK && target == nullptr)
            status = STATUS_DEVICE_DOES_NOT_EXIST_VALUE;
        else if (status == STATUS_OK)
            information = CONFIG_BYTES;
        check(r.status == status, "shape: %s: status %08lx, expected %08lx", c.name,
              (unsigned long)r.status, (unsigned long)status);
        if (status == STATUS_OK) {
            check(r.information == information, "shape: %s: %lu bytes returned, expected %lu",
                  c.name, (unsigned long)r.information, (unsigned long)information);
            check(memcmp(out, target->bytes, CONFIG_BYTES) == 0,
                  "shape: %s: bytes differ from the expected function", c.name);
            bool untouched = true;
            for (DWORD i = CONFIG_BYTES; i < c.outSize; ++i)
                untouched = untouched && out[i] == 0xA5;
            check(untouched, "shape: %s: bytes beyond 256 were written", c.name);
        }
    }
}

// The function the single-read checks use: the first expected one, or 00:00.0
// when none is expected.
void probeAddress(uint32_t &bus, uint32_t &slot) {
    bus = expectedCount > 0 ? expected[0].bus : 0;
    slot = expectedCount > 0 ? expected[0].slot : 0;
}

bool readsExpected(HANDLE device) {
    uint32_t bus, slot;
    probeAddress(bus, slot);
    uint8_t out[CONFIG_BYTES];
    const Reply r = readConfig(device, bus, slot, out);
    if (expectedCount == 0)
        return !r.ok && r.error == ERROR_DEV_NOT_EXIST;
    return r.ok && r.returned == CONFIG_BYTES && memcmp(out, expected[0].bytes, CONFIG_BYTES) == 0;
}

// What an open while another handle holds the device must give: no handle
// (the open fails), or, under Wine, which does not wait for the driver's
// answer to an open, a handle on which every request is refused.
bool refusedOpen(HANDLE h, DWORD openError, char *why, size_t whySize) {
    if (h == INVALID_HANDLE_VALUE) {
        snprintf(why, whySize, "open failed with error %lu", openError);
        return openError == ERROR_SHARING_VIOLATION;
    }
    uint32_t bus, slot;
    probeAddress(bus, slot);
    uint8_t out[CONFIG_BYTES];
    const Reply r = readConfig(h, bus, slot, out);
    snprintf(why, whySize, "opened; read: ok %d, error %lu", r.ok, r.error);
    return !r.ok && r.error == ERROR_SHARING_VIOLATION;
}

// Runs this program again as a second process that tries the device.
bool secondProcessRefused() {
    char self[MAX_PATH];
    if (GetModuleFileNameA(nullptr, self, sizeof self) == 0)
        return false;
    char commandLine[MAX_PATH + 32];
    snprintf(commandLine, sizeof commandLine, "\"%s\" --second-open", self);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code == 0;
}

// The device is usable through one open handle at a time.
void checkExclusiveOpen() {
    HANDLE first = openDevice(0);
    check(first != INVALID_HANDLE_VALUE, "exclusive: first open failed, error %lu", GetLastError());
    if (first == INVALID_HANDLE_VALUE)
        return;
    struct Attempt {
        const char *name;
        DWORD shareMode;
        HANDLE handle;
    };
    Attempt attempts[] = {
        {"second open", 0, INVALID_HANDLE_VALUE},
        {"third open (a refused open must not free the device)", 0, INVALID_HANDLE_VALUE},
        {"open sharing read and write", FILE_SHARE_READ | FILE_SHARE_WRITE, INVALID_HANDLE_VALUE},
    };
    char why[128];
    for (Attempt &a : attempts) {
        a.handle = openDevice(a.shareMode);
        const DWORD error = GetLastError();
        check(refusedOpen(a.handle, error, why, sizeof why), "exclusive: %s while held: %s", a.name,
              why);
    }
    check(secondProcessRefused(), "exclusive: another process could use the device while held");
    check(readsExpected(first), "exclusive: the holder cannot read after refused opens");
    CloseHandle(first);

    // A handle that was refused stays refused after the holder lets go.
    for (Attempt &a : attempts) {
        if (a.handle == INVALID_HANDLE_VALUE)
            continue;
        check(refusedOpen(a.handle, 0, why, sizeof why),
              "exclusive: %s, after the holder closed: %s", a.name, why);
    }
    // Released on close: it opens again, twice in a row, refused handles
    // still lingering.
    for (int round = 1; round <= 2; ++round) {
        HANDLE again = openDevice(0);
        check(again != INVALID_HANDLE_VALUE, "exclusive: open %d after close failed, error %lu",
              round, GetLastError());
        if (again == INVALID_HANDLE_VALUE)
            break;
        check(readsExpected(again), "exclusive: read after reopening %d failed", round);
        CloseHandle(again);
    }
    for (Attempt &a : attempts)
        if (a.handle != INVALID_HANDLE_VALUE)
            CloseHandle(a.handle);
}

// Who may open the device: SYSTEM and Administrators, nothing else.
constexpr char DEVICE_SDDL[] = "D:P(A;;FA;;;SY)(A;;FA;;;BA)";

std::string daclText(PSECURITY_DESCRIPTOR descriptor) {
    char *text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr))
        return "(not convertible)";
    const std::string result = text;
    LocalFree(text);
    return result;
}

// The descriptor the driver sets, and the device's own where the system shows
// it: Windows answers for the device object; Wine keeps no descriptor on it,
// shows none and lets every open through.
void checkSecurity() {
    DeviceSecurity security;
    check(NT_SUCCESS(buildDeviceSecurity(&security)), "security: the descriptor cannot be built");
    const std::string built = daclText(&security.descriptor);
    check(built == DEVICE_SDDL, "security: the driver sets %s, expected %s", built.c_str(),
          DEVICE_SDDL);
    HANDLE device = CreateFileA(DEVICE_PATH, GENERIC_WRITE | READ_CONTROL, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    PSECURITY_DESCRIPTOR shown = nullptr;
    if (device == INVALID_HANDLE_VALUE ||
        GetSecurityInfo(device, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        nullptr, nullptr, &shown) != ERROR_SUCCESS) {
        check(false, "security: cannot read the device's descriptor, error %lu", GetLastError());
    } else {
        const std::string text = daclText(shown);
        if (text.empty() || text == "D:NO_ACCESS_CONTROL")
            printf("security: the system shows no descriptor for the device\n");
        else
            check(text == DEVICE_SDDL, "security: the device has %s, expected %s", text.c_str(),
                  DEVICE_SDDL);
        LocalFree(shown);
    }
    if (device != INVALID_HANDLE_VALUE)
        CloseHandle(device);
}

int runChecks(const char *listPath) {
    if (!loadExpected(listPath))
        return 2;
    HANDLE device = openDevice(0);
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
    HANDLE h = openDevice(0);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        printf("FAIL: %s opened, expected no such device\n", DEVICE_PATH);
        return 1;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) {
        printf("FAIL: opening %s failed with error %lu, expected %lu\n", DEVICE_PATH, error,
               (unsigned long)ERROR_FILE_NOT_FOUND);
        return 1;
    }
    printf("%s is absent, as expected\n", DEVICE_PATH);
    return 0;
}

int checkImageChecksum(const char *image) {
    DWORD inHeader = 0, computed = 0;
    const DWORD result = MapFileAndCheckSumA(image, &inHeader, &computed);
    if (result != CHECKSUM_SUCCESS) {
        printf("FAIL: cannot check the checksum of %s (%lu)\n", image, result);
        return 1;
    }
    if (inHeader == 0 || inHeader != computed) {
        printf("FAIL: %s: checksum %08lx in the header, %08lx computed\n", image, inHeader,
               computed);
        return 1;
    }
    printf("%s: checksum %08lx\n", image, computed);
    return 0;
}

// The second process of checkExclusiveOpen: exit 0 when refused.
int secondOpen() {
    HANDLE h = openDevice(0);
    const DWORD error = GetLastError();
    char why[128];
    const bool refused = refusedOpen(h, error, why, sizeof why);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    if (!refused)
        printf("FAIL: second process: %s\n", why);
    return refused ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && strcmp(argv[1], "--absent") == 0)
        return expectAbsent();
    if (argc == 3 && strcmp(argv[1], "--checksum") == 0)
        return checkImageChecksum(argv[2]);
    if (argc == 2 && strcmp(argv[1], "--second-open") == 0)
        return secondOpen();
    if (argc == 2 && argv[1][0] != '-')
        return runChecks(argv[1]);
    fputs("usage: kestrix_driver_test EXPECTED | --absent | --checksum IMAGE | --second-open\n",
          stderr);
    return 2;
}
