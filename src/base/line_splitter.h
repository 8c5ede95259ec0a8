// Cuts text into lines by the reading rules of a text-mode stream: a CR is
// dropped wherever it stands and a byte 1Ah ends the text. A line longer than
// LIMIT keeps its first LIMIT characters and is marked too long. The text may
// come in pieces of any size. Nothing is allocated and nothing is thrown, so
// kestrix.sys cuts its dumps with it too.
#pragma once

#include <stddef.h>

template <size_t LIMIT> class LineSplitter {
  public:
    // Feeds size bytes. Each complete line goes to onLine(text, length,
    // tooLong), which returns false to stop; then feed returns false too.
    template <typename OnLine> bool feed(const char *data, size_t size, OnLine &&onLine) {
        for (size_t i = 0; i < size && !ended_; ++i) {
            const char c = data[i];
            if (c == '\x1a') {
                ended_ = true;
            } else if (c == '\n') {
                const bool go = onLine(line_, used_, tooLong_);
                used_ = 0;
                tooLong_ = false;
                if (!go)
                    return false;
            } else if (c == '\r') {
                continue;
            } else if (used_ < LIMIT) {
                line_[used_++] = c;
            } else {
                tooLong_ = true;
            }
        }
        return true;
    }

    // The last line, when the text does not end with a line feed.
    template <typename OnLine> bool finish(OnLine &&onLine) {
        const size_t used = used_;
        used_ = 0;
        return used == 0 || onLine(line_, used, tooLong_);
    }

  private:
    char line_[LIMIT];
    size_t used_ = 0;
    bool tooLong_ = false;
    bool ended_ = false; // a 1Ah has come: the rest of the text does not exist
};
