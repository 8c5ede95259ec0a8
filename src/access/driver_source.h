// Client of the configuration-access driver, the device \\.\KESTRIX.
// The Win32 calls go through a transport so that the request and the reply
// checks can be tested against a fake on every build.
#pragma once

#include "access/config_source.h"

#include <cstdint>

// The values Win32 defines for the arguments the driver is opened with.
constexpr uint32_t DRIVER_ACCESS = 0x40000000u;  // GENERIC_WRITE
constexpr uint32_t DRIVER_SHARE_MODE = 0u;       // exclusive
constexpr uint32_t DRIVER_DISPOSITION = 3u;      // OPEN_EXISTING
constexpr uint32_t DRIVER_ATTRIBUTES = 0x80u;    // FILE_ATTRIBUTE_NORMAL
constexpr uint32_t DRIVER_READ_CONFIG_CODE = 0u; // the one control code
constexpr uint32_t DRIVER_REQUEST_SIZE = 8u;     // u32 bus, u32 slot
constexpr uint32_t DRIVER_REPLY_SIZE = 256u;
constexpr uint32_t DRIVER_ERROR_SHARING_VIOLATION = 32u; // ERROR_SHARING_VIOLATION

extern const wchar_t KESTRIX_DEVICE_NAME[];

// The subset of Win32 the client needs; handles are opaque pointers.
class DriverTransport {
  public:
    virtual ~DriverTransport() = default;
    // WideCharToMultiByte with the system code page; false if it does not fit.
    virtual bool toAnsi(const wchar_t *wide, char *ansi, int ansiSize) = 0;
    // CreateFileA with no security attributes and no template; null on failure.
    virtual void *createFile(const char *path, uint32_t access, uint32_t shareMode,
                             uint32_t disposition, uint32_t attributes) = 0;
    // DeviceIoControl without an overlapped structure.
    virtual bool deviceIoControl(void *handle, uint32_t code, const void *in, uint32_t inSize,
                                 void *out, uint32_t outSize, uint32_t *returned) = 0;
    virtual void closeHandle(void *handle) = 0;
    // GetLastError after a failed call.
    virtual uint32_t lastError() = 0;
};

// The Win32 transport; exists only in the Windows build.
DriverTransport &win32DriverTransport();

// Fills the 8-byte little-endian request for bus and slot (cut to 8 bits).
void buildDriverRequest(unsigned bus, unsigned slot, uint8_t request[DRIVER_REQUEST_SIZE]);

class DriverSource : public ConfigSource {
  public:
    explicit DriverSource(DriverTransport &transport) : transport_(transport) {}
    bool open(char *error, size_t errorSize) override;
    bool read(uint8_t bus, uint8_t slot, uint8_t *buffer) override;
    void close() override;

  private:
    DriverTransport &transport_;
    void *handle_ = nullptr;
};
