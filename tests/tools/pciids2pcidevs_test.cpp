// The pciids2pcidevs command: exit status, messages on stderr, and the file
// it leaves (CR LF line ends, nothing at all when it fails).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string readAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string &path) {
    return access(path.c_str(), F_OK) == 0;
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

    // Runs the tool in the scratch directory; returns its exit status.
    int run(const std::string &args, const std::string &stdinFile = "/dev/null") {
        const std::string command = "cd '" + dir_ + "' && '" PCIIDS2PCIDEVS "' " + args + " <" +
                                    stdinFile + " >stdout.txt 2>stderr.txt";
        const int status = std::system(command.c_str());
        out_ = readAll(path("stdout.txt"));
        err_ = readAll(path("stderr.txt"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string dir_, out_, err_;
};

const char GOOD[] = "# comment\n1111  Alpha\n\t0001  One\n\t\t1111 0002  Card\n";
const char GOOD_RECORDS[] = "V\t1111\tAlpha\r\nD\t0001\tOne\r\nO\t1111\tAlpha\r\nS\t0002\tCard\r\n";

struct FailureCase {
    const char *name;
    const char *input; // written to in.ids when not null
    const char *args;
    int status;
    const char *message; // part of stderr
};

class Failure : public CommandLine, public testing::WithParamInterface<FailureCase> {};

TEST_P(Failure, ExitsWithStatusAndMessageAndLeavesNoOutput) {
    const FailureCase &c = GetParam();
    if (c.input != nullptr)
        write("in.ids", c.input);
    EXPECT_EQ(run(c.args), c.status) << err_;
    EXPECT_NE(err_.find(c.message), std::string::npos) << err_;
    EXPECT_FALSE(exists(path("out.txt")));
    EXPECT_FALSE(exists(path("out.txt.tmp")));
}

const FailureCase FAILURE_CASES[] = {
    {"NoArguments", nullptr, "", 2, "usage: pciids2pcidevs"},
    {"OnePath", GOOD, "in.ids", 2, "usage:"},
    {"ThreePaths", GOOD, "in.ids out.txt more", 2, "too many arguments"},
    {"UnknownOption", GOOD, "--fast in.ids out.txt", 2, "unknown option '--fast'"},
    {"MissingInput", nullptr, "in.ids out.txt", 1, "cannot open 'in.ids'"},
    {"InputIsDirectory", nullptr, ". out.txt", 1, "read error"},
    {"NoVendors", "# only\n# comments\n", "in.ids out.txt", 1,
     "in.ids:2: no vendor lines: not a pci.ids file"},
    {"EmptyInput", "", "in.ids out.txt", 1, "no vendor lines"},
    {"StrictFailsOnSkippedLine", "1111  Alpha\n\t\t1111 0001  Card\n", "--strict in.ids out.txt", 1,
     "in.ids:2: error: subsystem line outside a device\n"},
    {"OutputDirectoryMissing", GOOD, "in.ids nowhere/out.txt", 1,
     "cannot create 'nowhere/out.txt.tmp'"},
};

INSTANTIATE_TEST_SUITE_P(Pciids2pcidevs, Failure, testing::ValuesIn(FAILURE_CASES),
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
    EXPECT_FALSE(exists(path("out.txt.tmp")));
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
