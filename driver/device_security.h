// Who may open \Device\KESTRIX: the system and administrators only, as SDDL
// D:P(A;;GA;;;SY)(A;;GA;;;BA) says, GA being for a device the file rights
// FILE_ALL_ACCESS. Built here so that the driver sets it and the driver test
// checks it from one source; compiled for the kernel and for user mode.
#pragma once

#ifdef KESTRIX_KERNEL
#include <ntifs.h>
#else
#include <windows.h>
#include <winternl.h>
#endif

// The descriptor (absolute) and everything it points to.
typedef struct DeviceSecurity {
    SECURITY_DESCRIPTOR descriptor;
    ULONG dacl[32];
    ULONG system[4];         // S-1-5-18
    ULONG administrators[4]; // S-1-5-32-544
} DeviceSecurity;

#ifdef __cplusplus
extern "C" {
#endif

// Fills security; descriptor is then ready for ZwSetSecurityObject.
NTSTATUS buildDeviceSecurity(DeviceSecurity *security);

#ifdef __cplusplus
}
#endif
