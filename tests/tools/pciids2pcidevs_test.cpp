// The pciids2pcidevs command: exit status, messages on stderr, and the file
// it leaves (CR LF line ends, nothing at all when it fails).
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

const char GOOD[] = "# comment\n1111  Alpha\n\t0001  One\n\t\t1111 0002  Card\n";
const char GOOD_RECORDS[] = "V\t1111\tAlpha\r\nD\t0001\tOne\r\nO\t1111\tAlpha\r\nS\t0002\tCard\r\n";

std::string garbage() {
    std::string text = "1111  Alpha\n";
    for (int i = 0; i < 50; ++i)
        text += "\x01\x02garbage\n";
    return text;
}

TEST(Pciids2pcidevs, StatusMessagesAndOutput) {
    const struct {
        std::string input; // in.ids, unless empty
        const char *args;
        int status;
        std::vector<std::string> said; // on stderr, or on stdout for status 0 without out.txt
        const char *written;           // in out.txt, or null when it must not exist
    } cases[] = {
        {"", "", 2, {"usage: pciids2pcidevs"}, nullptr},
        {GOOD, "in.ids out.txt more", 2, {"too many arguments"}, nullptr},
        {GOOD, "--fast in.ids out.txt", 2, {"unknown option '--fast'"}, nullptr},
        {"", "in.ids out.txt", 1, {"cannot open 'in.ids'"}, nullptr},
        {"", ". out.txt", 1, {"read error"}, nullptr},
        {"# only\n# comments\n",
         "in.ids out.txt",
         1,
         {"in.ids:2: no vendor lines: not a pci.ids file"},
         nullptr},
        {"1111  Alpha\n\t\t1111 0001  Card\n",
         "--strict in.ids out.txt",
         1,
         {"in.ids:2: error: subsystem line outside a device\n"},
         nullptr},
        {GOOD, "in.ids nowhere/out.txt", 1, {"cannot create 'nowhere/out.txt.tmp'"}, nullptr},
        {GOOD, "in.ids out.txt", 0, {}, GOOD_RECORDS},
        {GOOD, "- out.txt <in.ids", 0, {}, GOOD_RECORDS},
        {"1111  Alpha\nzzzz  Bad\n\t0002  Under Bad\n",
         "in.ids out.txt",
         0,
         {"in.ids:2: warning: malformed vendor line (want: 4 hex digits, blanks, name); "
          "skipped\nin.ids: 2 of 3 lines skipped\n"},
         "V\t1111\tAlpha\r\n"},
        {garbage(),
         "in.ids out.txt",
         0,
         {"in.ids:21: warning", "in.ids: 30 more warnings not shown\n",
          "in.ids: 50 of 51 lines skipped\n"},
         "V\t1111\tAlpha\r\n"},
        {GOOD, "in.ids - >out.txt", 0, {}, GOOD_RECORDS},
        {"", "--help >out.txt", 0, {}, "usage: pciids2pcidevs"},
    };
    for (const auto &c : cases) {
        const std::string dir = testing_support::tempPath("pciids2pcidevs");
        std::filesystem::create_directories(dir);
        if (!c.input.empty())
            testing_support::writeBytes(dir + "/in.ids", c.input);
        testing_support::writeBytes(dir + "/out.txt", "an older file, longer than the new one");
        if (c.written == nullptr)
            std::filesystem::remove(dir + "/out.txt");
        const std::string command = "cd '" + dir + "' && '" PCIIDS2PCIDEVS "' " + c.args +
                                    " 2>err.txt" + (strchr(c.args, '<') ? "" : " </dev/null");
        const int status = std::system(command.c_str());
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.status) << c.args;
        const std::string err = testing_support::readBytes(dir + "/err.txt");
        for (const std::string &part : c.said)
            EXPECT_NE(err.find(part), std::string::npos) << c.args << ": " << err;
        EXPECT_EQ(std::filesystem::exists(dir + "/out.txt"), c.written != nullptr) << c.args;
        EXPECT_FALSE(std::filesystem::exists(dir + "/out.txt.tmp")) << c.args;
        if (c.written != nullptr) {
            const std::string out = testing_support::readBytes(dir + "/out.txt");
            EXPECT_NE(out.find(c.written), std::string::npos) << c.args << ": " << out;
        }
        std::filesystem::remove_all(dir);
    }
}

} // namespace
