#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

#include "support/cli_run.h"
#include "support/temp_dir.h"

namespace nimbrel {
namespace {

using test::runCli;

const std::string kDefs = std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h";

struct RawFile {
    test::TempDir dir;
    std::string path = dir.file("raw.log");
    explicit RawFile(int records) {
        EXPECT_EQ(runCli({"simulate", "--raw-file", path, "--records", std::to_string(records), "--seed", "3"}).code, 0);
    }
};

std::size_t countLines(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

TEST(ReplayCommand, DecodesEveryRecordAndAddsDecodedPacketsWithParse) {
    RawFile raw(500);
    const auto plain = runCli({"replay", "--defs", kDefs, "--color", "never", raw.path});
    ASSERT_EQ(plain.code, 0) << plain.err;
    EXPECT_EQ(countLines(plain.out), 500u);
    EXPECT_EQ(plain.out.rfind("09:30:00.000  [FIL] [W] [00001] [001] [000] [00000] ", 0), 0u) << plain.out.substr(0, 80);
    EXPECT_NE(plain.out.find("[00500]"), std::string::npos);
    EXPECT_EQ(plain.out.find("HCI_CMD"), std::string::npos);

    const auto parsed = runCli({"replay", "--defs", kDefs, "--parse", "--color", "never", raw.path});
    ASSERT_EQ(parsed.code, 0);
    EXPECT_NE(parsed.out.find("HCI_CMD: Reset Command, opcode: 0x0C03 , len: 00 \n\t No parameters\n"),
              std::string::npos);
    EXPECT_GT(countLines(parsed.out), 500u);

    // Colour: each line wrapped in its 24-bit colour.
    const auto coloured = runCli({"replay", "--defs", kDefs, "--color", "always", raw.path});
    EXPECT_EQ(coloured.out.rfind("\x1b[38;2;255;255;255m09:30:00.000  [FIL] [W] [00001]", 0), 0u);
}

TEST(ReplayCommand, FilterOutputFileAndTimeStamps) {
    RawFile raw(300);
    const auto filtered = runCli({"replay", "--defs", kDefs, "--filter", "HCI", "--filter", "task", raw.path});
    ASSERT_EQ(filtered.code, 0);
    EXPECT_EQ(filtered.out.find("HCI"), std::string::npos);
    EXPECT_EQ(filtered.out.find("task"), std::string::npos);
    EXPECT_GT(countLines(filtered.out), 10u);

    const std::string out = raw.dir.file("out.txt");
    const auto toFile = runCli({"replay", "--defs", kDefs, "-o", out, raw.path});
    ASSERT_EQ(toFile.code, 0);
    EXPECT_TRUE(toFile.out.empty());
    const auto toStdout = runCli({"replay", "--defs", kDefs, raw.path});
    std::ifstream in(out);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), toStdout.out);
}

TEST(ReplayCommand, FailuresAndUsageErrors) {
    RawFile raw(5);
    const auto missingRaw = runCli({"replay", "--defs", kDefs, raw.dir.file("nope.log")});
    EXPECT_EQ(missingRaw.code, 1);
    EXPECT_NE(missingRaw.err.find("[R] File \"" + raw.dir.file("nope.log") + "\" doesn't exist."), std::string::npos);

    const auto missingDefs = runCli({"replay", "--defs", raw.dir.file("none.h"), raw.path});
    EXPECT_EQ(missingDefs.code, 1);
    EXPECT_NE(missingDefs.err.find("[R] Open message definition file \"" + raw.dir.file("none.h") + "\" failed!"),
              std::string::npos);

    const auto folder = runCli({"replay", "--defs", kDefs, raw.dir.path()});
    EXPECT_EQ(folder.code, 1);
    EXPECT_NE(folder.err.find("[R]"), std::string::npos);

    EXPECT_EQ(runCli({"replay"}).code, 2);
    EXPECT_EQ(runCli({"replay", "--bogus", raw.path}).code, 2);
    EXPECT_EQ(runCli({"replay", "--color", "sometimes", raw.path}).code, 2);
    EXPECT_EQ(runCli({"replay", raw.path, raw.path}).code, 2);
    EXPECT_EQ(runCli({"nonsense"}).code, 2);

    std::vector<const char*> commands{"replay", "capture", "send", "simulate"};
    if (runCli({"--help"}).out.find("settings") != std::string::npos) commands.push_back("settings");  // with Qt
    for (const char* command : commands) {
        const auto help = runCli({command, "--help"});
        EXPECT_EQ(help.code, 0) << command;
        EXPECT_NE(help.out.find("Usage: nimbrel-cli"), std::string::npos) << command;
    }
}

TEST(ReplayCommand, DefaultDefinitionsComeFromTheProgramFolder) {
    RawFile raw(20);
    test::TempDir home;
    const auto none = runCli({"replay", raw.path}, {"NIMBREL_HOME=" + home.path(), "XDG_CONFIG_HOME=" + home.path()});
    EXPECT_EQ(none.code, 1);
    EXPECT_NE(none.err.find(home.path() + "/LOG1.h"), std::string::npos);
    const auto found = runCli({"replay", raw.path},
                              {"NIMBREL_HOME=" + std::string(NIMBREL_TEST_DATA_DIR), "XDG_CONFIG_HOME=" + home.path()});
    EXPECT_EQ(found.code, 0);
    EXPECT_EQ(countLines(found.out), 20u);
}

}  // namespace
}  // namespace nimbrel
