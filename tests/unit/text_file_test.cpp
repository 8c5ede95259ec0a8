#include "base/text_file.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using testing_support::readBytes;
using testing_support::tempPath;

TEST(TextFile, WritingMakesCrLfAndReadingDropsEveryCrAndStopsAtCtrlZ) {
    const struct {
        std::string text, onDisk;
    } writes[] = {
        {"a\n", "a\r\n"},
        {"x\ny\n\nz", "x\r\ny\r\n\r\nz"},
        {std::string(10000, 'q') + "\n", std::string(10000, 'q') + "\r\n"},
    };
    const std::string path = tempPath("text.txt");
    for (const auto &c : writes) {
        FILE *f = openTextFile(path.c_str(), "wt");
        ASSERT_NE(f, nullptr);
        fputs(c.text.c_str(), f);
        EXPECT_EQ(fclose(f), 0);
        EXPECT_EQ(readBytes(path), c.onDisk);
    }
    const struct {
        std::string onDisk, text;
    } reads[] = {
        {"a\r\nb\n", "a\nb\n"},
#ifndef _WIN32
        // The Windows runtime keeps a CR that does not precede a LF; ours drops them all.
        {"a\rb\r\r\n", "ab\n"},
#endif
        {"before\x1a after", "before"},
        {std::string("nul\0byte\n", 9), std::string("nul\0byte\n", 9)},
    };
    for (const auto &c : reads) {
        testing_support::writeBytes(path, c.onDisk);
        FILE *f = openTextFile(path.c_str(), "rt");
        ASSERT_NE(f, nullptr);
        std::string text;
        for (int ch; (ch = fgetc(f)) != EOF;)
            text += char(ch);
        fclose(f);
        EXPECT_EQ(text, c.text);
    }
    std::remove(path.c_str());
    EXPECT_EQ(openTextFile((tempPath("missing") + "/nothing.txt").c_str(), "wt"), nullptr);
}

} // namespace
