#include "base/short_path.h"

#include <cstring>

const char *shortPath(const char *path, char *buffer, size_t size) {
    const size_t length = strlen(path);
    if (length < size || size < 8)
        return path;
    // The start says where, the end which file: keep more of the end.
    const size_t room = size - 4; // "..." and the NUL
    const size_t head = room / 3, tail = room - head;
    memcpy(buffer, path, head);
    memcpy(buffer + head, "...", 3);
    memcpy(buffer + head + 3, path + length - tail, tail + 1);
    return buffer;
}
