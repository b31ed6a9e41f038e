#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "support/cli_run.h"
#include "support/record_builder.h"
#include "support/temp_dir.h"

namespace nimbrel {
namespace {

using test::runCli;

const std::string kDefs = std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h";

struct RawFile {
    test::TempDir dir;
    std::string path = dir.file("raw.log");
    explicit RawFile(int records) {
        EXPECT_EQ(runCli({"simulate", "--raw-file", path, "--records", std::to_string(records),
                          "--seed", "3"})
                      .code,
                  0);
    }
};

std::size_t countLines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(ReplayCommand, DecodesEveryRecordAndAddsDecodedPacketsWithParse) {
    RawFile raw(500);
    const auto plain = runCli({"replay", "--defs", kDefs, "--color", "never", raw.path});
    ASSERT_EQ(plain.code, 0) << plain.err;
    EXPECT_EQ(countLines(plain.out), 500u);
    EXPECT_EQ(plain.out.rfind("09:30:00.000  [FIL] [W] [00001] [001] [000] [00000] ", 0), 0u)
        << plain.out.substr(0, 80);
    EXPECT_NE(plain.out.find("[00500]"), std::string::npos);
    EXPECT_EQ(plain.out.find("HCI_CMD"), std::string::npos);

    const auto parsed =
        runCli({"replay", "--defs", kDefs, "--parse", "--color", "never", raw.path});
    ASSERT_EQ(parsed.code, 0);
    EXPECT_NE(
        parsed.out.find("HCI_CMD: Reset Command, opcode: 0x0C03 , len: 00 \n\t No parameters\n"),
        std::string::npos);
    EXPECT_GT(countLines(parsed.out), 500u);
}

// Colour: each line wrapped in its colour, 24-bit only where the terminal announces it.
TEST(ReplayCommand, ColourDepthFollowsTheTerminal) {
    RawFile raw(5);
    struct Case {
        std::vector<std::string> env;
        std::string whiteLineStart;
    };
    for (const Case& c : std::vector<Case>{
             {{"COLORTERM=truecolor", "TERM=xterm"}, "\x1b[38;2;255;255;255m09:30:00.000"},
             {{"COLORTERM=24bit", "TERM=dumb"}, "\x1b[38;2;255;255;255m09:30:00.000"},
             {{"COLORTERM=", "TERM=xterm-256color"}, "\x1b[38;5;231m09:30:00.000"},
             {{"COLORTERM=", "TERM=xterm"}, "\x1b[97m09:30:00.000"},
             {{"COLORTERM=", "TERM="}, "\x1b[97m09:30:00.000"},
         }) {
        const auto coloured =
            runCli({"replay", "--defs", kDefs, "--color", "always", raw.path}, c.env);
        EXPECT_EQ(coloured.out.rfind(c.whiteLineStart, 0), 0u)
            << c.env[1] << ": " << coloured.out.substr(0, 40);
        EXPECT_NE(coloured.out.find("\x1b[0m\n"), std::string::npos);
    }
}

TEST(ReplayCommand, FilterOutputFileAndTimeStamps) {
    RawFile raw(300);
    const auto filtered =
        runCli({"replay", "--defs", kDefs, "--filter", "HCI", "--filter", "task", raw.path});
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
    EXPECT_NE(missingRaw.err.find("[R] File \"" + raw.dir.file("nope.log") + "\" doesn't exist."),
              std::string::npos);

    const auto missingDefs = runCli({"replay", "--defs", raw.dir.file("none.h"), raw.path});
    EXPECT_EQ(missingDefs.code, 1);
    EXPECT_NE(missingDefs.err.find("[R] Open message definition file \"" + raw.dir.file("none.h") +
                                   "\" failed!"),
              std::string::npos);

    EXPECT_NE(missingRaw.err.find("nimbrel-cli: cannot open " + raw.dir.file("nope.log") +
                                  ": No such file or directory"),
              std::string::npos)
        << missingRaw.err;
    EXPECT_NE(missingDefs.err.find("nimbrel-cli: cannot read the definition file " +
                                   raw.dir.file("none.h") +
                                   ": No such file or directory (give one with --defs FILE"),
              std::string::npos)
        << missingDefs.err;

    // Each failure keeps its red console line and adds the reason in words.
    const auto folder = runCli({"replay", "--defs", kDefs, raw.dir.path()});
    EXPECT_EQ(folder.code, 1);
    EXPECT_NE(folder.err.find("[R] Fail to read raw data file"), std::string::npos);
    EXPECT_NE(folder.err.find("nimbrel-cli: cannot read " + raw.dir.path() +
                              ": Is a directory (replay takes one raw "
                              "data file, such as RawData_*.log)"),
              std::string::npos)
        << folder.err;
    const std::string unwritable = raw.dir.file("no-such-folder") + "/out.txt";
    const auto output = runCli({"replay", "--defs", kDefs, "-o", unwritable, raw.path});
    EXPECT_EQ(output.code, 1);
    EXPECT_NE(output.err.find("[R] Fail to create \"" + unwritable + "\", error:0x2"),
              std::string::npos);
    EXPECT_NE(
        output.err.find("nimbrel-cli: cannot create " + unwritable + ": No such file or directory"),
        std::string::npos)
        << output.err;

    EXPECT_EQ(runCli({"replay"}).code, 2);
    EXPECT_EQ(runCli({"replay", "--bogus", raw.path}).code, 2);
    EXPECT_EQ(runCli({"replay", "--color", "sometimes", raw.path}).code, 2);
    EXPECT_EQ(runCli({"replay", raw.path, raw.path}).code, 2);
    EXPECT_EQ(runCli({"nonsense"}).code, 2);

    std::vector<const char*> commands{"replay", "capture", "send", "simulate"};
    if (runCli({"--help"}).out.find("settings") != std::string::npos)
        commands.push_back("settings");  // with Qt
    for (const char* command : commands) {
        const auto help = runCli({command, "--help"});
        EXPECT_EQ(help.code, 0) << command;
        EXPECT_NE(help.out.find("Usage: nimbrel-cli"), std::string::npos) << command;
    }
}

TEST(ReplayCommand, SummaryWarningsAndOffsetsOfUnknownLayouts) {
    RawFile raw(200);
    const auto clean = runCli({"replay", "--defs", kDefs, raw.path});
    ASSERT_EQ(clean.code, 0);
    EXPECT_NE(
        clean.err.find(
            "Replay: records formatted 200, bytes skipped as noise 0, undefined message indices "),
        std::string::npos)
        << clean.err;
    EXPECT_EQ(clean.err.find("no records found"), std::string::npos);

    // Noise and a candidate of an unknown layout (13) appended after the simulated records.
    test::Bytes extra(7, 0x33);
    test::Bytes bad = test::buildRecord({.layout = 0, .index = 2});
    bad[2] = 13 << 1;
    extra = test::operator+(extra, test::operator+(bad, test::Bytes(5, 0x44)));
    const std::size_t badAt = test::readFileBytes(raw.path).size() + 7;
    {
        std::ofstream append(raw.path, std::ios::binary | std::ios::app);
        append.write(reinterpret_cast<const char*>(extra.data()),
                     static_cast<std::streamsize>(extra.size()));
    }
    const auto noisy = runCli({"replay", "--defs", kDefs, raw.path});
    ASSERT_EQ(noisy.code, 0);
    char offset[32];
    std::snprintf(offset, sizeof offset, "0x%zx", badAt);
    EXPECT_NE(noisy.err.find("++++++default case, error++++++ (file offset " + std::string(offset) +
                             ")\n"),
              std::string::npos)
        << noisy.err;
    EXPECT_NE(noisy.err.find("records formatted 200, bytes skipped as noise " +
                             std::to_string(extra.size())),
              std::string::npos)
        << noisy.err;
    EXPECT_NE(noisy.err.find("unknown layouts 1."), std::string::npos) << noisy.err;

    // A file without a single record says so; an empty one is not a mistake worth a warning.
    const std::string text = raw.dir.file("notes.txt");
    std::ofstream(text) << "just some text\n";
    const auto notRaw = runCli({"replay", "--defs", kDefs, text});
    EXPECT_EQ(notRaw.code, 0);
    EXPECT_NE(notRaw.err.find("nimbrel-cli: no records found: is this a raw data file?"),
              std::string::npos);
    const std::string empty = raw.dir.file("empty.log");
    std::ofstream{empty};
    EXPECT_EQ(runCli({"replay", "--defs", kDefs, empty}).err.find("no records found"),
              std::string::npos);
}

TEST(Cli, VersionAndExitStatusInEveryHelp) {
    const auto version = runCli({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, "nimbrel-cli (Nimbrel, Version 1.1.17.0)\n");
    std::vector<std::vector<std::string>> helps{{"--help"},
                                                {"replay", "--help"},
                                                {"capture", "--help"},
                                                {"send", "--help"},
                                                {"simulate", "--help"}};
    for (const auto& args : helps) {
        EXPECT_NE(runCli(args).out.find("Exit status: 0 "), std::string::npos) << args[0];
    }
}

TEST(ReplayCommand, DefaultDefinitionsComeFromTheProgramFolder) {
    RawFile raw(20);
    test::TempDir home;
    const auto none = runCli({"replay", raw.path},
                             {"NIMBREL_HOME=" + home.path(), "XDG_CONFIG_HOME=" + home.path()});
    EXPECT_EQ(none.code, 1);
    EXPECT_NE(none.err.find(home.path() + "/LOG1.h"), std::string::npos);
    const auto found = runCli(
        {"replay", raw.path},
        {"NIMBREL_HOME=" + std::string(NIMBREL_TEST_DATA_DIR), "XDG_CONFIG_HOME=" + home.path()});
    EXPECT_EQ(found.code, 0);
    EXPECT_EQ(countLines(found.out), 20u);
}

}  // namespace
}  // namespace nimbrel
