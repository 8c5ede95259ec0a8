#include "config_source.h"

#include "dump_table.h"

// Shows as "Kstx" in pool listings.
#define POOL_TAG ((ULONG)'K' | (ULONG)'s' << 8 | (ULONG)'t' << 16 | (ULONG)'x' << 24)
// Longest Source value taken, in bytes.
#define SETTING_LIMIT (1024 * sizeof(WCHAR))
// Largest dump read: every function that a slot byte can address (65,536)
// takes about 60 MiB as lspci -xxx prints them.
#define DUMP_FILE_LIMIT (128 * 1024 * 1024)

typedef enum SourceKind { SOURCE_HAL, SOURCE_UNIX_SYSFS, SOURCE_DUMP } SourceKind;

static SourceKind sourceKind = SOURCE_HAL;
static DumpEntry *dumpEntries;
static size_t dumpCount;

static void *allocate(SIZE_T size) {
    return ExAllocatePoolWithTag(PagedPool, size, POOL_TAG);
}

static void release(void *block) {
    ExFreePoolWithTag(block, POOL_TAG);
}

// Reads the Source value. On success *info holds it (free with release) or
// is null when there is no such value or no Parameters key.
static NTSTATUS readSourceSetting(PCUNICODE_STRING registryPath,
                                  PKEY_VALUE_PARTIAL_INFORMATION *info) {
    static const WCHAR suffix[] = L"\\Parameters";
    *info = NULL;
    if (registryPath->Length > MAXUSHORT - sizeof suffix)
        return STATUS_NAME_TOO_LONG;
    UNICODE_STRING keyName;
    keyName.Length = 0;
    keyName.MaximumLength = (USHORT)(registryPath->Length + sizeof suffix);
    keyName.Buffer = allocate(keyName.MaximumLength);
    if (keyName.Buffer == NULL)
        return STATUS_INSUFFICIENT_RESOURCES;
    RtlCopyUnicodeString(&keyName, registryPath);
    NTSTATUS status = RtlAppendUnicodeToString(&keyName, suffix);
    HANDLE key = NULL;
    if (NT_SUCCESS(status)) {
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &keyName, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                                   NULL, NULL);
        status = ZwOpenKey(&key, KEY_QUERY_VALUE, &attributes);
    }
    release(keyName.Buffer);
    if (status == STATUS_OBJECT_NAME_NOT_FOUND)
        return STATUS_SUCCESS;
    if (!NT_SUCCESS(status))
        return status;

    const ULONG infoSize = FIELD_OFFSET(KEY_VALUE_PARTIAL_INFORMATION, Data) + SETTING_LIMIT;
    PKEY_VALUE_PARTIAL_INFORMATION value = allocate(infoSize);
    if (value == NULL) {
        ZwClose(key);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    UNICODE_STRING valueName;
    RtlInitUnicodeString(&valueName, L"Source");
    ULONG resultSize = 0;
    status =
        ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, value, infoSize, &resultSize);
    ZwClose(key);
    if (status == STATUS_OBJECT_NAME_NOT_FOUND) {
        release(value);
        return STATUS_SUCCESS;
    }
    if (status == STATUS_BUFFER_OVERFLOW || status == STATUS_BUFFER_TOO_SMALL) {
        DbgPrint("kestrix: the Source value is longer than %u characters\n",
                 (unsigned)(SETTING_LIMIT / sizeof(WCHAR)));
        status = STATUS_NAME_TOO_LONG;
    } else if (NT_SUCCESS(status) && value->Type != REG_SZ) {
        DbgPrint("kestrix: the Source value must be of type REG_SZ\n");
        status = STATUS_OBJECT_TYPE_MISMATCH;
    }
    if (!NT_SUCCESS(status)) {
        release(value);
        return status;
    }
    *info = value;
    return STATUS_SUCCESS;
}

