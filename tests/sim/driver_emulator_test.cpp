// The simulator's driver side, spoken to through the capture's own driver requests.
#include "sim/driver_emulator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/driver_requests.h"
#include "platform/device_bridge_protocol.h"
#include "support/running_driver.h"
#include "support/sim_stream.h"
#include "support/temp_dir.h"

namespace nimbrel::sim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

using Emulator = test::RunningDriver;

TEST(DriverEmulator, RepliesCarryEveryRecordOnceInOrderThroughRandomReplySizes) {
    constexpr std::size_t kRecords = 3000;
    Emulator e({.kind = DriverKind::Uart,
                .recordsPerSecond = 0,
                .recordLimit = kRecords,
                .seed = 9,
                .randomReplySizes = true});
    DriverDevice& driver = uartDriver();
    ASSERT_TRUE(driver.enableLog(1));

    const Bytes expected = test::simulatedStream(9, kRecords);
    Bytes got;
    std::size_t shortReplies = 0;
    ReadLogReply reply;
    while (got.size() < expected.size()) {
        const ReadLogResult r = driver.readLog(reply);
        ASSERT_TRUE(r.counted);
        ASSERT_GT(r.dataSize, 0u);
        // n = data bytes + 1: the data ends in a zero that is not part of the log.
        const std::size_t n = reply[1] | reply[2] << 8;
        ASSERT_EQ(n, r.dataSize + 1);
        ASSERT_EQ(reply[kReadLogHeaderSize + r.dataSize], 0);
        if (r.dataSize < kReadLogMaxData) ++shortReplies;
        got.insert(got.end(), reply.begin() + kReadLogHeaderSize,
                   reply.begin() + kReadLogHeaderSize + r.dataSize);
    }
    EXPECT_EQ(got, expected);
    EXPECT_GT(shortReplies, 100u);
    EXPECT_TRUE(driver.disableLog());
    EXPECT_FALSE(driver.isOpen());
}

TEST(DriverEmulator, AnswersSetLogFormsReadsWithoutDataAndLogsTheRequestsInOrder) {
    Emulator e({.kind = DriverKind::Filter, .recordsPerSecond = 0, .recordLimit = 2});
    DriverDevice& driver = filterDriver();
    ReadLogReply reply;

    // Logging off and nothing buffered: the status byte says no data.
    ASSERT_TRUE(driver.open());
    EXPECT_FALSE(driver.readLog(reply).counted);
    EXPECT_EQ(reply[0], 1);

    ASSERT_TRUE(driver.enableLog(1));
    const ReadLogResult first = driver.readLog(reply);
    EXPECT_TRUE(first.counted);
    EXPECT_EQ(first.dataSize, test::simulatedStream(1, 2).size());

    // Nothing more to give: the read waits until the next request arrives behind it and
    // is then answered empty, before that request.
    ReadLogResult pending;
    std::thread reader([&] {
        ReadLogReply r;
        pending = driver.readLog(r);
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(driver.enableLog(0));
    reader.join();
    EXPECT_TRUE(pending.counted);
    EXPECT_EQ(pending.dataSize, 0u);

    // A code the driver does not know fails; an unknown set-log form is refused.
    std::uint8_t status[1] = {0};
    EXPECT_FALSE(sendDriverRequest(driver.control(), 0x00222800, Bytes{0}, status));
    EXPECT_FALSE(sendDriverRequest(driver.control(), IOCTL_BTFILTER_SET_LOG, Bytes{1, 2}, status));
    EXPECT_EQ(status[0], 1);
    EXPECT_TRUE(driver.disableLog());

    std::vector<std::string> lines;
    for (int i = 0; i < 100; ++i) {
        lines = e.lines();
        if (!lines.empty() && lines.back().find("close") != std::string::npos) break;
        std::this_thread::sleep_for(10ms);
    }
    const std::vector<std::string> want = {
        "radio hci0 added",
        "connection 1: open",
        "connection 1: set-log on",
        "connection 1: set-log off",
        "connection 1: unknown control code 2238464",
        "connection 1: set-log with an unknown form of 2 bytes",
        "connection 1: set-log stop",
    };
    ASSERT_GE(lines.size(), want.size() + 1);
    EXPECT_EQ(
        std::vector<std::string>(lines.begin(), lines.begin() + static_cast<long>(want.size())),
        want);
    EXPECT_EQ(lines[want.size()].rfind("connection 1: close after 3 reads", 0), 0u)
        << lines[want.size()];
}

TEST(DriverEmulator, RadioEntryComesAndGoesOnTimeAndReadsFailWhileItIsAway) {
    test::TempDir radios;
    const std::string entry = radios.file("hci0");
    Emulator e({.kind = DriverKind::Filter,
                .recordsPerSecond = 1000,
                .seed = 3,
                .radioDir = radios.path(),
                .radioOffAfterS = 0.3,
                .radioOnAfterS = 0.8});
    auto waitFor = [&](bool present) {
        for (int i = 0; i < 300 && std::filesystem::exists(entry) != present; ++i)
            std::this_thread::sleep_for(5ms);
        return std::filesystem::exists(entry) == present;
    };
    ASSERT_TRUE(waitFor(true));
    DriverDevice& driver = filterDriver();
    ASSERT_TRUE(driver.enableLog(1));
    ReadLogReply reply;
    EXPECT_TRUE(driver.readLog(reply).counted);

    ASSERT_TRUE(waitFor(false));
    EXPECT_FALSE(driver.readLog(reply).counted);  // ENODEV while the radio is away
    EXPECT_TRUE(driver.enableLog(1));             // set-log still answers

    ASSERT_TRUE(waitFor(true));
    const ReadLogResult back = driver.readLog(reply);
    EXPECT_TRUE(back.counted);
    EXPECT_GT(back.dataSize, 0u);
    driver.disableLog();
}

}  // namespace
}  // namespace nimbrel::sim
