#include "naming/name_database.h"

#include "base/short_path.h"
#include "naming/name_lines.h"

#include <cstring>

namespace {

constexpr int NAME_CHARS = NAME_SIZE - 1;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isLineEnd(char c) {
    return c == '\0' || c == '\n';
}

bool namesRecord(const FunctionNames &r, const NameTag &tag, uint32_t number,
                 const LastMatched &last) {
    for (int j = 0; j < tag.level; ++j)
        if (!last.valid[j] || r.ids[j] != last.number[j])
            return false;
    return r.ids[tag.kind] == number;
}

// The name follows the number token and the blanks after it; it never
// reaches past the line end, even when the token runs to it.
void locateName(const char *token, const char **name, size_t *length) {
    const char *p = token;
    while (!isLineEnd(*p) && !isBlank(*p))
        ++p;
    while (isBlank(*p))
        ++p;
    const char *end = p;
    while (!isLineEnd(*end))
        ++end;
    *name = p;
    *length = size_t(end - p);
}

void storeName(char (&field)[NAME_SIZE], const char *name, size_t length) {
    if (length > size_t(NAME_CHARS))
        length = NAME_CHARS;
    memcpy(field, name, length);
    memset(field + length, 0, sizeof field - length);
}

void clearIfEqual(const char *reference, char (&field)[NAME_SIZE]) {
    if (strcmp(reference, field) == 0)
        memset(field, 0, sizeof field);
}

} // namespace

uint32_t parseNumber(unsigned base, const char *text) {
    return parseNumberUntil(base, text, nullptr);
}

void enterNameLine(const NameTag &tag, NameLoadState &state) {
    state.depth = tag.level;
    state.last.valid[tag.kind] = false;
}

void considerNameLine(const char *line, NameLoadState &state, FunctionNames *const *functions,
                      int count) {
    NameTag tag;
    // V at any depth; D needs a named vendor; O and R a named device; S a named O or R.
    if (!nameTagOf(line[0], tag) || state.depth < tag.level)
        return;
    enterNameLine(tag, state);
    const char *token = line + 1;
    while (isBlank(*token))
        ++token;
    const uint32_t number = parseNumber(16, token);
    LastMatched &last = state.last;
    const char *name = nullptr;
    size_t length = 0;
    for (int i = 0; i < count; ++i) {
        FunctionNames &r = *functions[i];
        if (!namesRecord(r, tag, number, last))
            continue;
        if (name == nullptr) {
            locateName(token, &name, &length);
            last.number[tag.kind] = number;
            last.valid[tag.kind] = true;
        }
        storeName(r.names[tag.kind], name, length);
    }
    if (name != nullptr)
        state.depth = tag.level + 1;
}

void clearRepeatedNames(FunctionNames *const *functions, int count) {
    for (int i = 0; i < count; ++i) {
        FunctionNames &r = *functions[i];
        clearIfEqual(r.names[NAME_SUBSYSTEM_VENDOR], r.names[NAME_SUBSYSTEM]);
        clearIfEqual(r.names[NAME_DEVICE], r.names[NAME_SUBSYSTEM_VENDOR]);
    }
}

NameLoadResult loadNameDatabaseFrom(FILE *stream, FunctionNames *const *functions, int count) {
    NameLoadState state;
    char line[NAME_LINE_SIZE];
    TextReader reader(stream, NAME_LINE_LIMIT, NAME_FILE_LIMIT);
    while (reader.readLine(line, sizeof line))
        considerNameLine(line, state, functions, count);
    clearRepeatedNames(functions, count);
    return {reader.end(), reader.lineNumber(), reader.error()};
}

void describeNameLoad(const NameLoadResult &result, const char *path, char *text, size_t size) {
    char buffer[MESSAGE_PATH_SIZE];
    const char *shown = shortPath(path, buffer, sizeof buffer);
    switch (result.end) {
    case TextEnd::READ_ERROR:
        snprintf(text, size, "%s:%ld: cannot read name database: %s", shown, result.line,
                 fileErrorText(result.error));
        break;
    case TextEnd::LINE_TOO_LONG:
        snprintf(text, size, "%s:%ld: line longer than %zu characters: not a name database", shown,
                 result.line, NAME_LINE_LIMIT);
        break;
    case TextEnd::TOO_LARGE:
        snprintf(text, size, "%s: larger than %llu MiB: not a name database", shown,
                 NAME_FILE_LIMIT >> 20);
        break;
    default: snprintf(text, size, "%s: read to its end", shown); break;
    }
}
