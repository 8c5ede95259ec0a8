#include "config_read.h"

BOOLEAN readHalConfig(UCHAR bus, UCHAR slot, UCHAR buffer[CONFIG_SPACE_BYTES]) {
    PCI_SLOT_NUMBER number;
    number.u.AsULONG = 0;
    number.u.bits.DeviceNumber = slot & 0x1F;
    number.u.bits.FunctionNumber = slot >> 5;
    const ULONG got = HalGetBusDataByOffset(PCIConfiguration, bus, number.u.AsULONG, buffer, 0,
                                            CONFIG_SPACE_BYTES);
    // An empty slot answers vendor FFFFh, a missing bus nothing at all.
    return got == CONFIG_SPACE_BYTES && !(buffer[0] == 0xFF && buffer[1] == 0xFF);
}

static WCHAR hexDigit(unsigned value) {
    return (WCHAR)(value < 10 ? L'0' + value : L'a' + value - 10);
}

void sysfsConfigPath(UCHAR bus, UCHAR slot, WCHAR path[SYSFS_CONFIG_PATH_SIZE]) {
    static const WCHAR pattern[SYSFS_CONFIG_PATH_SIZE] =
        L"\\??\\unix\\sys\\bus\\pci\\devices\\0000:BB:DD.F\\config";
    for (int i = 0; i < SYSFS_CONFIG_PATH_SIZE; ++i)
        path[i] = pattern[i];
    WCHAR *address = path + sizeof "\\??\\unix\\sys\\bus\\pci\\devices\\0000:" - 1;
    const unsigned device = slot & 0x1F, function = slot >> 5;
    address[0] = hexDigit(bus >> 4);
    address[1] = hexDigit(bus & 0xF);
    address[3] = hexDigit(device >> 4);
    address[4] = hexDigit(device & 0xF);
    address[6] = hexDigit(function);
}
