// nimbrel-cli capture against devices that fail: a driver that does not answer, a driver
// side that breaks the device bridge's protocol, logging that cannot be enabled, a serial
// port that cannot be opened or that another capture holds. Each says why, in the words
// the window's console uses too, and exits 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <unistd.h>

#include "platform/pseudo_terminal.h"
#include "support/cli_run.h"
#include "support/fake_driver.h"
#include "support/pty_reader.h"
#include "support/record_builder.h"
#include "support/sim_stream.h"
#include "support/temp_dir.h"

namespace nimbrel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::FakeDriver;
using Fault = FakeDriver::Fault;

const std::string kDefinitions = std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h";

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// A driver capture of `fault`, ended after --duration 1 or by a signal once the driver has
// had its first read (or, when it answers nothing, its set-log request).
struct DriverRun {
    test::CliResult result;
    Clock::duration stopTook{};
};

DriverRun runAgainst(Fault fault, int signal) {
    test::TempDir home, radios;
    FakeDriver driver(
        {.chunks = {test::simulatedStream(3, 5)}, .fault = fault, .radioDir = radios.path()});
    std::vector<std::string> args{"capture", "--filter-driver", "--color",
                                  "never",   "--defs",          kDefinitions};
    if (signal == 0) {
        args.push_back("--duration");
        args.push_back("1");
    }
    const auto spawned = Clock::now();
    test::CliProcess cli(args,
                         {"NIMBREL_HOME=" + home.path(), "NIMBREL_BT_CLASS_DIR=" + radios.path(),
                          "NIMBREL_DEVICE_DIR=" + driver.deviceFolder()});
    EXPECT_TRUE(driver.waitForRequest(fault == Fault::Silent ? "on" : "read"));
    const auto stopped = Clock::now();
    if (signal != 0) cli.signal(signal);
    DriverRun run;
    run.result = cli.wait();
    run.stopTook = signal == 0 ? Clock::now() - spawned - 1s : Clock::now() - stopped;
    return run;
}

TEST(CaptureFaults, ADriverThatDoesNotAnswerIsClosedWithinASecondOfTheStop) {
    for (const Fault fault : {Fault::Silent, Fault::SilentReads, Fault::StopsMidReply}) {
        for (const int signal : {0, SIGINT, SIGTERM}) {
            SCOPED_TRACE(testing::Message()
                         << "fault " << static_cast<int>(fault) << ", signal " << signal);
            const DriverRun run = runAgainst(fault, signal);
            EXPECT_EQ(run.result.code, 1) << run.result.err;
            EXPECT_LT(run.stopTook, 1s);
            EXPECT_NE(run.result.err.find("nimbrel-cli: the driver did not answer"),
                      std::string::npos)
                << run.result.err;
            if (fault == Fault::Silent) {
                // Logging was never switched on: the console says so, and why.
                EXPECT_NE(run.result.err.find("[R] Enable Filter Log fail\n[R] The driver did "
                                              "not answer; its device "),
                          std::string::npos)
                    << run.result.err;
            }
        }
    }
}

TEST(CaptureFaults, ADriverSideThatBreaksTheBridgeProtocolIsReportedCountedAndFailsTheCapture) {
    struct Case {
        Fault fault;
        const char* words;
    };
    const Case cases[] = {
        {Fault::Oversize, "sent bytes that are no reply, which breaks the device bridge's"},
        {Fault::NoReply, "sent bytes that are no reply, which breaks the device bridge's"},
        {Fault::HangsUp, "closed the connection of "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        const test::CliResult r = runAgainst(c.fault, 0).result;
        EXPECT_EQ(r.code, 1) << r.err;
        // The first fault in words, once, although every later read fails too.
        EXPECT_EQ(occurrences(r.err, c.words), 3u) << r.err;  // console, summary, exit reason
        EXPECT_EQ(occurrences(r.err, "[R] The driver side"), 1u) << r.err;
        const std::size_t summary = r.err.find(" driver requests failed: the driver side");
        ASSERT_NE(summary, std::string::npos) << r.err;
        // Retried every 100 ms as any failed read is, so more than one failed.
        EXPECT_GT(std::stoi(r.err.substr(r.err.rfind('\n', summary) + 1)), 1) << r.err;
    }
}

TEST(CaptureFaults, LoggingThatCannotBeEnabledSaysWhy) {
    struct Case {
        Fault fault;  // None: no driver at all
        const char* reason;
    };
    const Case cases[] = {
        {Fault::None, "[R] No driver serves "},
        {Fault::RefusesLogging, "[R] The driver refused the request with status 1\n"},
        {Fault::HangsUpAtOnce, "[R] The driver side closed the connection of "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        test::TempDir home;
        std::unique_ptr<FakeDriver> driver;
        std::string devices = home.file("no-devices");
        if (c.fault != Fault::None) {
            driver = std::make_unique<FakeDriver>(
                FakeDriver::Options{.kind = sim::DriverKind::Uart, .fault = c.fault});
            devices = driver->deviceFolder();
        }
        const auto r =
            test::runCli({"capture", "--uart-driver", "--duration", "5", "--defs", kDefinitions},
                         {"NIMBREL_HOME=" + home.path(), "NIMBREL_DEVICE_DIR=" + devices});
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find(std::string("[R] Enable Uart Log fail\n") + c.reason),
                  std::string::npos)
            << r.err;
    }
}

TEST(CaptureFaults, APortThatCannotBeOpenedSaysWhyAndAnotherCapturesPortIsNotShared) {
    test::TempDir home;
    PseudoTerminal pty;
    ASSERT_EQ(pty.open(), 0);
    ASSERT_EQ(pty.holdSlave(), 0);
    const std::vector<std::string> env{"NIMBREL_HOME=" + home.path()};
    // The first capture holds the terminal.
    test::CliProcess first(
        {"capture", "--com", pty.slavePath(), "--color", "never", "--defs", kDefinitions}, env);
    const auto limit = Clock::now() + 10s;
    while (first.errSoFar().find("[D] [") == std::string::npos && Clock::now() < limit)
        std::this_thread::sleep_for(5ms);

    // The busy port names the capture that holds it.
    struct Case {
        std::string port;
        std::string stepLine;
        std::string reason;
    };
    const Case cases[] = {
        {"nimbrel-missing-port",
         "[R] Step 1, Fail to open nimbrel-missing-port: GetLastError=0x2\n",
         "[R] Cannot open /dev/nimbrel-missing-port: No such file or directory (is the adapter "
         "plugged in?)\n"},
        {pty.slavePath(), "[R] Step 1, Fail to open " + pty.slavePath() + ": GetLastError=0x10\n",
         "[R] Cannot open " + pty.slavePath() + ": Device or resource busy (it is in use by " +
             "nimbrel-cli (process " + std::to_string(first.pid()) + "))\n"},
        {"/dev/null", "[R] Step 3, Fail to open /dev/null\n",
         "[R] Cannot open /dev/null: Inappropriate ioctl for device (is it a serial port?)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        const auto r = test::runCli(
            {"capture", "--com", c.port, "--duration", "5", "--defs", kDefinitions}, env);
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find(c.stepLine + c.reason), std::string::npos) << r.err;
    }
    // The first capture still gets the whole stream.
    const test::Bytes stream = test::simulatedStream(8, 25);
    ASSERT_EQ(::write(pty.masterFd(), stream.data(), stream.size()),
              static_cast<ssize_t>(stream.size()));
    ASSERT_TRUE(test::waitUntilTaken(pty));
    first.signal(SIGINT);
    const auto r = first.wait();
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 25);
}

}  // namespace
}  // namespace nimbrel
