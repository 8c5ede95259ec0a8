// kestrix.sys: read-only access to PCI configuration space for Lumivar.
//
// One device, \Device\KESTRIX (\\.\KESTRIX to applications), and one control
// code, 0: the input is 8 bytes, u32 bus and u32 slot byte (little-endian);
// the answer is the function's 256 bytes. Every other request fails with
// nothing returned. Configuration space is never written.
#include <ntifs.h>

#include "config_source.h"
#include "device_security.h"

// Device type 0, function 0, buffered, any access: the code number 0 that the
// application sends.
#define IOCTL_KESTRIX_READ_CONFIG CTL_CODE(0, 0, METHOD_BUFFERED, FILE_ANY_ACCESS)
_Static_assert(IOCTL_KESTRIX_READ_CONFIG == 0, "the application sends code 0");

#define REQUEST_BYTES 8

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

static const WCHAR DEVICE_NAME[] = L"\\Device\\KESTRIX";
static const WCHAR LINK_NAME[] = L"\\DosDevices\\KESTRIX";

// The file object of the one open handle, or null. The exclusive flag of
// IoCreateDevice is not honoured everywhere (Wine ignores it), so the driver
// refuses a second open itself, with the same status on every system. Keeping
// the owner rather than a bare count means that a close for an open that was
// refused can never release the real owner's claim.
//
// Wine 8 does not wait for IRP_MJ_CREATE: the open succeeds whatever the
// driver answers. Requests on any file object but the owner's are therefore
// refused too; on Windows a refused open leaves no handle to send them on.
static PVOID volatile owner;

static NTSTATUS complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS NTAPI dispatchCreate(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    if (InterlockedCompareExchangePointer((PVOID *)&owner, file, NULL) != NULL)
        return complete(irp, STATUS_SHARING_VIOLATION, 0);
    return complete(irp, STATUS_SUCCESS, FILE_OPENED);
}

static NTSTATUS NTAPI dispatchCleanup(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    return complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI dispatchClose(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    InterlockedCompareExchangePointer((PVOID *)&owner, NULL, file);
    return complete(irp, STATUS_SUCCESS, 0);
}

// Only the system and administrators may open the device: configuration space
// is what Linux shows only to root, and whoever holds the one handle keeps
// everybody else out. IoCreateDeviceSecure, which takes SDDL, lives in a WDK
// library (wdmsec) that MinGW does not have, so the descriptor is set on the
// new device object, before its name is linked and before it stops
// initialising: no open can come first.
static NTSTATUS allowOnlySystemAndAdministrators(PDEVICE_OBJECT device) {
    DeviceSecurity security;
    NTSTATUS status = buildDeviceSecurity(&security);
    if (!NT_SUCCESS(status))
        return status;
    HANDLE handle;
    status = ObOpenObjectByPointer(device, OBJ_KERNEL_HANDLE, NULL, WRITE_DAC, NULL, KernelMode,
                                   &handle);
    if (!NT_SUCCESS(status))
        return status;
    status = ZwSetSecurityObject(handle, DACL_SECURITY_INFORMATION, &security.descriptor);
    ZwClose(handle);
    return status;
}

static ULONG readLittleEndian32(const UCHAR *bytes) {
    return (ULONG)bytes[0] | (ULONG)bytes[1] << 8 | (ULONG)bytes[2] << 16 | (ULONG)bytes[3] << 24;
}

static NTSTATUS NTAPI dispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    const PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    const ULONG inputSize = stack->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG outputSize = stack->Parameters.DeviceIoControl.OutputBufferLength;
    if (stack->FileObject != owner)
        return complete(irp, STATUS_SHARING_VIOLATION, 0);
    if (code != IOCTL_KESTRIX_READ_CONFIG)
        return complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    if (inputSize != REQUEST_BYTES)
        return complete(irp, STATUS_INVALID_PARAMETER, 0);
    if (outputSize < CONFIG_SPACE_BYTES)
        return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
    // Buffered: the request and the answer share the system buffer.
    UCHAR *buffer = irp->AssociatedIrp.SystemBuffer;
    const ULONG bus = readLittleEndian32(buffer);
    const ULONG slot = readLittleEndian32(buffer + 4);
    if (bus > 0xFF || slot > 0xFF)
        return complete(irp, STATUS_INVALID_PARAMETER, 0);
    UCHAR config[CONFIG_SPACE_BYTES];
    if (!readConfigSpace((UCHAR)bus, (UCHAR)slot, config))
        return complete(irp, STATUS_DEVICE_DOES_NOT_EXIST, 0);
    RtlCopyMemory(buffer, config, CONFIG_SPACE_BYTES);
    return complete(irp, STATUS_SUCCESS, CONFIG_SPACE_BYTES);
}

static VOID NTAPI unload(PDRIVER_OBJECT driver) {
    UNICODE_STRING linkName;
    RtlInitUnicodeString(&linkName, LINK_NAME);
    IoDeleteSymbolicLink(&linkName);
    if (driver->DeviceObject != NULL)
        IoDeleteDevice(driver->DeviceObject);
    closeConfigSource();
}

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    driver->MajorFunction[IRP_MJ_CREATE] = dispatchCreate;
    driver->MajorFunction[IRP_MJ_CLEANUP] = dispatchCleanup;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatchClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatchDeviceControl;
    driver->DriverUnload = unload;

    NTSTATUS status = openConfigSource(registryPath);
    if (!NT_SUCCESS(status))
        return status;

    UNICODE_STRING deviceName, linkName;
    RtlInitUnicodeString(&deviceName, DEVICE_NAME);
    RtlInitUnicodeString(&linkName, LINK_NAME);
    PDEVICE_OBJECT device;
    status = IoCreateDevice(driver, 0, &deviceName, FILE_DEVICE_UNKNOWN, FILE_DEVICE_SECURE_OPEN,
                            FALSE, &device);
    if (!NT_SUCCESS(status)) {
        closeConfigSource();
        return status;
    }
    status = allowOnlySystemAndAdministrators(device);
    if (!NT_SUCCESS(status)) {
        DbgPrint("kestrix: cannot restrict the device to administrators (status %08lx)\n",
                 (unsigned long)status);
        IoDeleteDevice(device);
        closeConfigSource();
        return status;
    }
    status = IoCreateSymbolicLink(&linkName, &deviceName);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        closeConfigSource();
        return status;
    }

    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}
