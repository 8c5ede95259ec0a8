// The real Win32 calls behind the driver client.
#include "access/driver_source.h"

#include <windows.h>

static_assert(DRIVER_ACCESS == GENERIC_WRITE);
static_assert(DRIVER_DISPOSITION == OPEN_EXISTING);
static_assert(DRIVER_ATTRIBUTES == FILE_ATTRIBUTE_NORMAL);
static_assert(DRIVER_ERROR_SHARING_VIOLATION == ERROR_SHARING_VIOLATION);

namespace {

class Win32Transport : public DriverTransport {
  public:
    bool toAnsi(const wchar_t *wide, char *ansi, int ansiSize) override {
        return WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, ansiSize, nullptr, nullptr) > 0;
    }
    void *createFile(const char *path, uint32_t access, uint32_t shareMode, uint32_t disposition,
                     uint32_t attributes) override {
        HANDLE h = CreateFileA(path, access, shareMode, nullptr, disposition, attributes, nullptr);
        return h == INVALID_HANDLE_VALUE ? nullptr : h;
    }
    bool deviceIoControl(void *handle, uint32_t code, const void *in, uint32_t inSize, void *out,
                         uint32_t outSize, uint32_t *returned) override {
        DWORD count = 0;
        const BOOL ok = DeviceIoControl(static_cast<HANDLE>(handle), code, const_cast<void *>(in),
                                        inSize, out, outSize, &count, nullptr);
        *returned = count;
        return ok != FALSE;
    }
    void closeHandle(void *handle) override { CloseHandle(static_cast<HANDLE>(handle)); }
    uint32_t lastError() override { return GetLastError(); }
};

} // namespace

DriverTransport &win32DriverTransport() {
    static Win32Transport transport;
    return transport;
}
