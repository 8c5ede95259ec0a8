#include "base/text_file.h"

#include <cstring>

#ifdef _WIN32

FILE *openTextFile(const char *path, const char *mode) {
    return fopen(path, mode);
}

FILE *wrapTextOutput(FILE *stream) {
    return stream;
}

#else

#include <cerrno>

namespace {

struct TextCookie {
    FILE *file;
    bool ownsFile;
    bool ended; // a 0x1A has been read: the rest of the file does not exist
};

// Writes all of [data, data+size); false on a stream error.
bool writeAll(FILE *file, const char *data, size_t size) {
    return size == 0 || fwrite(data, 1, size, file) == size;
}

ssize_t textWrite(void *cookie, const char *data, size_t size) {
    auto *c = static_cast<TextCookie *>(cookie);
    size_t start = 0;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] != '\n')
            continue;
        if (!writeAll(c->file, data + start, i - start) || !writeAll(c->file, "\r\n", 2))
            return -1;
        start = i + 1;
    }
    if (!writeAll(c->file, data + start, size - start))
        return -1;
    return ssize_t(size);
}

ssize_t textRead(void *cookie, char *out, size_t size) {
    auto *c = static_cast<TextCookie *>(cookie);
    size_t n = 0;
    // Read in blocks, then squeeze out the CRs in place; loop so that a block
    // of nothing but CRs is not taken for the end of the file.
    while (n == 0 && !c->ended) {
        const size_t got = fread(out, 1, size, c->file);
        if (got == 0)
            return ferror(c->file) ? -1 : 0;
        const char *end = static_cast<const char *>(memchr(out, 0x1A, got));
        const size_t usable = end != nullptr ? size_t(end - out) : got;
        if (end != nullptr)
            c->ended = true;
        for (size_t i = 0; i < usable; ++i)
            if (out[i] != '\r')
                out[n++] = out[i];
    }
    return ssize_t(n);
}

int textClose(void *cookie) {
    auto *c = static_cast<TextCookie *>(cookie);
    int result = fflush(c->file);
    if (c->ownsFile && fclose(c->file) != 0)
        result = EOF;
    delete c;
    return result == 0 ? 0 : -1;
}

FILE *wrap(FILE *file, bool owns, const char *mode) {
    auto *cookie = new TextCookie{file, owns, false};
    cookie_io_functions_t io{};
    io.read = textRead;
    io.write = textWrite;
    io.close = textClose;
    FILE *stream = fopencookie(cookie, mode, io);
    if (stream == nullptr) {
        const int saved = errno;
        if (owns)
            fclose(file);
        delete cookie;
        errno = saved;
    }
    return stream;
}

} // namespace

FILE *openTextFile(const char *path, const char *mode) {
    if (strchr(mode, 'b') != nullptr)
        return fopen(path, mode);
    // The underlying file is binary; the translation is ours. Drop the 't'.
    char plain[8];
    size_t n = 0;
    for (const char *m = mode; *m != '\0' && n + 2 < sizeof plain; ++m)
        if (*m != 't')
            plain[n++] = *m;
    plain[n++] = 'b';
    plain[n] = '\0';
    FILE *file = fopen(path, plain);
    if (file == nullptr)
        return nullptr;
    plain[n - 1] = '\0';
    return wrap(file, true, plain);
}

FILE *wrapTextOutput(FILE *stream) {
    return wrap(stream, false, "w");
}

#endif
