// The pciids2pcidevs command: exit status, messages, and the files it leaves
// (CR LF line ends, nothing at all when it fails), each run as golden text.
#include "golden.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testing_support::readBytes;
using testing_support::writeBytes;

const char GOOD[] = "# comment\n1111  Alpha\n\t0001  One\n\t\t1111 0002  Card\n";

// A run in a fresh folder that holds in.ids (when input is not null) and
// victim.txt, after the shell commands of setup; the tool's own command line
// comes after those of prefix.
struct RunCase {
    const char *name;
    std::string input;
    const char *setup, *args;
    const char *prefix = "";
};

std::string garbage() {
    std::string text = "1111  Alpha\n";
    for (int i = 0; i < 50; ++i)
        text += "\x01\x02garbage\n";
    return text;
}

const RunCase CASES[] = {
    {"no arguments", "", ":", ""},
    {"one path", GOOD, ":", "in.ids"},
    {"three paths", GOOD, ":", "in.ids out.txt more"},
    {"an unknown option", GOOD, ":", "--fast in.ids out.txt"},
    {"help", "", ":", "--help"},
    {"no input", "", "rm in.ids", "in.ids out.txt"},
    {"the input is a folder", "", ":", ". out.txt"},
    {"no vendors", "# only\n# comments\n", ":", "in.ids out.txt"},
    {"an empty input", "", ":", "in.ids out.txt"},
    {"a good input", GOOD, ":", "in.ids out.txt"},
    {"an output replaced", GOOD, "echo old contents, longer than the new ones >out.txt",
     "in.ids out.txt"},
    {"standard input to standard output", GOOD, ":", "- - <in.ids"},
    {"bad lines are skipped with file and line",
     "1111  Alpha\n\t0001  One\nzzzz  Bad\n\t0002  Under Bad\n2222  Beta\n", ":", "in.ids out.txt"},
    {"the warnings shown on garbage are limited", garbage(), ":", "in.ids out.txt"},
    {"--strict fails on a skipped line", "1111  Alpha\n\t\t1111 0001  Card\n", ":",
     "--strict in.ids out.txt"},
    {"the output folder is missing", GOOD, ":", "in.ids nowhere/out.txt"},
    {"the output is a link", GOOD, "ln -s victim.txt out.txt", "in.ids out.txt"},
    {"the output is a pipe", GOOD, "mkfifo out.txt", "in.ids out.txt"},
    {"the output is a folder", GOOD, "mkdir out.txt", "in.ids out.txt"},
    {"links planted at the old temporary names", GOOD,
     "ln -s victim.txt out.txt.tmp && ln -s victim.txt .pcidevs-XXXXXX", "in.ids out.txt"},
    {"the write fails part way (files of one block at most)", GOOD,
     "for i in $(seq 1000 1200); do echo \"$i  Vendor\" >>in.ids; done", "in.ids out.txt",
     "trap '' XFSZ; ulimit -f 1;"},
};

// As `ls -AF` shows the folder (the run's own stdout.txt and stderr.txt left
// out) on one line, then out.txt.
std::string folder(const std::string &dir) {
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        const fs::file_type type = entry.symlink_status().type();
        if (name != "stdout.txt" && name != "stderr.txt")
            names.insert(name + (type == fs::file_type::symlink     ? "@"
                                 : type == fs::file_type::fifo      ? "|"
                                 : type == fs::file_type::directory ? "/"
                                                                    : ""));
    }
    std::string out = "folder:";
    for (const std::string &name : names)
        out += " " + name;
    return out + "\nout.txt:\n" + (names.count("out.txt") ? readBytes(dir + "/out.txt") : "");
}

// Each run with its exit status, standard output and error, and the folder it
// leaves; CRs shown as \r.
TEST(Pciids2pcidevs, RunsAsGoldenText) {
    std::string transcript;
    for (const RunCase &c : CASES) {
        char pattern[] = "/tmp/pciids2pcidevs-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        const std::string dir = pattern;
        writeBytes(dir + "/in.ids", c.input);
        writeBytes(dir + "/victim.txt", "victim");
        ASSERT_EQ(std::system(("cd '" + dir + "' && " + c.setup).c_str()), 0) << c.setup;
        const std::string stdinFile = strchr(c.args, '<') ? "" : " </dev/null";
        const int status =
            std::system(("cd '" + dir + "' && " + c.prefix + " '" PCIIDS2PCIDEVS "' " + c.args +
                         stdinFile + " >stdout.txt 2>stderr.txt")
                            .c_str());
        std::string err = readBytes(dir + "/stderr.txt");
        if (err.find(".pcidevs-") != std::string::npos) // a name of mkstemp's
            err.replace(err.find(".pcidevs-") + 9, 6, "XXXXXX");
        // A new file's permissions (umask 022); no link or planted file is
        // written through.
        struct stat mode;
        if (lstat((dir + "/out.txt").c_str(), &mode) == 0 && S_ISREG(mode.st_mode)) {
            EXPECT_EQ(mode.st_mode & 0777, 0644u) << c.name;
        }
        EXPECT_EQ(readBytes(dir + "/victim.txt"), "victim") << c.name;
        transcript += std::string("== ") + c.name + ": pciids2pcidevs " + c.args + "\nexit " +
                      std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + "\nstdout:\n" +
                      readBytes(dir + "/stdout.txt") + "stderr:\n" + err + folder(dir);
        fs::remove_all(dir);
    }
    for (size_t at = 0; (at = transcript.find('\r', at)) != std::string::npos;)
        transcript.replace(at, 1, "\\r");
    testing_support::expectGolden("pciids2pcidevs-runs.txt", transcript);
}

} // namespace