// The text of a REG_SZ value up to its first NUL.
static UNICODE_STRING settingText(const KEY_VALUE_PARTIAL_INFORMATION *info) {
    const WCHAR *text = (const WCHAR *)info->Data;
    const ULONG limit = info->DataLength / sizeof(WCHAR);
    ULONG length = 0;
    while (length < limit && text[length] != L'\0')
        ++length;
    UNICODE_STRING result;
    result.Buffer = (PWCH)text;
    result.Length = (USHORT)(length * sizeof(WCHAR));
    result.MaximumLength = result.Length;
    return result;
}

static BOOLEAN settingIs(PCUNICODE_STRING text, PCWSTR name) {
    UNICODE_STRING expected;
    RtlInitUnicodeString(&expected, name);
    return RtlEqualUnicodeString(text, &expected, TRUE);
}

static NTSTATUS openForReading(PUNICODE_STRING path, HANDLE *file) {
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL,
                               NULL);
    IO_STATUS_BLOCK io;
    return ZwCreateFile(file, GENERIC_READ | SYNCHRONIZE, &attributes, &io, NULL,
                        FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
                        FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, NULL, 0);
}

// Reads from offset 0 until size bytes are in or the file ends; returns the
// number of bytes read.
static ULONG readFrom(HANDLE file, UCHAR *buffer, ULONG size) {
    ULONG done = 0;
    while (done < size) {
        IO_STATUS_BLOCK io;
        LARGE_INTEGER offset;
        offset.QuadPart = done;
        const NTSTATUS status =
            ZwReadFile(file, NULL, NULL, NULL, &io, buffer + done, size - done, &offset, NULL);
        if (!NT_SUCCESS(status) || io.Information == 0)
            break;
        done += (ULONG)io.Information;
    }
    return done;
}

// The dump being loaded, for the notes of the parser.
static PCWSTR loadingPath;

static void noteLeftOut(int line, const char *message) {
    DbgPrint("kestrix: dump %ws:%d: %s\n", loadingPath, line, message);
}

