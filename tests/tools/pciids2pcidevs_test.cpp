// The pciids2pcidevs command: exit status, messages on stderr, and the file
// it leaves (CR LF line ends, nothing at all when it fails).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string readAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class CommandLine : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/pciids2pcidevs-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string path(const char *name) const { return dir_ + "/" + name; }

    void write(const char *name, const std::string &text) const {
        std::ofstream(path(name), std::ios::binary) << text;
    }

    // Runs the tool in the scratch directory, after the shell commands of
    // prefix; returns its exit status.
    int run(const std::string &args, const std::string &stdinFile = "/dev/null",
            const std::string &prefix = "") {
        const std::string command = "cd '" + dir_ + "' && " + prefix + " '" PCIIDS2PCIDEVS "' " +
                                    args + " <" + stdinFile + " >stdout.txt 2>stderr.txt";
        const int status = std::system(command.c_str());
        out_ = readAll(path("stdout.txt"));
        err_ = readAll(path("stderr.txt"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string dir_, out_, err_;
};

const char GOOD[] = "# comment\n1111  Alpha\n\t0001  One\n\t\t1111 0002  Card\n";
const char GOOD_RECORDS[] = "V\t1111\tAlpha\r\nD\t0001\tOne\r\nO\t1111\tAlpha\r\nS\t0002\tCard\r\n";

// A run in a folder prepared by `setup` (a shell command): its exit status,
// its message, and what the folder holds afterwards (`ls -F`, the test's own
// stdout.txt and stderr.txt left out). victim.txt, when there, must keep its
// "victim" contents: no link or planted file is ever written through.
struct RunCase {
    const char *name;
    const char *input; // written to in.ids when not null
    const char *setup;
    const char *args;
    int status;
    const char *message; // part of stderr
    const char *listing;
    const char *prefix = ""; // shell commands before the tool's
};

class Run : public CommandLine, public testing::WithParamInterface<RunCase> {
  protected:
    // As `ls -AF` shows the folder, on one line.
    std::string listing() const {
        std::set<std::string> names;
        for (const auto &entry : fs::directory_iterator(dir_)) {
            const std::string name = entry.path().filename().string();
            const fs::file_type type = entry.symlink_status().type();
            if (name != "stdout.txt" && name != "stderr.txt")
                names.insert(name + (type == fs::file_type::symlink     ? "@"
                                     : type == fs::file_type::fifo      ? "|"
                                     : type == fs::file_type::directory ? "/"
                                                                        : ""));
        }
        std::string out;
        for (const std::string &name : names)
            out += (out.empty() ? "" : " ") + name;
        return out;
    }
};

TEST_P(Run, ExitsWithStatusAndMessageAndLeavesOnlyWhatItShould) {
    const RunCase &c = GetParam();
    if (c.input != nullptr)
        write("in.ids", c.input);
    write("victim.txt", "victim");
    ASSERT_EQ(std::system(("cd '" + dir_ + "' && " + c.setup).c_str()), 0) << c.setup;
    EXPECT_EQ(run(c.args, "/dev/null", c.prefix), c.status) << err_;
    EXPECT_NE(err_.find(c.message), std::string::npos) << err_;
    EXPECT_EQ(listing(), c.listing);
    EXPECT_EQ(readAll(path("victim.txt")), "victim");
}

const RunCase RUN_CASES[] = {
    {"NoArguments", nullptr, ":", "", 2, "usage: pciids2pcidevs", "victim.txt"},
    {"OnePath", GOOD, ":", "in.ids", 2, "usage:", "in.ids victim.txt"},
    {"ThreePaths", GOOD, ":", "in.ids out.txt more", 2, "too many arguments", "in.ids victim.txt"},
    {"UnknownOption", GOOD, ":", "--fast in.ids out.txt", 2, "unknown option '--fast'",
     "in.ids victim.txt"},
    {"MissingInput", nullptr, ":", "in.ids out.txt", 1, "cannot open 'in.ids'", "victim.txt"},
    {"InputIsDirectory", nullptr, ":", ". out.txt", 1, "read error", "victim.txt"},
    {"NoVendors", "# only\n# comments\n", ":", "in.ids out.txt", 1,
     "in.ids:2: no vendor lines: not a pci.ids file", "in.ids victim.txt"},
    {"EmptyInput", "", ":", "in.ids out.txt", 1, "no vendor lines", "in.ids victim.txt"},
    {"StrictFailsOnSkippedLine", "1111  Alpha\n\t\t1111 0001  Card\n", ":",
     "--strict in.ids out.txt", 1, "in.ids:2: error: subsystem line outside a device\n",
     "in.ids victim.txt"},
    {"OutputDirectoryMissing", GOOD, ":", "in.ids nowhere/out.txt", 1,
     "cannot create a temporary file in 'nowhere': No such file or directory", "in.ids victim.txt"},
    {"OutputIsALink", GOOD, "ln -s victim.txt out.txt", "in.ids out.txt", 1,
     "'out.txt' is not a regular file; it is left as it is", "in.ids out.txt@ victim.txt"},
    {"OutputIsAPipe", GOOD, "mkfifo out.txt", "in.ids out.txt", 1,
     "'out.txt' is not a regular file", "in.ids out.txt| victim.txt"},
    {"OutputIsAFolder", GOOD, "mkdir out.txt", "in.ids out.txt", 1,
     "'out.txt' is not a regular file", "in.ids out.txt/ victim.txt"},
    {"LinksPlantedAtTheOldTemporaryName", GOOD,
     "ln -s victim.txt out.txt.tmp && ln -s victim.txt .pcidevs-XXXXXX", "in.ids out.txt", 0, "",
     ".pcidevs-XXXXXX@ in.ids out.txt out.txt.tmp@ victim.txt"},
    {"WriteFailsPartWay", GOOD, "for i in $(seq 1000 1200); do echo \"$i  Vendor\" >>in.ids; done",
     "in.ids out.txt", 1, "error writing './.pcidevs-", "in.ids victim.txt",
     "trap '' XFSZ; ulimit -f 1;"}, // files of at most one block
};

INSTANTIATE_TEST_SUITE_P(Pciids2pcidevs, Run, testing::ValuesIn(RUN_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(CommandLine, WritesCrLfLinesWithTheHeaderComment) {
    write("in.ids", GOOD);
    ASSERT_EQ(run("in.ids out.txt"), 0) << err_;
    EXPECT_EQ(err_, "");
    const std::string written = readAll(path("out.txt"));
    ASSERT_NE(written.find(GOOD_RECORDS), std::string::npos) << written;
    EXPECT_EQ(written.substr(0, 2), "; ");
    EXPECT_EQ(written.substr(written.size() - 2), "\r\n");
    EXPECT_EQ(written.find("\n\n"), std::string::npos); // every LF has its CR
    struct stat status;
    ASSERT_EQ(stat(path("out.txt").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u) << "the permissions of a new file (umask 022)";
}

TEST_F(CommandLine, ReplacesAnExistingOutput) {
    write("in.ids", GOOD);
    write("out.txt", "old contents that are longer than the new ones will be, surely");
    ASSERT_EQ(run("in.ids out.txt"), 0) << err_;
    EXPECT_NE(readAll(path("out.txt")).find(GOOD_RECORDS), std::string::npos);
}

TEST_F(CommandLine, WarnsWithFileAndLineAndStillWrites) {
    write("in.ids", "1111  Alpha\n\t0001  One\nzzzz  Bad\n\t0002  Under Bad\n2222  Beta\n");
    ASSERT_EQ(run("in.ids out.txt"), 0);
    EXPECT_EQ(err_, "in.ids:3: warning: malformed vendor line (want: 4 hex digits, blanks, "
                    "name); skipped\n"
                    "in.ids: 2 of 5 lines skipped\n");
    const std::string written = readAll(path("out.txt"));
    EXPECT_NE(written.find("V\t1111\tAlpha\r\nD\t0001\tOne\r\nO\t1111\tAlpha\r\nS\t0001\tOne\r\n"
                           "V\t2222\tBeta\r\n"),
              std::string::npos)
        << written;
}

TEST_F(CommandLine, LimitsTheWarningsShownOnGarbage) {
    std::string garbage = "1111  Alpha\n";
    for (int i = 0; i < 50; ++i)
        garbage += "\x01\x02garbage\n";
    write("in.ids", garbage);
    ASSERT_EQ(run("in.ids out.txt"), 0);
    EXPECT_NE(err_.find("in.ids:21: warning"), std::string::npos) << err_;
    EXPECT_EQ(err_.find("in.ids:22: warning"), std::string::npos) << err_;
    EXPECT_NE(err_.find("in.ids: 30 more warnings not shown\n"), std::string::npos) << err_;
    EXPECT_NE(err_.find("in.ids: 50 of 51 lines skipped\n"), std::string::npos);
}

TEST_F(CommandLine, StandardInputToStandardOutput) {
    write("in.ids", GOOD);
    ASSERT_EQ(run("- -", "in.ids"), 0) << err_;
    EXPECT_NE(out_.find(GOOD_RECORDS), std::string::npos) << out_;
}

TEST_F(CommandLine, HelpGoesToStandardOutput) {
    EXPECT_EQ(run("--help"), 0);
    EXPECT_NE(out_.find("usage: pciids2pcidevs"), std::string::npos);
}

} // namespace
