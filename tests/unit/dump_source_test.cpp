// The dump reader over the dumps of tests/data/dumps, good and malformed,
// written by hand: each function's bytes count up from a first byte that is
// its own in its dump.
#include "access/dump_source.h"

#include "golden.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string withoutPath(std::string message, const std::string &path) {
    const size_t at = message.find(path);
    return at == std::string::npos ? message : message.replace(at, path.size(), "FILE");
}

// What a dump gives: the message of one that is refused (the file and the
// line named), else every function it holds, whatever its domain and bus, in
// lspci's order, with how many bytes it serves (4096 with the extended
// space), the first and how many count up from it; and the notes on
// incomplete extended spaces. A slot of domain 0 reads the function of
// domain 0 only; the scan's reads stay at 256 bytes.
std::string openDump(const std::string &path) {
    DumpSource source(path.c_str());
    char error[SOURCE_ERROR_SIZE];
    if (!source.open(error, sizeof error))
        return withoutPath(error, path) + "\n";
    std::vector<FunctionAddress> listed;
    source.listFunctions(listed);
    std::string text;
    for (const FunctionAddress &at : listed) {
        uint8_t bytes[4096], first[256], viaSlot[256];
        const size_t size = source.readFunctionSpace(at, bytes, sizeof bytes);
        size_t run = 1;
        while (run < size && bytes[run] == uint8_t(bytes[0] + run))
            ++run;
        EXPECT_EQ(source.readFunctionSpace(at, first, sizeof first), 256u) << path;
        EXPECT_TRUE(source.readFunction(at, first) && memcmp(first, bytes, 256) == 0) << path;
        const bool slot = source.read(at.bus, makeSlot(at.device, at.function), viaSlot);
        EXPECT_EQ(slot && memcmp(viaSlot, bytes, 256) == 0, at.domain == 0) << path;
        char line[96];
        formatFunctionAddress(at, line, 16);
        snprintf(line + strlen(line), 80, ": %zu bytes, %zu counting up from %02x\n", size, run,
                 bytes[0]);
        text += line;
    }
    uint8_t bytes[256];
    EXPECT_FALSE(source.readFunction({0, 0x42, 0, 0}, bytes)) << path; // in no dump
    for (const std::string &note : source.extendedNotes())
        text += "note: " + withoutPath(note, path) + "\n";
    return text;
}

TEST(DumpSource, EveryDumpAsGoldenText) {
    std::vector<std::filesystem::path> files;
    for (const auto &entry : std::filesystem::directory_iterator(TEST_DATA_DIR "/dumps"))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::string text;
    for (const auto &file : files)
        text += "== " + file.filename().string() + "\n" + openDump(file.string());
    // function-twice.txt in domain 1: kestrix.sys leaves other domains out,
    // so this one is not among the files, which its dump table reads too.
    std::string twice = testing_support::readBytes(TEST_DATA_DIR "/dumps/function-twice.txt");
    for (size_t at = 0; (at = twice.find("00:02.0 VGA", at)) != std::string::npos; at += 16)
        twice.insert(at, "0001:");
    const std::string path = testing_support::tempPath("twice.txt");
    testing_support::writeBytes(path, twice);
    text += "== function-twice.txt in domain 1\n" + openDump(path);
    testing_support::expectGolden("dumps.txt", text);
}

} // namespace
