// Golden files: expected output kept in tests/data, written by the program
// itself. Run a test with LUMIVAR_REBASE=1 to rewrite its golden files, then
// review the change with git diff.
#pragma once

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace testing_support {

inline void expectGolden(const std::string &name, const std::string &actual) {
    const std::string path = std::string(TEST_DATA_DIR) + "/" + name;
    const char *rebase = std::getenv("LUMIVAR_REBASE");
    if (rebase != nullptr && *rebase != '\0') {
        writeBytes(path, actual);
        return;
    }
    const std::string expected = readBytes(path);
    ASSERT_FALSE(expected.empty()) << path << " is missing: run with LUMIVAR_REBASE=1";
    EXPECT_EQ(actual, expected) << "differs from " << path;
}

} // namespace testing_support
