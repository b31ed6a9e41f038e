#include "support/fake_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/device_bridge.h"
#include "platform/device_bridge_protocol.h"
#include "platform/driver_codes.h"

namespace nimbrel::test {
namespace {

void sendAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

std::vector<std::uint8_t> reply(std::uint32_t status, const std::vector<std::uint8_t>& output) {
    std::vector<std::uint8_t> r(kBridgeReplyHeaderSize);
    storeU32Le(r.data(), status);
    storeU32Le(r.data() + 4, static_cast<std::uint32_t>(output.size()));
    r.insert(r.end(), output.begin(), output.end());
    return r;
}

// A read reply carrying `data`: status 0, n = data + 1, the data, a terminating zero.
std::vector<std::uint8_t> dataReply(const std::vector<std::uint8_t>& data) {
    const auto n = static_cast<std::uint16_t>(data.size() + 1);
    std::vector<std::uint8_t> out{0, static_cast<std::uint8_t>(n),
                                  static_cast<std::uint8_t>(n >> 8)};
    out.insert(out.end(), data.begin(), data.end());
    out.push_back(0);
    return reply(0, out);
}

}  // namespace

struct FakeDriver::Connection {
    int fd = -1;
    std::vector<std::uint8_t> in;
    bool readPending = false;
    bool stuck = false;  // a request will never be answered: nothing after it is either
    bool closed = false;
};

FakeDriver::FakeDriver(Options options) : options_(std::move(options)), folder_(dir_.file("dev")) {
    ::setenv("NIMBREL_DEVICE_DIR", folder_.c_str(), 1);
    ::mkdir(folder_.c_str(), 0700);
    if (!options_.radioDir.empty()) ::mkdir((options_.radioDir + "/hci0").c_str(), 0755);
    const std::string path =
        devicePath(options_.kind == sim::DriverKind::Filter ? kFilterDeviceName : kUartDeviceName);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    EXPECT_EQ(::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(listenFd_, 8), 0);
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this] { run(); });
}

FakeDriver::~FakeDriver() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    thread_.join();
    ::close(wakeFd_);
    ::close(listenFd_);
}

void FakeDriver::note(const std::string& line) {
    std::lock_guard lock(mutex_);
    requests_.push_back(line);
    changed_.notify_all();
}

std::vector<std::string> FakeDriver::requests() {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool FakeDriver::waitUntilDelivered(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return delivered_; });
}

bool FakeDriver::waitForRequest(const std::string& line, int count,
                                std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(
        lock, limit, [&] { return std::count(requests_.begin(), requests_.end(), line) >= count; });
}

void FakeDriver::run() {
    std::vector<Connection> connections;
    for (;;) {
        std::vector<pollfd> fds{{wakeFd_, POLLIN, 0}, {listenFd_, POLLIN, 0}};
        for (const Connection& c : connections) fds.push_back({c.fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) break;
        if (fds[0].revents) break;
        if (fds[1].revents & POLLIN) {
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                connections.push_back({.fd = fd});
                note("open");
            }
        }
        for (std::size_t i = 2; i < fds.size(); ++i) {
            Connection& c = connections[i - 2];
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            std::uint8_t buffer[4096];
            const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                c.closed = true;
                continue;
            }
            c.in.insert(c.in.end(), buffer, buffer + n);
            serve(c);
        }
        for (Connection& c : connections) {
            if (!c.closed) continue;
            ::close(c.fd);
            note("close");
        }
        std::erase_if(connections, [](const Connection& c) { return c.closed; });
    }
    for (Connection& c : connections) ::close(c.fd);
}

void FakeDriver::serve(Connection& c) {
    const std::uint32_t setLogCode =
        options_.kind == sim::DriverKind::Filter ? IOCTL_BTFILTER_SET_LOG : IOCTL_UARTBUS_SET_LOG;
    const std::size_t chunks = options_.chunks.size();
    auto sendChunk = [&] {
        const bool last = nextChunk_ + 1 == chunks;
        if (last && options_.last == Last::AfterRadioGone)
            ::rmdir((options_.radioDir + "/hci0").c_str());
        sendAll(c.fd, dataReply(options_.chunks[nextChunk_++]));
        c.readPending = false;
        if (last && options_.last == Last::ThenHangUp) {
            ::shutdown(c.fd, SHUT_RDWR);
            c.closed = true;
        }
        std::lock_guard lock(mutex_);
        delivered_ = nextChunk_ == chunks;
        changed_.notify_all();
    };
    auto held = [&] { return options_.last == Last::OnSetLog && nextChunk_ + 1 == chunks; };

    while (!c.closed && c.in.size() >= kBridgeRequestHeaderSize) {
        const std::uint32_t code = loadU32Le(c.in.data());
        const std::uint32_t inputSize = loadU32Le(c.in.data() + 4);
        const std::uint32_t outputSize = loadU32Le(c.in.data() + 8);
        if (c.in.size() < kBridgeRequestHeaderSize + inputSize) return;
        const std::vector<std::uint8_t> input(c.in.begin() + kBridgeRequestHeaderSize,
                                              c.in.begin() + kBridgeRequestHeaderSize + inputSize);
        c.in.erase(c.in.begin(), c.in.begin() + kBridgeRequestHeaderSize + inputSize);
        const bool setLog = code == setLogCode;
        note(!setLog ? "read" : input.size() == 1 ? "stop" : input.back() == 1 ? "on" : "off");
        if (c.stuck || options_.fault == Fault::Silent) {
            c.stuck = true;
            continue;
        }
        if (options_.fault == Fault::HangsUpAtOnce) {
            ::shutdown(c.fd, SHUT_RDWR);
            c.closed = true;
            continue;
        }
        if (setLog && options_.fault == Fault::RefusesLogging) {
            sendAll(c.fd, reply(0, {1}));
            continue;
        }
        if (setLog) {
            if (c.readPending) {
                // Requests are answered in order: the read that waits goes first.
                if (held()) {
                    sendChunk();
                } else {
                    sendAll(c.fd, dataReply({}));
                    c.readPending = false;
                }
            }
            sendAll(c.fd, reply(0, {0}));
            continue;
        }
        switch (options_.fault) {
        case Fault::SilentReads: c.stuck = true; continue;
        case Fault::StopsMidReply:
            sendAll(c.fd, {0, 0, 0, 0});
            c.stuck = true;
            continue;
        case Fault::Oversize: {
            std::vector<std::uint8_t> r = dataReply({1, 2, 3});
            r.resize(kBridgeReplyHeaderSize + outputSize + 10, 0);
            storeU32Le(r.data() + 4, outputSize + 10);
            sendAll(c.fd, r);
            c.stuck = true;
            continue;
        }
        case Fault::HangsUp:
            ::shutdown(c.fd, SHUT_RDWR);
            c.closed = true;
            continue;
        case Fault::NoReply: {
            const std::string text = "this is no reply\n";
            sendAll(c.fd, std::vector<std::uint8_t>(text.begin(), text.end()));
            c.stuck = true;
            continue;
        }
        default: break;
        }
        if (nextChunk_ < chunks && !held()) {
            sendChunk();
        } else {
            c.readPending = true;
            std::lock_guard lock(mutex_);
            delivered_ = nextChunk_ == chunks || held();
            changed_.notify_all();
        }
    }
}

}  // namespace nimbrel::test
