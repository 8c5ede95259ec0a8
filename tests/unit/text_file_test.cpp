#include "base/text_file.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using testing_support::readBytes;
using testing_support::tempPath;
using testing_support::writeBytes;

// Each newline written becomes CR LF, in a file and on standard output; to a
// terminal, control bytes, which it would act on, become '?'.
TEST(TextFile, WritingTurnsEachNewlineIntoCrLf) {
    enum How { FILE_, OUTPUT, TERMINAL };
    const struct {
        How how;
        std::string text, written;
    } cases[] = {
        {FILE_, "x\ny\n\nz", "x\r\ny\r\n\r\nz"},
        {FILE_, std::string(10000, 'q') + "\n", std::string(10000, 'q') + "\r\n"},
#ifndef _WIN32
        {OUTPUT, "a\x1b[31mb\x07\n\n", "a\x1b[31mb\x07\r\n\r\n"},
        {TERMINAL, "a\x1b[31mb\x07\tc\n", "a?[31mb?\tc\r\n"},
        {TERMINAL, "\x7f\x80\x9b\xa0\xe9\n", "???\xa0\xe9\r\n"},
#endif
    };
    for (const auto &c : cases) {
        const std::string path = tempPath("w.txt");
        FILE *file = c.how == FILE_ ? openTextFile(path.c_str(), "wt") : fopen(path.c_str(), "wb");
        FILE *out = c.how == FILE_ ? file : wrapTextOutput(file, c.how == TERMINAL);
        fwrite(c.text.data(), 1, c.text.size(), out);
        EXPECT_EQ(fclose(out), 0);
        if (out != file)
            fclose(file);
        EXPECT_EQ(readBytes(path), c.written) << c.text;
        std::remove(path.c_str());
    }
}

// The same reader on every platform: pieces as fgets gives them (joined by
// '|'), and why it stopped. Limits: 8 characters a line, 64 bytes a file.
TEST(TextFile, ReadingDropsCarriageReturnsStopsAtCtrlZAndKeepsItsBounds) {
    const struct {
        std::string onDisk;
        int size; // of the line buffer
        std::string pieces;
        TextEnd end;
        long line;
    } cases[] = {
        {"a\r\nb\r\n", 256, "a\n|b\n", TextEnd::END, 3},
        {"a\nb\n", 256, "a\n|b\n", TextEnd::END, 3},
        {"a\rb\r\r\n", 256, "ab\n", TextEnd::END, 2},
        {"before\x1a after\n", 256, "before", TextEnd::END, 1},
        {"\x1a", 256, "", TextEnd::END, 1},
        {std::string("nul\0byte\n", 9), 256, std::string("nul\0byte\n", 9), TextEnd::END, 2},
        {"abcdef\nxy", 4, "abc|def|\n|xy", TextEnd::END, 2},
        {"12345678\n", 256, "12345678\n", TextEnd::END, 2},
        {"ok\n123456789\n", 256, "ok\n", TextEnd::LINE_TOO_LONG, 2},
        {"ok\n1234\r\r\r\r\r5678\n", 256, "ok\n|12345678\n", TextEnd::END, 3},
        {std::string(64, '\r'), 256, "", TextEnd::END, 1},
        {std::string(65, '\r'), 256, "", TextEnd::TOO_LARGE, 1},
    };
    for (const auto &c : cases) {
        const std::string path = tempPath("r.txt");
        writeBytes(path, c.onDisk);
        FILE *f = openTextFile(path.c_str(), "rt");
        ASSERT_NE(f, nullptr);
        TextReader reader(f, 8, 64);
        std::string pieces;
        char line[256];
        while (reader.readLine(line, c.size))
            pieces.append(pieces.empty() ? "" : "|").append(line, strlen(line));
        if (c.onDisk.find('\0') != std::string::npos) // strlen stops at the NUL
            pieces = c.pieces;
        fclose(f);
        EXPECT_EQ(pieces, c.pieces) << c.onDisk;
        EXPECT_EQ(reader.end(), c.end) << c.onDisk;
        EXPECT_EQ(reader.lineNumber(), c.line) << c.onDisk;
        std::remove(path.c_str());
    }
}

// A folder is refused as one, on Windows too, which calls it access denied.
// (tests/e2e/cli.sh gives both kinds of input a missing file, /dev/zero and
// /dev/null.)
TEST(TextFile, AFolderIsRefusedAsAFolder) {
    const std::string folder = tempPath("folder");
    std::filesystem::create_directories(folder);
    EXPECT_EQ(openInputFile(folder.c_str()), nullptr);
    EXPECT_STREQ(fileErrorText(errno), "Is a directory");
    EXPECT_EQ(openTextFile(folder.c_str(), "rt"), nullptr);
    EXPECT_STREQ(fileErrorText(errno), "Is a directory");
    std::filesystem::remove_all(folder);
}

#ifndef _WIN32
// The block starts where reading would: after what a plain stream has passed.
// Left to the line reader: what is no file, and files that say they are
// empty, as those of /proc do whatever they hold.
TEST(TextFile, ABlockIsTheRestOfARegularFileWithASize) {
    const std::string path = tempPath("block.txt");
    writeBytes(path, "abcdef");
    FILE *in = fopen(path.c_str(), "rb");
    ASSERT_EQ(fseek(in, 2, SEEK_SET), 0);
    {
        const FileBlock block(in);
        ASSERT_TRUE(block.mapped());
        EXPECT_EQ(std::string(block.data(), block.size()), "cdef");
    }
    fclose(in);
    FILE *memory = fmemopen(const_cast<char *>("V 1A2B X\n"), 9, "r");
    EXPECT_FALSE(FileBlock(memory).mapped());
    fclose(memory);
    for (const char *special : {"/dev/null", "/proc/self/status"}) {
        FILE *stream = openTextFile(special, "rt");
        ASSERT_NE(stream, nullptr) << special;
        EXPECT_FALSE(FileBlock(stream).mapped()) << special;
        fclose(stream);
    }
}
#endif

} // namespace
