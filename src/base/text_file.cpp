#include "base/text_file.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

const char *fileErrorText(int error) {
    return error == ERROR_NOT_FILE_OR_PIPE ? "not a regular file or a pipe" : strerror(error);
}

namespace {

// The one device that is known to end at once: the empty input.
bool isNullDevice(const struct stat &status) {
#ifdef _WIN32
    (void)status;
    return false;
#else
    struct stat null;
    return (status.st_mode & S_IFMT) == S_IFCHR && stat("/dev/null", &null) == 0 &&
           (null.st_mode & S_IFMT) == S_IFCHR && null.st_rdev == status.st_rdev;
#endif
}

} // namespace

FILE *openInputFile(const char *path) {
    FILE *file = fopen(path, "rb");
    if (file == nullptr) {
        // Windows refuses a folder as access denied: say what it is.
        struct stat status;
        if (errno == EACCES && stat(path, &status) == 0 && (status.st_mode & S_IFMT) == S_IFDIR)
            errno = EISDIR;
        return nullptr;
    }
    struct stat status;
    int refusal = 0;
    if (fstat(fileno(file), &status) != 0)
        refusal = errno;
    else if ((status.st_mode & S_IFMT) == S_IFDIR)
        refusal = EISDIR;
    else if ((status.st_mode & S_IFMT) != S_IFREG && (status.st_mode & S_IFMT) != S_IFIFO &&
             !isNullDevice(status))
        refusal = ERROR_NOT_FILE_OR_PIPE;
    if (refusal != 0) {
        fclose(file);
        errno = refusal;
        return nullptr;
    }
    return file;
}

bool TextReader::fill() {
    at_ = 0;
    used_ = fread(buffer_, 1, sizeof buffer_, stream_);
    consumed_ += used_;
    if (used_ == 0) {
        if (ferror(stream_)) {
            error_ = errno != 0 ? errno : EIO;
            end_ = TextEnd::READ_ERROR;
        } else {
            end_ = TextEnd::END;
        }
        return false;
    }
    if (consumed_ > sizeLimit_) {
        end_ = TextEnd::TOO_LARGE;
        return false;
    }
    return true;
}

bool TextReader::readLine(char *line, int size) {
    int n = 0;
    while (end_ == TextEnd::NONE && n < size - 1) {
        if (at_ == used_ && !fill())
            break;
        const char c = buffer_[at_++];
        if (c == '\r')
            continue;
        if (c == '\x1a') {
            end_ = TextEnd::END;
            break;
        }
        if (lineStart_) {
            ++line_;
            lineLength_ = 0;
            lineStart_ = false;
        }
        if (c == '\n') {
            line[n++] = c;
            lineStart_ = true;
            break;
        }
        if (++lineLength_ > lineLimit_) {
            end_ = TextEnd::LINE_TOO_LONG;
            return false;
        }
        line[n++] = c;
    }
    if (size > 0)
        line[n] = '\0';
    return n > 0;
}

#ifdef _WIN32

FILE *openTextFile(const char *path, const char *mode) {
    if (mode[0] == 'r' && strchr(mode, '+') == nullptr)
        return openInputFile(path);
    return fopen(path, mode); // the runtime's text mode writes CR LF
}

FILE *wrapTextOutput(FILE *stream, bool) {
    return stream;
}

// The reader reads the file line by line.
FileBlock::FileBlock(FILE *) {}

FileBlock::~FileBlock() {}

void FileBlock::release(size_t) {}

#else

#include <sys/mman.h>
#include <unistd.h>

namespace {

struct TextCookie {
    FILE *file;
    bool ownsFile;
    bool maskControls;
};

// Writes all of [data, data+size); false on a stream error.
bool writeAll(FILE *file, const char *data, size_t size) {
    return size == 0 || fwrite(data, 1, size, file) == size;
}

bool isMasked(unsigned char c) {
    return (c < 0x20 && c != '\t' && c != '\n') || (c >= 0x7F && c <= 0x9F);
}

ssize_t textWrite(void *cookie, const char *data, size_t size) {
    auto *c = static_cast<TextCookie *>(cookie);
    size_t start = 0;
    for (size_t i = 0; i < size; ++i) {
        const bool masked = c->maskControls && isMasked(static_cast<unsigned char>(data[i]));
        if (data[i] != '\n' && !masked)
            continue;
        if (!writeAll(c->file, data + start, i - start) ||
            !writeAll(c->file, masked ? "?" : "\r\n", masked ? 1 : 2))
            return -1;
        start = i + 1;
    }
    if (!writeAll(c->file, data + start, size - start))
        return -1;
    return ssize_t(size);
}

int textClose(void *cookie) {
    auto *c = static_cast<TextCookie *>(cookie);
    int result = fflush(c->file);
    if (c->ownsFile && fclose(c->file) != 0)
        result = EOF;
    delete c;
    return result == 0 ? 0 : -1;
}

FILE *wrap(FILE *file, bool owns, bool maskControls, const char *mode) {
    auto *cookie = new TextCookie{file, owns, maskControls};
    cookie_io_functions_t io{};
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
    if (mode[0] == 'r' && strchr(mode, '+') == nullptr)
        return openInputFile(path);
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
    return wrap(file, true, false, plain);
}

FILE *wrapTextOutput(FILE *stream, bool maskControls) {
    return wrap(stream, false, maskControls, "w");
}

FileBlock::FileBlock(FILE *stream) {
    const int fd = fileno(stream);
    struct stat status;
    if (fd < 0 || fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return;
    // From where reading would start. A file that says it is empty may not
    // be (those of /proc say so whatever they hold): it is left to be read.
    const off_t from = lseek(fd, 0, SEEK_CUR);
    if (from < 0 || from >= status.st_size)
        return;
    // The page cache's own pages: no copy, and no page to fill with zeros.
    void *mapping = mmap(nullptr, size_t(status.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapping == MAP_FAILED)
        return;
    mapping_ = mapping;
    mappingSize_ = size_t(status.st_size);
    data_ = static_cast<const char *>(mapping) + from;
    size_ = size_t(status.st_size - from);
}

FileBlock::~FileBlock() {
    if (mapping_ != nullptr)
        munmap(mapping_, mappingSize_);
}

void FileBlock::release(size_t offset) {
    if (mapping_ == nullptr)
        return;
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const size_t passed = size_t(data_ - static_cast<const char *>(mapping_)) + offset;
    if (passed >= page)
        madvise(mapping_, passed / page * page, MADV_DONTNEED);
}

#endif
