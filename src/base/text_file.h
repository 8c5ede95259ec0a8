// Text files with the classic text-mode rules, the same on every platform so
// that files look the same whichever build wrote or read them: each "\n"
// written becomes CR LF; on reading (TextReader) every CR is dropped wherever
// it stands and a byte 1Ah ends the text. Inputs are bounded: only a regular
// file or a pipe is opened, and a reader stops at a line or a total size that
// no real file reaches.
#pragma once

#include <cstddef>
#include <cstdio>

// errno of an input that is neither a regular file nor a pipe: a device such
// as /dev/zero, which never ends. Outside the range of the system's codes.
constexpr int ERROR_NOT_FILE_OR_PIPE = 0x7A11;

// The reason for a failed open or read: the system's text, or ours.
const char *fileErrorText(int error);

// Opens path to read its bytes. A folder fails with EISDIR, anything but a
// regular file, a pipe or the empty /dev/null with ERROR_NOT_FILE_OR_PIPE.
FILE *openInputFile(const char *path);

// For writing ("wt", "at"...): a stream that turns each "\n" into CR LF. For
// reading ("rt"): the file's bytes as openInputFile gives them; read them
// with a TextReader.
FILE *openTextFile(const char *path, const char *mode);

// A text-mode writer over an already open stream (standard output); closing
// the result flushes it but leaves the underlying stream open. With
// maskControls every control byte but tab and line feed is written as '?':
// a terminal would act on it.
FILE *wrapTextOutput(FILE *stream, bool maskControls = false);

// Why a TextReader stopped.
enum class TextEnd {
    NONE,          // still reading
    END,           // the end of the file, or a byte 1Ah
    READ_ERROR,    // error() holds errno
    LINE_TOO_LONG, // a line passed the line limit
    TOO_LARGE,     // the file passed the size limit
};

// Lines of a text stream, read by the text-mode rules.
class TextReader {
  public:
    TextReader(FILE *stream, size_t lineLimit, unsigned long long sizeLimit)
        : stream_(stream), lineLimit_(lineLimit), sizeLimit_(sizeLimit) {}
    // As fgets: at most size - 1 characters, the line feed kept when it is
    // reached, then a NUL. False once the text has ended (see end()).
    bool readLine(char *line, int size);
    TextEnd end() const { return end_; }
    int error() const { return error_; }
    // The line being read or the line where reading stopped, from 1.
    long lineNumber() const { return lineStart_ ? line_ + 1 : line_; }

  private:
    bool fill();

    FILE *stream_;
    size_t lineLimit_;
    unsigned long long sizeLimit_;
    char buffer_[4096];
    size_t at_ = 0, used_ = 0;
    unsigned long long consumed_ = 0;
    TextEnd end_ = TextEnd::NONE;
    int error_ = 0;
    long line_ = 0;
    size_t lineLength_ = 0;
    bool lineStart_ = true;
};

// The raw bytes of the file behind a stream opened for reading, from where
// reading would start to the end, in one block, for a reader that applies
// the text rules itself; not mapped where the file is no regular file with a
// size, or on Windows. The stream must not have been read from; the block
// lives until destroyed.
class FileBlock {
  public:
    explicit FileBlock(FILE *stream);
    ~FileBlock();
    FileBlock(const FileBlock &) = delete;
    FileBlock &operator=(const FileBlock &) = delete;
    bool mapped() const { return data_ != nullptr; }
    const char *data() const { return data_; }
    size_t size() const { return size_; }
    // The bytes before offset are not read again: their pages may leave this
    // process, so that a large file is never resident all at once.
    void release(size_t offset);

  private:
    const char *data_ = nullptr;
    size_t size_ = 0;
    void *mapping_ = nullptr; // what to unmap, if anything
    size_t mappingSize_ = 0;
};
