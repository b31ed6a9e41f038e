#include "platform/serial_port.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <numeric>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/pseudo_terminal.h"

namespace nimbrel {
namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// A pseudo-terminal whose slave side is opened as a serial port.
struct PortOnPty : ::testing::Test {
    void SetUp() override {
        ASSERT_EQ(pty.open(), 0);
        const SerialOpenResult r = port.open(pty.slavePath(), 115200);
        ASSERT_TRUE(r.ok()) << "step " << static_cast<int>(r.failedStep) << " errno " << r.error;
    }

    void writeMaster(const std::vector<std::uint8_t>& bytes) {
        ASSERT_EQ(::write(pty.masterFd(), bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }

    // Reads from the master until n bytes arrived or a second passed.
    std::vector<std::uint8_t> readMaster(std::size_t n) {
        std::vector<std::uint8_t> out;
        const auto start = Clock::now();
        while (out.size() < n && msSince(start) < 1000) {
            pollfd p{pty.masterFd(), POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            std::uint8_t buf[256];
            const ssize_t got = ::read(pty.masterFd(), buf, sizeof buf);
            if (got > 0) out.insert(out.end(), buf, buf + got);
        }
        return out;
    }

    PseudoTerminal pty;
    SerialPort port;
};

TEST(SerialPortPath, NameWithoutSlashLivesInDev) {
    EXPECT_EQ(serialDevicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(serialDevicePath("/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(serialDevicePath("./relative/tty"), "./relative/tty");
}

TEST(SerialPortOpen, MissingPortFailsToOpenWithEnoent) {
    SerialPort port;
    const SerialOpenResult r = port.open("ttyNimbrelNoSuchPort7");
    EXPECT_EQ(r.failedStep, SerialOpenStep::Open);
    EXPECT_EQ(r.error, ENOENT);
    EXPECT_FALSE(port.isOpen());
    std::uint8_t buf[8];
    EXPECT_EQ(port.read(buf, sizeof buf).status, SerialReadStatus::Closed);
    EXPECT_EQ(port.write(buf, sizeof buf), EBADF);
}

TEST(SerialPortOpen, DeviceThatIsNoTerminalFailsAtTheSettingsStep) {
    SerialPort port;
    const SerialOpenResult r = port.open("/dev/null");
    EXPECT_EQ(r.failedStep, SerialOpenStep::Settings);
    EXPECT_EQ(r.error, ENOTTY);
    EXPECT_FALSE(port.isOpen());
}

TEST(SerialPortOpen, BaudRatesStandardAndOtherwise) {
    PseudoTerminal pty;
    ASSERT_EQ(pty.open(), 0);
    {
        SerialPort port;
        ASSERT_TRUE(port.open(pty.slavePath(), 921600).ok());
        termios t{};
        ASSERT_EQ(::tcgetattr(static_cast<int>(port.nativeHandle()), &t), 0);
        EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B921600));
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(t.c_iflag & (IXON | ICRNL), 0u);
    }
    {
        SerialPort port;
        EXPECT_TRUE(port.open(pty.slavePath(), 250000).ok());  // not a standard rate
    }
    SerialPort port;
    const SerialOpenResult r = port.open(pty.slavePath(), 0);
    EXPECT_EQ(r.failedStep, SerialOpenStep::Settings);
    EXPECT_EQ(r.error, EINVAL);
}

// Also for the superuser, whom the terminal's exclusive mode lets through.
TEST(SerialPortOpen, PortIsNotShared) {
    PseudoTerminal pty;
    ASSERT_EQ(pty.open(), 0);
    SerialPort first;
    ASSERT_TRUE(first.open(pty.slavePath()).ok());
    SerialPort second;
    const SerialOpenResult r = second.open(pty.slavePath());
    EXPECT_EQ(r.failedStep, SerialOpenStep::Open);
    EXPECT_EQ(r.error, EBUSY);
    first.close();
    EXPECT_TRUE(second.open(pty.slavePath()).ok());
}

TEST_F(PortOnPty, OpeningAnOpenPortAgainIsRefusedAndReopeningAfterCloseWorks) {
    EXPECT_EQ(port.open(pty.slavePath()).error, EBUSY);
    EXPECT_EQ(port.path(), pty.slavePath());
    EXPECT_TRUE(port.close());
    EXPECT_FALSE(port.close());
    EXPECT_TRUE(port.path().empty());
    ASSERT_TRUE(port.open(pty.slavePath()).ok());
    writeMaster({1, 2, 3});
    std::uint8_t buf[16];
    const SerialReadResult r = port.read(buf, sizeof buf);
    EXPECT_EQ(r.status, SerialReadStatus::Ok);
    EXPECT_EQ(r.count, 3u);
}

TEST_F(PortOnPty, ReadReturnsSoonAfterTheDataStops) {
    writeMaster({0xA5, 0xA5, 0x28, 0x5A, 0x39});
    std::uint8_t buf[kSerialReadMax];
    const auto start = Clock::now();
    const SerialReadResult r = port.read(buf, sizeof buf);
    EXPECT_LT(msSince(start), 500);  // the pause after the data ends it, not the total time-out
    ASSERT_EQ(r.status, SerialReadStatus::Ok);
    ASSERT_EQ(r.count, 5u);
    EXPECT_EQ(buf[4], 0x39);
}

TEST_F(PortOnPty, SilentPortReturnsNothingAfterTheTotalTimeout) {
    std::uint8_t buf[kSerialReadMax];
    auto start = Clock::now();
    SerialReadResult r = port.read(buf, sizeof buf);
    const long long full = msSince(start);
    EXPECT_EQ(r.status, SerialReadStatus::Ok);
    EXPECT_EQ(r.count, 0u);
    EXPECT_GE(full, 1000);  // 512 * 2 ms + 1 ms
    EXPECT_LT(full, 3000);

    start = Clock::now();
    r = port.read(buf, 10);  // 10 * 2 ms + 1 ms
    EXPECT_EQ(r.status, SerialReadStatus::Ok);
    EXPECT_EQ(r.count, 0u);
    EXPECT_GE(msSince(start), 20);
    EXPECT_LT(msSince(start), 500);
}

TEST_F(PortOnPty, ReadTakesAtMost512Bytes) {
    std::vector<std::uint8_t> burst(600);
    std::iota(burst.begin(), burst.end(), 0);
    writeMaster(burst);
    std::vector<std::uint8_t> buf(1024);
    SerialReadResult r = port.read(buf.data(), buf.size());
    ASSERT_EQ(r.status, SerialReadStatus::Ok);
    EXPECT_EQ(r.count, kSerialReadMax);
    std::size_t total = r.count;
    while (total < burst.size()) {
        r = port.read(buf.data() + total, buf.size() - total);
        ASSERT_EQ(r.status, SerialReadStatus::Ok);
        ASSERT_GT(r.count, 0u);
        total += r.count;
    }
    buf.resize(total);
    EXPECT_EQ(buf, burst);
}

TEST_F(PortOnPty, EveryByteValuePassesUnchanged) {
    // CR, ^C, XON/XOFF, DEL and the rest must neither be translated nor acted upon.
    std::vector<std::uint8_t> all(256);
    std::iota(all.begin(), all.end(), 0);
    writeMaster(all);
    std::vector<std::uint8_t> got;
    std::uint8_t buf[kSerialReadMax];
    const auto start = Clock::now();
    while (got.size() < all.size() && msSince(start) < 3000) {
        const SerialReadResult r = port.read(buf, sizeof buf);
        ASSERT_EQ(r.status, SerialReadStatus::Ok);
        got.insert(got.end(), buf, buf + r.count);
    }
    EXPECT_EQ(got, all);
}

TEST_F(PortOnPty, EightByteWriteArrivesExactly) {
    const std::vector<std::uint8_t> bytes = {0x1F, 0xA5, 0x07, 0xFF, 0x00, 0x00, 0x00, 0xFF};
    EXPECT_EQ(port.write(bytes.data(), bytes.size()), 0);
    EXPECT_EQ(readMaster(bytes.size()), bytes);
    pollfd p{pty.masterFd(), POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 50), 0);  // nothing more
}

TEST_F(PortOnPty, WriteWhileAReadIsPending) {
    std::thread reader([&] {
        std::uint8_t buf[kSerialReadMax];
        port.read(buf, sizeof buf);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(port.write(bytes.data(), bytes.size()), 0);
    EXPECT_EQ(readMaster(bytes.size()), bytes);
    port.close();
    reader.join();
}

TEST_F(PortOnPty, CloseFromAnotherThreadEndsAPendingRead) {
    SerialReadResult result;
    Clock::time_point ended;
    std::thread reader([&] {
        std::uint8_t buf[kSerialReadMax];
        result = port.read(buf, sizeof buf);
        ended = Clock::now();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto closedAt = Clock::now();
    EXPECT_TRUE(port.close());
    reader.join();
    EXPECT_EQ(result.status, SerialReadStatus::Closed);
    EXPECT_EQ(result.error, ECANCELED);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(ended - closedAt).count(), 500);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.nativeHandle(), -1);

    std::uint8_t buf[4];
    const SerialReadResult after = port.read(buf, sizeof buf);
    EXPECT_EQ(after.status, SerialReadStatus::Closed);
    EXPECT_EQ(after.error, EBADF);
}

TEST_F(PortOnPty, ConcurrentClosesCloseOnce) {
    std::atomic<int> closedBy{0};
    std::vector<std::thread> closers;
    for (int i = 0; i < 4; ++i) {
        closers.emplace_back([&] {
            if (port.close()) ++closedBy;
        });
    }
    for (std::thread& t : closers) t.join();
    EXPECT_EQ(closedBy.load(), 1);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(PortOnPty, FarSideClosingMeansDeviceGone) {
    writeMaster({7, 8, 9});
    std::uint8_t buf[kSerialReadMax];
    SerialReadResult r = port.read(buf, sizeof buf);
    ASSERT_EQ(r.status, SerialReadStatus::Ok);
    EXPECT_EQ(r.count, 3u);

    pty.closeMaster();
    const auto start = Clock::now();
    r = port.read(buf, sizeof buf);
    EXPECT_LT(msSince(start), 500);
    EXPECT_EQ(r.status, SerialReadStatus::DeviceGone);
    EXPECT_TRUE(isDeviceGoneError(r.error));
    // It stays gone.
    EXPECT_EQ(port.read(buf, sizeof buf).status, SerialReadStatus::DeviceGone);
}

TEST_F(PortOnPty, FarSideClosingEndsAPendingRead) {
    SerialReadResult result;
    std::thread reader([&] {
        std::uint8_t buf[kSerialReadMax];
        result = port.read(buf, sizeof buf);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto closedAt = Clock::now();
    pty.closeMaster();
    reader.join();
    EXPECT_LT(msSince(closedAt), 500);
    EXPECT_EQ(result.status, SerialReadStatus::DeviceGone);
}

}  // namespace
}  // namespace nimbrel
