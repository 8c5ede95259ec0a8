// The kernel declarations that driver/config_read.c uses, for building it on
// the build machine; the test defines HalGetBusDataByOffset.
#pragma once

#include <wchar.h>

typedef unsigned char UCHAR;
typedef unsigned int ULONG; // 32 bits, as on Windows
typedef UCHAR BOOLEAN;
typedef void *PVOID;
typedef wchar_t WCHAR;
#define TRUE 1
#define FALSE 0

typedef enum _BUS_DATA_TYPE { PCIConfiguration = 4 } BUS_DATA_TYPE;

typedef struct _PCI_SLOT_NUMBER {
    union {
        struct {
            ULONG DeviceNumber : 5;
            ULONG FunctionNumber : 3;
            ULONG Reserved : 24;
        } bits;
        ULONG AsULONG;
    } u;
} PCI_SLOT_NUMBER;

#ifdef __cplusplus
extern "C"
#endif
    ULONG
    HalGetBusDataByOffset(BUS_DATA_TYPE type, ULONG bus, ULONG slot, PVOID buffer, ULONG offset,
                          ULONG length);
