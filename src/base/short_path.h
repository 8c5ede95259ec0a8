// Paths in messages of bounded size: a long path is shortened, never the
// line number or the cause that follows it.
#pragma once

#include <cstddef>

// Room for a path in a one-line message.
constexpr size_t MESSAGE_PATH_SIZE = 160;

// path itself when it has fewer than size characters, else its start and its
// end around "..." in buffer (size bytes with the NUL).
const char *shortPath(const char *path, char *buffer, size_t size);
