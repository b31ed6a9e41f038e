// nimbrel-cli capture through the driver devices, served by the simulator's driver side.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "support/cli_run.h"
#include "support/record_builder.h"
#include "support/running_driver.h"
#include "support/sim_stream.h"
#include "support/temp_dir.h"

namespace nimbrel {
namespace {

using test::runCli;

const std::string kDefinitions = std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h";

TEST(DriverCaptureCommand, EveryRecordOnceWithTheSummaryAndTheRawDataFile) {
    constexpr std::size_t kRecords = 5000;
    test::TempDir home;
    test::TempDir radios;
    test::RunningDriver sim({.kind = sim::DriverKind::Uart,
                             .recordsPerSecond = 0,
                             .recordLimit = kRecords,
                             .seed = 12,
                             .randomReplySizes = true,
                             .radioDir = radios.path()});
    const auto r = runCli({"capture", "--uart-driver", "--save-raw", "--duration", "4", "--color",
                           "never", "--defs", kDefinitions},
                          {"NIMBREL_HOME=" + home.path(), "NIMBREL_BT_CLASS_DIR=" + radios.path()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("[G] Enable Uart Log success"), std::string::npos) << r.err;
    EXPECT_EQ(static_cast<std::size_t>(std::count(r.out.begin(), r.out.end(), '\n')), kRecords);
    EXPECT_NE(
        r.err.find(
            "Capture ended: 5000 records framed, 0 bytes skipped as noise, 0 bytes lost to a ring "
            "overrun."),
        std::string::npos)
        << r.err;
    const std::string rawLine = "Raw data file: " + home.path() + "/RawData_";
    const std::size_t at = r.err.find(rawLine);
    ASSERT_NE(at, std::string::npos) << r.err;
    const std::string rawName = r.err.substr(at + 15, r.err.find('\n', at) - at - 15);
    const auto sent = test::simulatedRecords(12, kRecords);
    EXPECT_TRUE(test::recordsOfRawDataFile(test::readFileBytes(rawName), sent) == sent);

    // At the end: logging switched off, then the stop form, then the device closed.
    const int on = sim.waitForLine("set-log on");
    const int off = sim.waitForLine("set-log off");
    ASSERT_GE(on, 0);
    ASSERT_GT(off, on);
    EXPECT_GT(sim.waitForLine("set-log stop", static_cast<std::size_t>(off)), off);
}

TEST(DriverCaptureCommand, NoDriverFailsWithTheEnableLineAndUsageErrors) {
    test::TempDir home;
    const auto r =
        runCli({"capture", "--filter-driver", "--duration", "5", "--defs", kDefinitions},
               {"NIMBREL_HOME=" + home.path(), "NIMBREL_DEVICE_DIR=" + home.file("none")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("[R] Enable Filter Log fail"), std::string::npos) << r.err;
    EXPECT_EQ(runCli({"capture", "--filter-driver", "--uart-driver"}).code, 2);
    EXPECT_EQ(runCli({"capture", "--uart-driver", "--com", "ttyS0"}).code, 2);
}

}  // namespace
}  // namespace nimbrel
