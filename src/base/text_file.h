// Text streams with the classic text-mode rules, so that files look the same
// whichever build wrote them: each "\n" written becomes CR LF; on reading every
// CR is dropped and a byte 0x1A ends the stream. Windows gets this from its C
// runtime; elsewhere the stream translates itself.
#pragma once

#include <cstdio>

// fopen with text-mode semantics for modes without 'b' ("rt", "wt", "r", "a"...).
FILE *openTextFile(const char *path, const char *mode);

// A text-mode writer over an already open stream (standard output); closing
// the result flushes it but leaves the underlying stream open.
FILE *wrapTextOutput(FILE *stream);
