// KERNEL32's part: the version, the local time and the current directory.
#include "win32/win32.h"

#include <climits>
#include <cstring>
#include <ctime>
#include <unistd.h>

DWORD WINAPI GetVersion(void) {
    // What a program without a manifest is told on current Windows: 6.2,
    // build 9200. The top bit is clear: an NT-family system.
    return 0x23F00206;
}

void WINAPI GetLocalTime(LPSYSTEMTIME out) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm t{};
    localtime_r(&now.tv_sec, &t);
    out->wYear = WORD(t.tm_year + 1900);
    out->wMonth = WORD(t.tm_mon + 1);
    out->wDayOfWeek = WORD(t.tm_wday);
    out->wDay = WORD(t.tm_mday);
    out->wHour = WORD(t.tm_hour);
    out->wMinute = WORD(t.tm_min);
    out->wSecond = WORD(t.tm_sec);
    out->wMilliseconds = WORD(now.tv_nsec / 1000000);
}

DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
    char path[PATH_MAX];
    if (getcwd(path, sizeof path) == nullptr)
        return 0;
    const size_t length = strlen(path);
    // Too small a buffer is left alone; the answer is the size that would do.
    if (buffer == nullptr || length + 1 > size)
        return DWORD(length + 1);
    memcpy(buffer, path, length + 1);
    return DWORD(length);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR path) {
    return path != nullptr && chdir(path) == 0;
}
