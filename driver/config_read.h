// The reads of configuration space that need nothing from the kernel but the
// HAL: built into kestrix.sys, and on the build machine against a fake HAL.
#pragma once

#include <ntddk.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CONFIG_SPACE_BYTES 256
// "\??\unix\sys\bus\pci\devices\0000:BB:DD.F\config" and its NUL.
#define SYSFS_CONFIG_PATH_SIZE 49

// The function at bus and slot byte (device in bits 0..4, function in bits
// 5..7) through the HAL; FALSE when none answers there.
BOOLEAN readHalConfig(UCHAR bus, UCHAR slot, UCHAR buffer[CONFIG_SPACE_BYTES]);

// The path of the host's sysfs file of the function at bus and slot byte, as
// Wine maps \??\unix\ to the host's root directory.
void sysfsConfigPath(UCHAR bus, UCHAR slot, WCHAR path[SYSFS_CONFIG_PATH_SIZE]);

#ifdef __cplusplus
}
#endif
