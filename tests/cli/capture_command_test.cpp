#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <functional>
#include <poll.h>
#include <thread>
#include <unistd.h>

#include "platform/pseudo_terminal.h"
#include "support/cli_run.h"
#include "support/pty_reader.h"
#include "support/record_builder.h"
#include "support/temp_dir.h"

namespace nimbrel {
namespace {

using test::runCli;

TEST(CaptureCommand, MissingPortFailsWithTheStepOneLineAndUsageErrors) {
    test::TempDir home;
    const auto r = runCli({"capture", "--com", "nimbrel-missing-port", "--defs",
                           std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h"},
                          {"NIMBREL_HOME=" + home.path()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("[R] Step 1, Fail to open nimbrel-missing-port: GetLastError=0x2"),
              std::string::npos);
    EXPECT_NE(
        r.err.find(
            "nimbrel-cli: cannot open /dev/nimbrel-missing-port: No such file or directory (is the "
            "adapter plugged in? see 'nimbrel-cli capture --help')\n"),
        std::string::npos)
        << r.err;
    EXPECT_EQ(runCli({"capture", "--com"}).code, 2);
    EXPECT_EQ(runCli({"capture", "--com", "x", "--baud", "fast"}).code, 2);
    EXPECT_EQ(runCli({"capture", "--com", "x", "--duration", "-1"}).code, 2);
}

enum class End { Interrupt, PortGone };

// Runs `capture` (with `args` after "capture") while the far side of a pseudo-terminal
// writes 30 records once the capture runs; once the capture has read them, it is
// interrupted or the far side goes away. "PTY" in args is replaced with the terminal's
// path; `before` runs first with that path.
test::CliResult captureThirtyRecords(std::vector<std::string> args,
                                     std::vector<std::string> env = {},
                                     const std::function<void(const std::string&)>& before = {},
                                     End end = End::Interrupt) {
    PseudoTerminal pty;
    EXPECT_EQ(pty.open(), 0);
    // Holding the slave keeps what is written queued until the capture opens the port,
    // however long the process takes to start.
    EXPECT_EQ(pty.holdSlave(), 0);
    for (std::string& a : args) {
        if (a == "PTY") a = pty.slavePath();
    }
    if (before) before(pty.slavePath());
    test::Bytes stream;
    for (int i = 0; i < 30; ++i) {
        stream =
            test::operator+(stream, test::buildRecord({.layout = 0, .colour = 1, .index = 112}));
    }
    args.insert(args.begin(), "capture");
    for (const char* a : {"--duration", "20", "--defs"}) args.emplace_back(a);
    args.push_back(std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h");
    test::CliProcess cli(args, env);
    EXPECT_EQ(::write(pty.masterFd(), stream.data(), stream.size()),
              static_cast<ssize_t>(stream.size()));
    EXPECT_TRUE(test::waitUntilTaken(pty));
    if (end == End::PortGone) {
        pty.closeMaster();
    } else {
        cli.signal(SIGINT);
    }
    return cli.wait();
}

TEST(CaptureCommand, RecordsOfAPseudoTerminalUntilItGoesAwayWithASummary) {
    test::TempDir home;
    const auto r = captureThirtyRecords({"--com", "PTY", "--save-raw"},
                                        {"NIMBREL_HOME=" + home.path()}, {}, End::PortGone);
    // A capture whose source failed has failed, with the reason.
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 30);
    EXPECT_NE(r.out.find("[COM] [G] [00030]"), std::string::npos);
    EXPECT_NE(r.err.find("Capture ended (the port went away): 30 records framed, 0 bytes skipped "
                         "as noise, 0 bytes "
                         "lost to a ring overrun."),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Raw data file: " + home.path() + "/RawData_"), std::string::npos);
    EXPECT_NE(r.err.find("went away: Input/output error\n"), std::string::npos) << r.err;
}

TEST(CaptureCommand, SaveRawTakesAFolder) {
    test::TempDir home, elsewhere;
    const auto r = captureThirtyRecords({"--com", "PTY", "--save-raw=" + elsewhere.path() + "/"},
                                        {"NIMBREL_HOME=" + home.path()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("Raw data file: " + elsewhere.path() + "/RawData_"), std::string::npos)
        << r.err;

    const std::string missing = elsewhere.file("no-such-folder");
    const auto refused = runCli({"capture", "--com", "x", "--save-raw=" + missing});
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.err, "nimbrel-cli: cannot save raw data files in " + missing +
                               ": No such file or directory\n");
    EXPECT_EQ(runCli({"capture", "--com", "x", "--save-raw="}).code, 2);
}

TEST(CaptureCommand, ARawDataFileThatCannotBeWrittenFailsTheCapture) {
    test::TempDir home;
    const std::string missing = home.file("no-such-folder");
    const auto r =
        captureThirtyRecords({"--com", "PTY", "--save-raw"}, {"NIMBREL_HOME=" + missing});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 30) << "the records are still shown";
    EXPECT_NE(r.err.find("[R] Write Log to File(" + missing + "/RawData_"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("No raw data file was written: " + missing + "/RawData_"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("Raw data file: "), std::string::npos) << r.err;
}

// A file-size limit (ulimit -f) fails the raw data file as a full disk does, in words,
// instead of killing the capture with SIGXFSZ.
TEST(CaptureCommand, AFileSizeLimitFailsTheRawDataFileInWords) {
    test::TempDir home;
    PseudoTerminal pty;
    ASSERT_EQ(pty.open(), 0);
    ASSERT_EQ(pty.holdSlave(), 0);
    test::Bytes stream;
    for (int i = 0; i < 30; ++i) {
        stream =
            test::operator+(stream, test::buildRecord({.layout = 0, .colour = 1, .index = 112}));
    }
    ASSERT_EQ(::write(pty.masterFd(), stream.data(), stream.size()),
              static_cast<ssize_t>(stream.size()));
    const auto r = test::runCliWithFileSizeLimit(
        {"capture", "--com", pty.slavePath(), "--save-raw", "--duration", "2", "--defs",
         std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h"},
        100, {"NIMBREL_HOME=" + home.path()});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 30) << "the records are still shown";
    EXPECT_NE(r.err.find("records could not be written (error 0x1b: File too large)."),
              std::string::npos)
        << r.err;
}

TEST(CaptureCommand, WithoutComItUsesTheStoredPortAndBaudRateAndSaysWhichPortItOpened) {
    test::TempDir home;
    const std::vector<std::string> env{"NIMBREL_HOME=" + home.path(),
                                       "XDG_CONFIG_HOME=" + home.file("config")};
    std::string port;
    const auto r = captureThirtyRecords({}, env, [&](const std::string& pty) {
        port = pty;
        ASSERT_EQ(runCli({"settings", "set", "Com", pty}, env).code, 0);
        ASSERT_EQ(runCli({"settings", "set", "BaudRate", "9600"}, env).code, 0);
    });
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("Capturing from " + port +
                         " (stored setting Com) at 9600 baud (stored setting BaudRate)."),
              std::string::npos)
        << r.err;
    // The console line of an opened port.
    EXPECT_NE(r.err.find("[D] [" + port + "]\n"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 30);
}

TEST(SendCommand, RefusesByteTextsThatAreNotHexadecimalBytesBeforeOpeningThePort) {
    for (const char* bad : {"zz", "", "-1", "100", "1FF", " 7", "0x", "0x123", "+1", "7 "}) {
        const auto r = runCli(
            {"send", "--com", "nimbrel-missing-port", "1", "2", "3", bad, "5", "6", "7", "8"});
        EXPECT_EQ(r.code, 2) << "'" << bad << "'";
        EXPECT_EQ(r.err, "nimbrel-cli send: '" + std::string(bad) +
                             "' is not a hexadecimal byte (00 to FF)\nRun 'nimbrel-cli send "
                             "--help' for usage.\n");
    }
}

TEST(SendCommand, APortThatIsNoTerminalFailsAtTheSettingsStep) {
    const auto r = runCli({"send", "--com", "/dev/null", "1", "2", "3", "4", "5", "6", "7", "8"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("[R] Step 3, Fail to open /dev/null"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Step 1"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nimbrel-cli: cannot open /dev/null: Inappropriate ioctl for device (is "
                         "it a serial port? "
                         "see 'nimbrel-cli send --help')"),
              std::string::npos)
        << r.err;
}

TEST(SendCommand, WritesTheEightParsedBytesInOneWrite) {
    PseudoTerminal pty;
    ASSERT_EQ(pty.open(), 0);
    const auto r =
        runCli({"send", "--com", pty.slavePath(), "0x1F", "a5", "7", "0XfF", "0", "00", "C", "FF"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "Sent 1F A5 07 FF 00 00 0C FF to " + pty.slavePath() + " at 115200 baud.\n");
    test::Bytes got;
    while (got.size() < 8) {
        pollfd p{pty.masterFd(), POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 5000), 1);
        std::uint8_t buf[16];
        const ssize_t n = ::read(pty.masterFd(), buf, sizeof buf);
        ASSERT_GT(n, 0);
        got.insert(got.end(), buf, buf + n);
    }
    EXPECT_EQ(got, (test::Bytes{0x1F, 0xA5, 0x07, 0xFF, 0x00, 0x00, 0x0C, 0xFF}));
    EXPECT_EQ(runCli({"send", "--com", pty.slavePath(), "1", "2"}).code, 2);
    EXPECT_EQ(
        runCli({"send", "--com", "nimbrel-missing-port", "1", "2", "3", "4", "5", "6", "7", "8"})
            .code,
        1);
}

}  // namespace
}  // namespace nimbrel
