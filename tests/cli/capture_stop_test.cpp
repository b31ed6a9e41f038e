// nimbrel-cli capture keeps every record it was handed, however the capture ends: each case
// delivers a burst and stops right behind its last record.
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
using test::Bytes;
using test::FakeDriver;

const std::string kDefinitions = std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h";
constexpr std::size_t kRecords = 40;

enum class Route { Com, Filter, Uart };
enum class Ending { Duration, Sigint, Sigterm, SourceGone, RadioGoneThenSigint };

// The burst in replies of 97 bytes, which cut records anywhere; the last reply holds the
// end of one record and the records behind it.
std::vector<Bytes> chunksOf(const Bytes& stream) {
    std::vector<Bytes> chunks;
    for (std::size_t at = 0; at < stream.size(); at += 97)
        chunks.emplace_back(
            stream.begin() + static_cast<std::ptrdiff_t>(at),
            stream.begin() + static_cast<std::ptrdiff_t>(std::min(at + 97, stream.size())));
    return chunks;
}

std::string rawDataFileOf(const std::string& err) {
    const std::string tag = "Raw data file: ";
    const std::size_t at = err.find(tag);
    if (at == std::string::npos) return {};
    return err.substr(at + tag.size(), err.find('\n', at) - at - tag.size());
}

TEST(CaptureStop, EveryDeliveredRecordIsShownAndRecordedHoweverTheCaptureEnds) {
    struct Case {
        Route route;
        Ending ending;
        int exitCode;
    };
    const Case cases[] = {
        {Route::Com, Ending::Duration, 0},
        {Route::Com, Ending::Sigint, 0},
        {Route::Com, Ending::Sigterm, 0},
        {Route::Com, Ending::SourceGone, 1},
        {Route::Filter, Ending::Duration, 0},
        {Route::Filter, Ending::Sigint, 0},
        {Route::Filter, Ending::Sigterm, 0},
        {Route::Filter, Ending::SourceGone, 1},
        {Route::Filter, Ending::RadioGoneThenSigint, 0},
        {Route::Uart, Ending::Duration, 0},
        {Route::Uart, Ending::Sigint, 0},
        {Route::Uart, Ending::Sigterm, 0},
        {Route::Uart, Ending::SourceGone, 1},
        {Route::Uart, Ending::RadioGoneThenSigint, 0},
    };
    const std::vector<Bytes> sent = test::simulatedRecords(26, kRecords);
    const Bytes stream = test::simulatedStream(26, kRecords);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "route " << static_cast<int>(c.route) << ", ending "
                                        << static_cast<int>(c.ending));
        test::TempDir home, radios;
        std::vector<std::string> args{"capture", "--save-raw", "--color",
                                      "never",   "--defs",     kDefinitions};
        if (c.ending == Ending::Duration) {
            args.push_back("--duration");
            args.push_back("1");
        }
        std::vector<std::string> env{"NIMBREL_HOME=" + home.path(),
                                     "NIMBREL_BT_CLASS_DIR=" + radios.path()};

        std::unique_ptr<FakeDriver> driver;
        PseudoTerminal pty;
        if (c.route == Route::Com) {
            ASSERT_EQ(pty.open(), 0);
            ASSERT_EQ(pty.holdSlave(), 0);
            args.push_back("--com");
            args.push_back(pty.slavePath());
        } else {
            const FakeDriver::Last last =
                c.ending == Ending::SourceGone            ? FakeDriver::Last::ThenHangUp
                : c.ending == Ending::RadioGoneThenSigint ? FakeDriver::Last::AfterRadioGone
                                                          : FakeDriver::Last::OnSetLog;
            driver = std::make_unique<FakeDriver>(FakeDriver::Options{
                .kind = c.route == Route::Uart ? sim::DriverKind::Uart : sim::DriverKind::Filter,
                .chunks = chunksOf(stream),
                .last = last,
                .radioDir = radios.path()});
            args.push_back(c.route == Route::Uart ? "--uart-driver" : "--filter-driver");
            env.push_back("NIMBREL_DEVICE_DIR=" + driver->deviceFolder());
        }

        const auto spawned = Clock::now();
        test::CliProcess cli(args, env);
        ASSERT_TRUE(cli.started());
        if (c.route == Route::Com) {
            ASSERT_EQ(::write(pty.masterFd(), stream.data(), stream.size()),
                      static_cast<ssize_t>(stream.size()));
            ASSERT_TRUE(test::waitUntilTaken(pty));
        } else {
            // Every reply but the last is out; the last answers the stop's first request.
            ASSERT_TRUE(driver->waitUntilDelivered());
            if (c.ending == Ending::SourceGone) {
                ASSERT_TRUE(driver->waitForRequest("close"));
            }
            if (c.ending == Ending::RadioGoneThenSigint) {
                ASSERT_TRUE(driver->waitForRequest("stop"));
            }
        }

        const auto stopped = Clock::now();
        switch (c.ending) {
        case Ending::Duration: break;
        case Ending::Sigterm: cli.signal(SIGTERM); break;
        case Ending::SourceGone:
            if (c.route == Route::Com) {
                pty.closeMaster();
                break;
            }
            // The driver side is gone: the capture goes on until it is stopped.
            cli.signal(SIGINT);
            break;
        case Ending::Sigint:
        case Ending::RadioGoneThenSigint: cli.signal(SIGINT); break;
        }
        const test::CliResult r = cli.wait();
        const auto took =
            c.ending == Ending::Duration ? Clock::now() - spawned - 1s : Clock::now() - stopped;

        EXPECT_EQ(r.code, c.exitCode) << r.err;
        EXPECT_LT(took, 1s);
        EXPECT_EQ(static_cast<std::size_t>(std::count(r.out.begin(), r.out.end(), '\n')), kRecords)
            << r.out << r.err;
        EXPECT_NE(r.out.find("[00040]"), std::string::npos);
        const std::string rawName = rawDataFileOf(r.err);
        ASSERT_FALSE(rawName.empty()) << r.err;
        EXPECT_TRUE(test::recordsOfRawDataFile(test::readFileBytes(rawName), sent) == sent);
    }
}

}  // namespace
}  // namespace nimbrel
