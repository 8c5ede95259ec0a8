#include "access/driver_source.h"

#include <cstdio>

const wchar_t KESTRIX_DEVICE_NAME[] = L"\\\\.\\KESTRIX";

void buildDriverRequest(unsigned bus, unsigned slot, uint8_t request[DRIVER_REQUEST_SIZE]) {
    const uint32_t fields[2] = {bus & 0xFFu, slot & 0xFFu};
    for (int f = 0; f < 2; ++f)
        for (int b = 0; b < 4; ++b)
            request[f * 4 + b] = uint8_t(fields[f] >> (8 * b));
}

bool DriverSource::open(char *error, size_t errorSize) {
    char path[64];
    if (!transport_.toAnsi(KESTRIX_DEVICE_NAME, path, int(sizeof path))) {
        snprintf(error, errorSize, "cannot convert the driver's device name");
        return false;
    }
    handle_ = transport_.createFile(path, DRIVER_ACCESS, DRIVER_SHARE_MODE, DRIVER_DISPOSITION,
                                    DRIVER_ATTRIBUTES);
    if (handle_ == nullptr) {
        snprintf(error, errorSize,
                 "cannot open %s: the driver is not running or another program holds it", path);
        return false;
    }
    // The driver serves one handle at a time. Where the system hands out a
    // second handle anyway (Wine does not wait for the driver's answer to
    // the open), the driver refuses its requests: one read tells.
    uint8_t request[DRIVER_REQUEST_SIZE], reply[DRIVER_REPLY_SIZE];
    buildDriverRequest(0, 0, request);
    uint32_t returned = 0;
    if (!transport_.deviceIoControl(handle_, DRIVER_READ_CONFIG_CODE, request, DRIVER_REQUEST_SIZE,
                                    reply, DRIVER_REPLY_SIZE, &returned) &&
        transport_.lastError() == DRIVER_ERROR_SHARING_VIOLATION) {
        transport_.closeHandle(handle_);
        handle_ = nullptr;
        snprintf(error, errorSize, "%s is held by another program", path);
        return false;
    }
    return true;
}

bool DriverSource::read(uint8_t bus, uint8_t slot, uint8_t *buffer) {
    if (handle_ == nullptr)
        return false;
    uint8_t request[DRIVER_REQUEST_SIZE];
    buildDriverRequest(bus, slot, request);
    uint32_t returned = 0;
    const bool ok =
        transport_.deviceIoControl(handle_, DRIVER_READ_CONFIG_CODE, request, DRIVER_REQUEST_SIZE,
                                   buffer, DRIVER_REPLY_SIZE, &returned);
    return ok && returned == DRIVER_REPLY_SIZE;
}

void DriverSource::close() {
    if (handle_ == nullptr)
        return;
    transport_.closeHandle(handle_);
    handle_ = nullptr;
}
