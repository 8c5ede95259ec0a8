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

// Each run of tests/data/pciids2pcidevs-cases.txt in a fresh folder that holds
// in.ids and victim.txt, with its exit status, standard output and error, and
// the folder it leaves; CRs shown as \r.
TEST(Pciids2pcidevs, RunsAsGoldenText) {
    std::string transcript;
    for (const auto &c : testing_support::readCases(TEST_DATA_DIR "/pciids2pcidevs-cases.txt")) {
        const std::string &name = c[0], &setup = c[2], &args = c[3], &prefix = c[4];
        char pattern[] = "/tmp/pciids2pcidevs-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        const std::string dir = pattern;
        writeBytes(dir + "/in.ids", testing_support::unescape(c[1]));
        writeBytes(dir + "/victim.txt", "victim");
        ASSERT_EQ(std::system(("cd '" + dir + "' && " + setup).c_str()), 0) << setup;
        const std::string stdinFile = args.find('<') != std::string::npos ? "" : " </dev/null";
        const int status = std::system(("cd '" + dir + "' && " + prefix + " '" PCIIDS2PCIDEVS "' " +
                                        args + stdinFile + " >stdout.txt 2>stderr.txt")
                                           .c_str());
        std::string err = readBytes(dir + "/stderr.txt");
        if (err.find(".pcidevs-") != std::string::npos) // a name of mkstemp's
            err.replace(err.find(".pcidevs-") + 9, 6, "XXXXXX");
        // A new file's permissions (umask 022); no link or planted file is
        // written through.
        struct stat mode;
        if (lstat((dir + "/out.txt").c_str(), &mode) == 0 && S_ISREG(mode.st_mode)) {
            EXPECT_EQ(mode.st_mode & 0777, 0644u) << name;
        }
        EXPECT_EQ(readBytes(dir + "/victim.txt"), "victim") << name;
        transcript += "== " + name + ": pciids2pcidevs " + args + "\nexit " +
                      std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + "\nstdout:\n" +
                      readBytes(dir + "/stdout.txt") + "stderr:\n" + err + folder(dir);
        fs::remove_all(dir);
    }
    for (size_t at = 0; (at = transcript.find('\r', at)) != std::string::npos;)
        transcript.replace(at, 1, "\\r");
    testing_support::expectGolden("pciids2pcidevs-runs.txt", transcript);
}

} // namespace
