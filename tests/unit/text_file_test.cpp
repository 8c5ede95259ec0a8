#include "base/text_file.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using testing_support::readBytes;
using testing_support::tempPath;
using testing_support::writeBytes;

TEST(TextFile, WritingTurnsEachNewlineIntoCrLf) {
    const struct {
        std::string text, onDisk;
    } cases[] = {
        {"a\n", "a\r\n"},
        {"\n\n", "\r\n\r\n"},
        {"no newline", "no newline"},
        {"x\ny\n\nz", "x\r\ny\r\n\r\nz"},
        {std::string(10000, 'q') + "\n", std::string(10000, 'q') + "\r\n"},
    };
    for (const auto &c : cases) {
        const std::string path = tempPath("w.txt");
        FILE *f = openTextFile(path.c_str(), "wt");
        ASSERT_NE(f, nullptr);
        fputs(c.text.c_str(), f);
        EXPECT_EQ(fclose(f), 0);
        EXPECT_EQ(readBytes(path), c.onDisk);
        std::remove(path.c_str());
    }
}

TEST(TextFile, ReadingDropsCarriageReturnsAndStopsAtCtrlZ) {
    const struct {
        std::string onDisk, text;
    } cases[] = {
        {"a\r\nb\r\n", "a\nb\n"},
        {"a\nb\n", "a\nb\n"},
#ifndef _WIN32
        // The Windows runtime keeps a CR that does not precede a LF; ours drops them all.
        {"a\rb\r\r\n", "ab\n"},
#endif
        {"before\x1a after", "before"},
        {"\x1a", ""},
        {std::string("nul\0byte\n", 9), std::string("nul\0byte\n", 9)},
    };
    for (const auto &c : cases) {
        const std::string path = tempPath("r.txt");
        writeBytes(path, c.onDisk);
        FILE *f = openTextFile(path.c_str(), "rt");
        ASSERT_NE(f, nullptr);
        std::string text;
        for (int ch; (ch = fgetc(f)) != EOF;)
            text += char(ch);
        fclose(f);
        EXPECT_EQ(text, c.text);
        std::remove(path.c_str());
    }
}

TEST(TextFile, OpenFailuresGiveNoStream) {
    EXPECT_EQ(openTextFile((tempPath("missing") + "/nothing.txt").c_str(), "rt"), nullptr);
    EXPECT_EQ(openTextFile((tempPath("missing") + "/nothing.txt").c_str(), "wt"), nullptr);
}

} // namespace
