#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/cli_run.h"
#include "support/lonely_fifo.h"
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
}

// Raw data files that hold no record say so; what is no regular file (a device, a FIFO,
// which is not waited for) is refused in words.
TEST(ReplayCommand, FilesWithoutRecordsAndFilesThatAreNotRegular) {
    test::TempDir dir;
    const std::string text = dir.file("notes.txt");
    std::ofstream(text) << "just some text\n";
    const std::string empty = dir.file("empty.log");
    std::ofstream{empty};
    test::LonelyFifo fifo(dir.file("fifo.log"));
    struct Case {
        std::string path;
        int code;
        std::string said;
    };
    const Case cases[] = {
        {text, 0, "nimbrel-cli: no records found: is this a raw data file?\n"},
        {empty, 0, "nimbrel-cli: no records found: the file is empty\n"},
        {"/dev/zero", 1,
         "[R] Fail to read raw data file \"/dev/zero\": not a regular file\nnimbrel-cli: cannot "
         "read /dev/zero: not a regular file (replay takes one raw data file, such as "
         "RawData_*.log)\n"},
        {fifo.path(), 1, "nimbrel-cli: cannot read " + fifo.path() + ": not a regular file"},
    };
    for (const Case& c : cases) {
        const auto run = runCli({"replay", "--defs", kDefs, "--color", "never", c.path});
        EXPECT_EQ(run.code, c.code) << c.path;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    }
    EXPECT_FALSE(fifo.releasedAReader()) << "the replay waited for a writer";
}

// -o onto an input (the raw data file, the definition file, or a link to either) would
// destroy it while it is read: a usage error naming both, and both stay as they were.
TEST(ReplayCommand, OutputOntoAnInputIsRefused) {
    RawFile raw(20);
    const std::string defs = raw.dir.file("LOG1.h");
    { std::ofstream(defs, std::ios::binary) << std::ifstream(kDefs, std::ios::binary).rdbuf(); }
    ASSERT_EQ(::symlink(raw.path.c_str(), raw.dir.file("raw-link.log").c_str()), 0);
    ASSERT_EQ(::link(raw.path.c_str(), raw.dir.file("raw-hard.log").c_str()), 0);
    ASSERT_EQ(::symlink(defs.c_str(), raw.dir.file("defs-link.h").c_str()), 0);
    const test::Bytes rawBefore = test::readFileBytes(raw.path);
    const test::Bytes defsBefore = test::readFileBytes(defs);
    struct Case {
        std::string output;
        std::string said;
    };
    const Case cases[] = {
        {raw.path, "is the raw data file " + raw.path},
        {raw.dir.file("raw-link.log"), "is the raw data file " + raw.path},
        {raw.dir.file("raw-hard.log"), "is the raw data file " + raw.path},
        {defs, "is the definition file " + defs},
        {raw.dir.file("defs-link.h"), "is the definition file " + defs},
    };
    for (const Case& c : cases) {
        const auto run = runCli({"replay", "--defs", defs, "-o", c.output, raw.path});
        EXPECT_EQ(run.code, 2) << c.output;
        EXPECT_NE(run.err.find("nimbrel-cli replay: -o " + c.output + " " + c.said),
                  std::string::npos)
            << run.err;
    }
    EXPECT_EQ(test::readFileBytes(raw.path), rawBefore);
    EXPECT_EQ(test::readFileBytes(defs), defsBefore);
}