// Reads the dump at path (NUL-terminated) whole and keeps its functions.
static NTSTATUS loadDump(PUNICODE_STRING path) {
    HANDLE file;
    NTSTATUS status = openForReading(path, &file);
    if (!NT_SUCCESS(status)) {
        DbgPrint("kestrix: cannot open the dump %ws (status %08lx)\n", path->Buffer,
                 (unsigned long)status);
        return status;
    }
    FILE_STANDARD_INFORMATION standard;
    IO_STATUS_BLOCK io;
    status = ZwQueryInformationFile(file, &io, &standard, sizeof standard, FileStandardInformation);
    if (NT_SUCCESS(status) && standard.EndOfFile.QuadPart > DUMP_FILE_LIMIT) {
        DbgPrint("kestrix: the dump %ws is larger than %u bytes\n", path->Buffer,
                 (unsigned)DUMP_FILE_LIMIT);
        status = STATUS_FILE_TOO_LARGE;
    }
    if (!NT_SUCCESS(status)) {
        ZwClose(file);
        return status;
    }
    const ULONG size = (ULONG)standard.EndOfFile.QuadPart;
    char *text = allocate(size > 0 ? size : 1);
    if (text == NULL) {
        ZwClose(file);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    const ULONG length = readFrom(file, (UCHAR *)text, size);
    ZwClose(file);

    // One pass: a table as large as the text could fill.
    char error[DUMP_ERROR_SIZE];
    const size_t capacity = dumpTableCapacity(length);
    dumpEntries = allocate(capacity * sizeof(DumpEntry));
    if (dumpEntries == NULL) {
        release(text);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    loadingPath = path->Buffer;
    const long count =
        loadDumpFunctions(text, length, dumpEntries, capacity, noteLeftOut, error, sizeof error);
    loadingPath = NULL;
    release(text);
    if (count <= 0) {
        DbgPrint("kestrix: dump %ws:%s\n", path->Buffer, error);
        release(dumpEntries);
        dumpEntries = NULL;
        return STATUS_FILE_CORRUPT_ERROR;
    }
    dumpCount = (size_t)count;
    DbgPrint("kestrix: %lu functions from the dump %ws\n", (unsigned long)dumpCount, path->Buffer);
    return STATUS_SUCCESS;
}

// The NT path of a dump named in the Source value, NUL-terminated: a DOS path
// gets the \??\ prefix, an NT path is kept.
static NTSTATUS dumpPath(PCUNICODE_STRING setting, PUNICODE_STRING path) {
    static const WCHAR dosPrefix[] = L"\\??\\";
    const BOOLEAN isNtPath = setting->Buffer[0] == L'\\';
    path->Length = 0;
    path->MaximumLength =
        (USHORT)(setting->Length + sizeof(WCHAR) + (isNtPath ? 0 : sizeof dosPrefix));
    path->Buffer = allocate(path->MaximumLength);
    if (path->Buffer == NULL)
        return STATUS_INSUFFICIENT_RESOURCES;
    if (!isNtPath)
        RtlAppendUnicodeToString(path, dosPrefix);
    RtlAppendUnicodeStringToString(path, setting);
    path->Buffer[path->Length / sizeof(WCHAR)] = L'\0';
    return STATUS_SUCCESS;
}

NTSTATUS openConfigSource(PCUNICODE_STRING registryPath) {
    PKEY_VALUE_PARTIAL_INFORMATION info;
    NTSTATUS status = readSourceSetting(registryPath, &info);
    if (!NT_SUCCESS(status))
        return status;
    sourceKind = SOURCE_HAL;
    if (info == NULL)
        return STATUS_SUCCESS;
    const UNICODE_STRING setting = settingText(info);
    if (setting.Length == 0 || settingIs(&setting, L"hal")) {
        sourceKind = SOURCE_HAL;
    } else if (settingIs(&setting, L"unix-sysfs")) {
        sourceKind = SOURCE_UNIX_SYSFS;
    } else {
        UNICODE_STRING path;
        status = dumpPath(&setting, &path);
        if (NT_SUCCESS(status)) {
            status = loadDump(&path);
            release(path.Buffer);
        }
        if (NT_SUCCESS(status))
            sourceKind = SOURCE_DUMP;
    }
    release(info);
    return status;
}

static BOOLEAN readSysfs(UCHAR bus, UCHAR slot, UCHAR *buffer) {
    WCHAR name[SYSFS_CONFIG_PATH_SIZE];
    sysfsConfigPath(bus, slot, name);
    UNICODE_STRING path;
    RtlInitUnicodeString(&path, name);
    HANDLE file;
    if (!NT_SUCCESS(openForReading(&path, &file)))
        return FALSE;
    // Without root the host shows only the first 64 bytes: no function then.
    const ULONG got = readFrom(file, buffer, CONFIG_SPACE_BYTES);
    ZwClose(file);
    return got == CONFIG_SPACE_BYTES;
}

static BOOLEAN readDump(UCHAR bus, UCHAR slot, UCHAR *buffer) {
    const DumpEntry *entry = findDumpEntry(dumpEntries, dumpCount, bus, slot);
    if (entry == NULL)
        return FALSE;
    RtlCopyMemory(buffer, entry->bytes, CONFIG_SPACE_BYTES);
    return TRUE;
}

BOOLEAN readConfigSpace(UCHAR bus, UCHAR slot, UCHAR buffer[CONFIG_SPACE_BYTES]) {
    switch (sourceKind) {
    case SOURCE_HAL: return readHalConfig(bus, slot, buffer);
    case SOURCE_UNIX_SYSFS: return readSysfs(bus, slot, buffer);
    case SOURCE_DUMP: return readDump(bus, slot, buffer);
    }
    return FALSE;
}

void closeConfigSource(void) {
    if (dumpEntries != NULL)
        release(dumpEntries);
    dumpEntries = NULL;
    dumpCount = 0;
    sourceKind = SOURCE_HAL;
}
