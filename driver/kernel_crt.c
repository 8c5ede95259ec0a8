// The C library calls of the shared dump reader, for the kernel build.
#include <stdarg.h>
#include <stddef.h>

// Exported by ntoskrnl; like the Microsoft C runtime's, it leaves the buffer
// unterminated when the text fills it and then returns a negative count.
int __cdecl _vsnprintf(char *buffer, size_t size, const char *format, va_list args);

int vsnprintf(char *buffer, size_t size, const char *format, va_list args);
int snprintf(char *buffer, size_t size, const char *format, ...);

// Always terminates, cutting the text to size - 1 characters. Returns the
// number of characters stored (not the length the whole text would need).
int vsnprintf(char *buffer, size_t size, const char *format, va_list args) {
    if (size == 0)
        return 0;
    int written = _vsnprintf(buffer, size - 1, format, args);
    if (written < 0 || (size_t)written > size - 1)
        written = (int)(size - 1);
    buffer[written] = '\0';
    return written;
}

int snprintf(char *buffer, size_t size, const char *format, ...) {
    va_list args;
    va_start(args, format);
    const int written = vsnprintf(buffer, size, format, args);
    va_end(args);
    return written;
}
