// The device bridge's client against a small driver side of the test's own.
#include "platform/device_bridge.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <random>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/device_bridge_protocol.h"
#include "support/temp_dir.h"

namespace nimbrel {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

bool recvAll(int fd, std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        const ssize_t got = ::recv(fd, p, n, 0);
        if (got <= 0) return false;
        p += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

// A driver side that answers each request through `answer` (nothing to send: it holds the
// request). It serves one connection at a time, as the tests open one at a time.
class FakeDriver {
public:
    struct Reply {
        bool send = true;
        bool hangUp = false;  // close the connection instead of answering
        std::uint32_t status = 0;
        std::uint32_t announced = 0;  // output size written in the header
        Bytes output;
    };
    using Answer =
        std::function<Reply(std::uint32_t code, const Bytes& input, std::uint32_t outputSize)>;

    FakeDriver(const std::string& path, Answer answer) : path_(path), answer_(std::move(answer)) {
        listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::strcpy(a.sun_path, path.c_str());
        EXPECT_EQ(::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        EXPECT_EQ(::listen(listenFd_, 64), 0);
        acceptor_ = std::thread([this] { acceptLoop(); });
    }
    ~FakeDriver() {
        ::shutdown(listenFd_, SHUT_RDWR);
        acceptor_.join();
        ::close(listenFd_);
    }

private:
    void acceptLoop() {
        for (;;) {
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) return;
            serve(fd);
        }
    }
    void serve(int fd) {
        for (;;) {
            std::uint8_t header[kBridgeRequestHeaderSize];
            if (!recvAll(fd, header, sizeof header)) break;
            Bytes input(loadU32Le(header + 4));
            if (!recvAll(fd, input.data(), input.size())) break;
            const Reply r = answer_(loadU32Le(header), input, loadU32Le(header + 8));
            if (r.hangUp) break;
            if (!r.send) continue;
            Bytes message(kBridgeReplyHeaderSize);
            storeU32Le(message.data(), r.status);
            storeU32Le(message.data() + 4, r.announced);
            message.insert(message.end(), r.output.begin(), r.output.end());
            if (::send(fd, message.data(), message.size(), MSG_NOSIGNAL) < 0) break;
        }
        ::close(fd);
    }

    std::string path_;
    Answer answer_;
    int listenFd_ = -1;
    std::thread acceptor_;
};

FakeDriver::Reply echo(std::uint32_t, const Bytes& input, std::uint32_t outputSize) {
    Bytes out(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(
                                                 std::min<std::size_t>(input.size(), outputSize)));
    return {true, false, 0, static_cast<std::uint32_t>(out.size()), out};
}

TEST(DeviceBridge, RequestsRoundTripAndFailuresComeBackAsErrors) {
    test::TempDir dir;
    const std::string path = dir.file("BtFilter");
    FakeDriver driver(
        path,
        [](std::uint32_t code, const Bytes& input, std::uint32_t outputSize) -> FakeDriver::Reply {
            if (code == 1) return echo(code, input, outputSize);
            if (code == 2) return {true, false, EIO, 0, {}};
            if (code == 3)
                return {true, false, 0, outputSize + 1, Bytes(outputSize + 1, 7)};  // too much
            if (code == 4) return {true, false, 0x6c6c6568, 0, {}};  // text, no status
            if (code == 5) return {true, true};
            return {true, false, 0, 0, {}};
        });

    BridgeDevice device;
    std::uint8_t out[8] = {};
    EXPECT_EQ(device.control(1, "x", 1, out, sizeof out).error, EBADF);  // not open
    EXPECT_EQ(device.open(dir.file("missing")), ENOENT);
    ASSERT_EQ(device.open(path), 0);
    EXPECT_EQ(device.open(path), EISCONN);

    const std::uint8_t in[4] = {0x01, 0x23, 0x01, 0x01};
    ControlResult r = device.control(1, in, sizeof in, out, 3);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.returned, 3u);
    EXPECT_EQ(Bytes(out, out + 3), (Bytes{0x01, 0x23, 0x01}));

    r = device.control(2, in, sizeof in, out, sizeof out);
    EXPECT_EQ(r.error, EIO);
    EXPECT_EQ(r.returned, 0u);
    EXPECT_TRUE(device.isOpen());  // a failed request leaves the device usable
    EXPECT_TRUE(device.control(1, in, 1, out, sizeof out).ok());

    // A driver side that breaks the protocol makes the device unusable until reopened:
    // more output than asked for, or a status that is no errno value, is no reply; a closed
    // connection is one of its own.
    for (const auto& [code, error] : {std::pair{3u, EPROTO}, {4u, EPROTO}, {5u, EPIPE}}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(device.control(code, in, 1, out, 2).error, error);
        EXPECT_EQ(device.control(1, in, 1, out, sizeof out).error, error);
        EXPECT_TRUE(device.close());
        EXPECT_FALSE(device.close());
        ASSERT_EQ(device.open(path), 0);
        EXPECT_TRUE(device.control(1, in, 1, out, sizeof out).ok());
    }
}

TEST(DeviceBridge, RequestsFromManyThreadsAreAnsweredInOrder) {
    test::TempDir dir;
    const std::string path = dir.file("BtFilter");
    std::mutex orderMutex;
    std::vector<std::uint32_t> served;
    FakeDriver driver(path, [&](std::uint32_t code, const Bytes& input, std::uint32_t outputSize) {
        {
            std::lock_guard lock(orderMutex);
            served.push_back(code);
        }
        if (code % 7 == 0) std::this_thread::sleep_for(200us);  // some replies come late
        return echo(code, input, outputSize);
    });
    BridgeDevice device;
    ASSERT_EQ(device.open(path), 0);

    constexpr int kThreads = 4;
    constexpr int kRequests = 300;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 rng(static_cast<unsigned>(t));
            for (int i = 0; i < kRequests; ++i) {
                const std::uint32_t id = static_cast<std::uint32_t>(t * kRequests + i);
                Bytes in(4 + rng() % 2000);
                storeU32Le(in.data(), id);
                for (std::size_t k = 4; k < in.size(); ++k)
                    in[k] = static_cast<std::uint8_t>(id + k);
                Bytes out(in.size());
                const ControlResult r =
                    device.control(id, in.data(), static_cast<std::uint32_t>(in.size()), out.data(),
                                   static_cast<std::uint32_t>(out.size()));
                if (!r.ok() || r.returned != in.size() || out != in) ++wrong;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
    // Each thread's requests reached the driver side in the order it sent them.
    std::vector<int> next(kThreads, 0);
    for (const std::uint32_t code : served) {
        const int t = static_cast<int>(code) / kRequests;
        EXPECT_EQ(static_cast<int>(code) % kRequests, next[static_cast<std::size_t>(t)]++);
    }
}

TEST(DeviceBridge, ClosingEndsAPendingRequestAtOnce) {
    test::TempDir dir;
    const std::string path = dir.file("CorvaneUartBus");
    // The driver side holds every request: only closing the device can end one.
    FakeDriver driver(
        path, [](std::uint32_t, const Bytes&, std::uint32_t) { return FakeDriver::Reply{false}; });

    for (int i = 0; i < 1000; ++i) {
        BridgeDevice device;
        ASSERT_EQ(device.open(path), 0);
        std::atomic<bool> sent{false};
        ControlResult result;
        std::thread requester([&] {
            std::uint8_t out[1027];
            sent = true;
            result = device.control(0x0022281C, "\0", 1, out, sizeof out);
        });
        while (!sent.load()) std::this_thread::yield();
        if (i % 2 == 0)
            std::this_thread::sleep_for(50us);  // sometimes already blocked, sometimes not yet sent
        const auto before = std::chrono::steady_clock::now();
        EXPECT_TRUE(device.close());
        requester.join();
        EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
        EXPECT_TRUE(result.error == ECANCELED || result.error == EBADF) << result.error;
        EXPECT_FALSE(device.isOpen());
    }
}

// A stop asks a driver that never answers: its request closes the device at its deadline,
// which also ends the request another thread was waiting on (no deadline of its own).
TEST(DeviceBridge, ARequestWithADeadlineClosesTheDeviceAndEndsEveryPendingRequest) {
    test::TempDir dir;
    const std::string path = dir.file("BtFilter");
    FakeDriver driver(
        path, [](std::uint32_t, const Bytes&, std::uint32_t) { return FakeDriver::Reply{false}; });
    BridgeDevice device;
    ASSERT_EQ(device.open(path), 0);
    ControlResult pending;
    std::thread reader([&] {
        std::uint8_t out[1027];
        pending = device.control(0x0022281C, "\0", 1, out, sizeof out);
    });
    std::this_thread::sleep_for(20ms);  // the read waits for its reply
    const auto start = std::chrono::steady_clock::now();
    std::uint8_t status[1];
    const ControlResult off =
        device.control(0x00222818, "\x01\x23\x01\x00", 4, status, 1, start + 300ms);
    reader.join();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(off.error, ETIMEDOUT);
    EXPECT_EQ(pending.error, ETIMEDOUT);
    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, 1s);
    EXPECT_FALSE(device.isOpen());
    EXPECT_EQ(device.open(path), 0);  // closed, not broken: it opens again
}

}  // namespace
}  // namespace nimbrel
