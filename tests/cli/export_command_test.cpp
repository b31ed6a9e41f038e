// nimbrel-cli export --btsnoop, and what btmon and tshark make of its files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <sys/stat.h>

#include "support/capture_file_reader.h"
#include "support/child_process.h"
#include "support/cli_run.h"
#include "support/record_builder.h"
#include "support/temp_dir.h"

namespace nimbrel {
namespace {

using test::runCli;
using test::runProgram;
using test::operator+;

const std::string kDefs = std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h";

std::size_t countLinesStartingWith(const std::string& text,
                                   std::initializer_list<const char*> heads) {
    std::istringstream in(text);
    std::size_t n = 0;
    for (std::string line; std::getline(in, line);) {
        for (const char* head : heads) n += line.rfind(head, 0) == 0 ? 1u : 0u;
    }
    return n;
}

std::size_t countOccurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The simulator's file, exported: btmon and tshark read as many packets as the replay shows
// HCI lines, and only the packets the firmware logged in part read as cut short.
TEST(ExportCommand, BtmonAndTsharkReadEveryPacketTheReplayDecodes) {
    test::TempDir dir;
    const std::string raw = dir.file("raw.log"), out = dir.file("hci.btsnoop");
    ASSERT_EQ(runCli({"simulate", "--raw-file", raw, "--records", "3000", "--seed", "3"}).code, 0);
    const auto exported = runCli({"export", "--btsnoop", out, "--defs", kDefs, raw});
    ASSERT_EQ(exported.code, 0) << exported.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(exported.err, m,
                                  std::regex(R"(\[G\] Exported (\d+) HCI packets \((\d+) )"
                                             R"(commands, (\d+) events; (\d+) logged shorter)")))
        << exported.err;
    const std::size_t packets = std::stoul(m[1]), truncated = std::stoul(m[4]);
    EXPECT_EQ(std::stoul(m[2]) + std::stoul(m[3]), packets);
    EXPECT_GT(truncated, 0u);

    // Nimbrel's own lines of the HCI records the decoders are given; a vendor command among
    // them decodes to nothing, so the decoded lines are fewer.
    const auto replay = runCli({"replay", "--parse", "--color", "never", "--defs", kDefs, raw});
    ASSERT_EQ(replay.code, 0);
    EXPECT_EQ(countOccurrences(replay.out, "] HCI command: opcode 0x") +
                  countOccurrences(replay.out, "] HCI event: code 0x"),
              packets);
    EXPECT_LT(countLinesStartingWith(replay.out, {"HCI_CMD", "HCI_EVENT", "unknow HCI EVENT"}),
              packets);
    EXPECT_EQ(test::readBtsnoop(test::readFileBytes(out)).packets.size(), packets);

    const auto btmon = runProgram("btmon", {"-r", out});
    if (btmon.code == -1) {
        GTEST_SKIP() << "btmon is not installed (package bluez)";
    }
    EXPECT_EQ(countLinesStartingWith(btmon.out, {"< HCI Command:", "> HCI Event:"}), packets);
    EXPECT_EQ(countOccurrences(btmon.out, "invalid packet size"), truncated);
    EXPECT_EQ(countOccurrences(btmon.out, "alformed"), 0u);

    const auto tshark = runProgram("tshark", {"-r", out});
    if (tshark.code == -1) {
        GTEST_SKIP() << "tshark is not installed";
    }
    EXPECT_EQ(tshark.code, 0) << tshark.err;
    EXPECT_EQ(countOccurrences(tshark.out, "\n"), packets);
    EXPECT_LE(countOccurrences(tshark.out, "Malformed"), truncated);
}

// Exit status 2 for usage, 1 for failures with nothing half-written left, 0 and a warning for
// a file without HCI records.
TEST(ExportCommand, UsageFailuresAndAFileWithoutHciRecords) {
    test::TempDir dir;
    const std::string raw = dir.file("raw.log");
    ASSERT_EQ(runCli({"simulate", "--raw-file", raw, "--records", "50", "--seed", "3"}).code, 0);
    const std::size_t rawSize = test::readFileBytes(raw).size();
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string message;
    };
    const std::string out = dir.file("out.btsnoop");
    const Case cases[] = {
        {{"export", raw}, 2, "--btsnoop OUT is required"},
        {{"export", "--btsnoop", out}, 2, "expected exactly one RAWFILE"},
        {{"export", "--btsnoop", out, "--parse", raw}, 2, "unknown option '--parse'"},
        {{"export", "--btsnoop", out, "--defs", kDefs, dir.file("none.log")}, 1, "doesn't exist."},
        {{"export", "--btsnoop", dir.file("no/folder/out.btsnoop"), "--defs", kDefs, raw},
         1,
         "nimbrel-cli: cannot write " + dir.file("no/folder/out.btsnoop") +
             ": No such file or directory"},
        {{"export", "--btsnoop", raw, "--defs", kDefs, raw},
         1,
         "nimbrel-cli: " + raw + " is the raw data file itself"},
        {{"export", "--btsnoop", out, "--defs", dir.file("none.h"), raw},
         1,
         "cannot read the definition file"},
    };
    for (const Case& c : cases) {
        const auto r = runCli(c.args);
        EXPECT_EQ(r.code, c.code) << c.args.back() << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    EXPECT_EQ(test::readFileBytes(raw).size(), rawSize);

    const std::string noHci = dir.file("no-hci.log");
    const test::Bytes stamp{0xE8, 0x07, 1, 10, 12, 0, 0, 0, 0};
    test::writeFileBytes(noHci,
                         stamp + test::buildRecord({.layout = 4, .index = 2, .params = {1}}));
    const auto empty = runCli({"export", "--btsnoop", out, "--defs", kDefs, noHci});
    EXPECT_EQ(empty.code, 0) << empty.err;
    EXPECT_NE(empty.err.find("[Y] Warning: \"" + out + "\" holds no HCI packets"),
              std::string::npos)
        << empty.err;
    EXPECT_EQ(test::readFileBytes(out).size(), 16u);
}

}  // namespace
}  // namespace nimbrel
