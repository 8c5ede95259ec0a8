// Where the driver reads configuration space. Chosen once at start-up by the
// REG_SZ value Source under <service key>\Parameters:
//   absent or "hal"  the HAL's PCI configuration access (real Windows)
//   "unix-sysfs"     the host's /sys/bus/pci/devices/0000:BB:DD.F/config (Wine)
//   anything else    the path of a dump in the lspci -xxx text format, read
//                    whole at start-up ("C:\dumps\machine.txt"; a value that
//                    starts with a backslash is taken as an NT path)
#pragma once

#include "config_read.h"

NTSTATUS openConfigSource(PCUNICODE_STRING registryPath);

// Fills all 256 bytes of the function at bus and slot byte (device in bits
// 0..4, function in bits 5..7); FALSE when no function answers there.
BOOLEAN readConfigSpace(UCHAR bus, UCHAR slot, UCHAR buffer[CONFIG_SPACE_BYTES]);

void closeConfigSource(void);
