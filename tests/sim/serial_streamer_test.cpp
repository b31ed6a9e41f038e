#include "sim/serial_streamer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/pseudo_terminal.h"
#include "platform/serial_port.h"
#include "support/sim_stream.h"

namespace nimbrel::sim {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::uint8_t> expectedStream(std::uint64_t seed, int records) {
    return test::simulatedStream(seed, static_cast<std::size_t>(records));
}

// Reads the slave side until `size` bytes arrived or the reads stay empty for a while.
std::vector<std::uint8_t> readPort(SerialPort& port, std::size_t size) {
    std::vector<std::uint8_t> got;
    std::uint8_t buf[kSerialReadMax];
    int emptyReads = 0;
    while (got.size() < size && emptyReads < 3) {
        const SerialReadResult r = port.read(buf, sizeof buf);
        if (r.status != SerialReadStatus::Ok) break;
        emptyReads = r.count == 0 ? emptyReads + 1 : 0;
        got.insert(got.end(), buf, buf + r.count);
    }
    return got;
}

TEST(SerialStreamer, StreamsTheGeneratedRecordsByteForByte) {
    PseudoTerminal pty;
    ASSERT_EQ(pty.open(), 0);
    SerialPort port;
    ASSERT_TRUE(port.open(pty.slavePath()).ok());

    const std::vector<std::uint8_t> expected =
        expectedStream(21, 3000);  // far more than the pty buffers
    std::vector<std::uint8_t> got;
    std::thread reader([&] { got = readPort(port, expected.size()); });

    LogGenerator g(21);
    StreamOptions options;
    options.recordLimit = 3000;
    const std::atomic<bool> stop{false};
    const StreamResult r = streamRecords(pty.masterFd(), g, options, stop);
    reader.join();

    EXPECT_EQ(r.end, StreamEnd::Finished);
    EXPECT_EQ(r.records, 3000u);
    EXPECT_EQ(r.bytes, expected.size());
    EXPECT_EQ(got, expected);
}

TEST(SerialStreamer, WaitsForTheDeviceAndStopsOnRequest) {
    // Nobody reads the slave: the device stops taking bytes, the streamer waits for it.
    PseudoTerminal pty;
    ASSERT_EQ(pty.open(), 0);
    LogGenerator g(2);
    std::atomic<bool> stop{false};
    StreamResult r;
    std::thread streamer([&] { r = streamRecords(pty.masterFd(), g, StreamOptions{}, stop); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto stoppedAt = Clock::now();
    stop = true;
    streamer.join();
    EXPECT_LT(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - stoppedAt).count(),
        500);
    EXPECT_EQ(r.end, StreamEnd::Stopped);
    EXPECT_GT(r.bytes, 0u);
    EXPECT_LT(r.bytes, 1u << 20);  // bounded by what the pseudo-terminal buffers
}

TEST(SerialStreamer, PacesRecordsAtTheRequestedRate) {
    PseudoTerminal pty;
    ASSERT_EQ(pty.open(), 0);
    ASSERT_EQ(pty.holdSlave(), 0);
    LogGenerator g(4);
    StreamOptions options;
    options.recordsPerSecond = 100;
    options.recordLimit = 31;  // the first goes at once, the other 30 over 300 ms
    const std::atomic<bool> stop{false};
    const auto start = Clock::now();
    const StreamResult r = streamRecords(pty.masterFd(), g, options, stop);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_EQ(r.end, StreamEnd::Finished);
    EXPECT_EQ(r.records, 31u);
    EXPECT_GE(elapsed, 280);
}

TEST(SerialStreamer, ClosedDescriptorFails) {
    LogGenerator g(1);
    const std::atomic<bool> stop{false};
    const StreamResult r = streamRecords(-1, g, StreamOptions{}, stop);
    EXPECT_EQ(r.end, StreamEnd::Failed);
    EXPECT_EQ(r.error, EBADF);
}

}  // namespace
}  // namespace nimbrel::sim
