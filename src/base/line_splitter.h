// Cuts data into lines at each line feed; the bytes of a line are kept as
// they are (a CR too: the reader decides what it means). A line longer than
// LIMIT goes out at once, cut and marked too long, and the splitting stops
// there: such input may never end. The data may come in pieces of any size.
// Nothing is allocated and nothing is thrown, so kestrix.sys cuts its dumps
// with it too.
#pragma once

#include <stddef.h>

template <size_t LIMIT> class LineSplitter {
  public:
    // Feeds size bytes. Each line goes to onLine(text, length, tooLong),
    // which returns false to stop; then feed returns false too.
    template <typename OnLine> bool feed(const char *data, size_t size, OnLine &&onLine) {
        for (size_t i = 0; i < size; ++i) {
            const char c = data[i];
            if (c != '\n' && used_ < LIMIT) {
                line_[used_++] = c;
                continue;
            }
            const bool tooLong = c != '\n';
            const bool go = onLine(static_cast<const char *>(line_), used_, tooLong);
            ++lines_;
            used_ = 0;
            if (!go || tooLong)
                return false;
        }
        return true;
    }

    // The last line, when the data does not end with a line feed.
    template <typename OnLine> bool finish(OnLine &&onLine) {
        const size_t used = used_;
        used_ = 0;
        return used == 0 || onLine(static_cast<const char *>(line_), used, false);
    }

    // Lines passed on so far.
    int lines() const { return lines_; }

  private:
    char line_[LIMIT];
    size_t used_ = 0;
    int lines_ = 0;
};
