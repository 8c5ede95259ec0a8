// Case tables in tests/data: a line per case, its input before "=>" and what
// the program makes of it after. A test reads the inputs and compares each
// line with what it makes of them now; with LUMIVAR_REBASE=1 it writes the
// file afresh, to be reviewed as a diff. Lines starting with '#' and blank
// lines are kept as they are.
#pragma once

#include "golden.h"

#include <functional>
#include <sstream>
#include <string>

namespace testing_support {

inline void expectCaseTable(const std::string &name,
                            const std::function<std::string(const std::string &)> &run) {
    const std::string path = std::string(TEST_DATA_DIR) + "/" + name;
    const char *rebase = std::getenv("LUMIVAR_REBASE");
    const bool rewrite = rebase != nullptr && *rebase != '\0';
    std::istringstream lines(readBytes(path));
    std::string out, line;
    int cases = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] != '#') {
            std::string input = line.substr(0, line.find("=>"));
            input.erase(input.find_last_not_of(' ') + 1);
            const std::string made = run(input);
            const std::string now =
                input + (input.empty() ? "=>" : " =>") + (made.empty() ? "" : " " + made);
            if (!rewrite) {
                EXPECT_EQ(now, line) << "in " << name;
            }
            line = now;
            ++cases;
        }
        out += line + "\n";
    }
    ASSERT_GT(cases, 0) << path << " has no cases";
    if (rewrite)
        writeBytes(path, out);
}

} // namespace testing_support