// A definition file that defines nothing loads with a yellow line (the exit status stays
// as it was); a FIFO nothing writes to is refused in words; a pipe that a shell's "<(cat
// LOG1.h)" gives works.
TEST(ReplayCommand, DefinitionFilesWithoutDefinitionsFifosAndPipes) {
    RawFile raw(5);
    const std::string empty = raw.dir.file("empty.h");
    std::ofstream{empty};
    test::LonelyFifo fifo(raw.dir.file("fifo.h"));
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const test::Bytes log1 = test::readFileBytes(kDefs);
    ASSERT_EQ(::write(pipeFds[1], log1.data(), log1.size()), static_cast<ssize_t>(log1.size()));
    ::close(pipeFds[1]);
    const std::string pipePath = "/dev/fd/" + std::to_string(pipeFds[0]);
    struct Case {
        std::string defs;
        int code;
        std::string said;
        std::size_t lines;
    };
    const Case cases[] = {
        {empty, 0, "[Y] No message definitions found in " + empty + "\n", 5},
        {fifo.path(), 1,
         "[R] \"" + fifo.path() +
             "\" is a FIFO without a writer.\nnimbrel-cli: cannot read the "
             "definition file " +
             fifo.path() + ": it is a FIFO that nothing writes to",
         0},
        {pipePath, 0, "Replay: records formatted 5,", 5},
    };
    for (const Case& c : cases) {
        const auto run = runCli({"replay", "--defs", c.defs, "--color", "never", raw.path});
        EXPECT_EQ(run.code, c.code) << c.defs;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        EXPECT_EQ(countLines(run.out), c.lines) << c.defs;
    }
    ::close(pipeFds[0]);
    EXPECT_FALSE(fifo.releasedAReader()) << "the loader waited for a writer";
}

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// -o replaces the file only with a complete output: a file-size limit (as a full disk)
// fails in words and leaves the old file, two replays at once leave one whole output,
// and nothing is left beside it.
TEST(ReplayCommand, OutputFileIsReplacedOnlyByAWholeOutput) {
    RawFile first(600);
    const std::string second = first.dir.file("second.log");
    ASSERT_EQ(runCli({"simulate", "--raw-file", second, "--records", "900", "--seed", "4"}).code,
              0);
    const std::string out = first.dir.file("out.txt");
    std::ofstream(out) << "old lines\n";
    ::chmod(out.c_str(), 0640);
    const std::vector<std::string> before = filesIn(first.dir.path());

    // A limit far below the output: the program is not killed by SIGXFSZ.
    const auto limited =
        test::runCliWithFileSizeLimit({"replay", "--defs", kDefs, "-o", out, first.path}, 4096);
    EXPECT_EQ(limited.code, 1);
    EXPECT_NE(limited.err.find("nimbrel-cli: cannot write the decoded lines to " + out +
                               ": File too large (" + out + " is left as it was)"),
              std::string::npos)
        << limited.err;
    std::ifstream oldIn(out);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(oldIn), {}), "old lines\n");
    EXPECT_EQ(filesIn(first.dir.path()), before);

    const std::string wantFirst = runCli({"replay", "--defs", kDefs, first.path}).out;
    const std::string wantSecond = runCli({"replay", "--defs", kDefs, second}).out;
    test::CliResult a, b;
    std::thread other([&] { b = runCli({"replay", "--defs", kDefs, "-o", out, second}); });
    a = runCli({"replay", "--defs", kDefs, "-o", out, first.path});
    other.join();
    EXPECT_EQ(a.code, 0) << a.err;
    EXPECT_EQ(b.code, 0) << b.err;
    std::ifstream in(out);
    const std::string got(std::istreambuf_iterator<char>(in), {});
    EXPECT_TRUE(got == wantFirst || got == wantSecond) << got.size() << " bytes";
    EXPECT_EQ(filesIn(first.dir.path()), before);
    struct stat st {};
    ::stat(out.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// Ctrl-C or SIGTERM during a replay to a file leaves the old file, and nothing beside it.
TEST(ReplayCommand, AnInterruptedReplayLeavesTheOutputFileAsItWas) {
    RawFile raw(1000000);
    const std::string out = raw.dir.file("out.txt");
    std::ofstream(out) << "old lines\n";
    const std::vector<std::string> before = filesIn(raw.dir.path());
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        // Sent once the new file beside the output exists.
        const auto run = test::runCliAndSignal(
            {"replay", "--defs", kDefs, "-o", out, raw.path},
            [&] { return filesIn(raw.dir.path()).size() > before.size(); }, signal);
        EXPECT_EQ(run.code, 1) << run.err;
        EXPECT_NE(run.err.find("nimbrel-cli: replay interrupted (" + out + " is left as it was)"),
                  std::string::npos)
            << run.err;
        std::ifstream in(out);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old lines\n");
        EXPECT_EQ(filesIn(raw.dir.path()), before);
    }
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
