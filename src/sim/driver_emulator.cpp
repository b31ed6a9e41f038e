#include "sim/driver_emulator.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "platform/device_bridge_protocol.h"
#include "platform/driver_codes.h"
#include "platform/program_folder.h"
#include "sim/log_generator.h"

namespace nimbrel::sim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPollSliceMs = 20;                 // longest wait between looks at the stop flag
constexpr std::size_t kLogBufferCap = 4u << 20;  // the driver's buffer: generation pauses when full
constexpr std::size_t kReceiveChunk = 16384;
constexpr const char* kRadioEntry = "hci0";

struct Connection {
    int fd = -1;
    int id = 0;
    std::vector<std::uint8_t> in;
    std::vector<std::uint8_t> out;
    std::size_t outOffset = 0;
    bool readPending = false;
    std::uint32_t pendingOutputSize = 0;
    std::uint64_t reads = 0;
    std::uint64_t bytes = 0;
    bool closed = false;
};

struct Request {
    std::uint32_t code = 0;
    std::uint32_t outputSize = 0;
    std::vector<std::uint8_t> input;
};

const char* setLogFormName(const std::vector<std::uint8_t>& in) {
    if (in.size() == 1 && in[0] == 0) return "stop";
    if (in.size() == 4 && std::equal(in.begin(), in.begin() + 3, kSetLogOn.begin())) {
        if (in[3] == 1) return "on";
        if (in[3] == 0) return "off";
    }
    return nullptr;
}

}  // namespace

struct DriverEmulator::Impl {
    Impl(DriverEmulatorOptions o, DriverEmulatorStats& s)
        : options(std::move(o)),
          stats(s),
          generator(options.seed),
          rng(options.seed ^ 0x9E3779B97F4A7C15ull) {
        setLogCode =
            options.kind == DriverKind::Filter ? IOCTL_BTFILTER_SET_LOG : IOCTL_UARTBUS_SET_LOG;
        readLogCode =
            options.kind == DriverKind::Filter ? IOCTL_BTFILTER_READ_LOG : IOCTL_UARTBUS_READ_LOG;
        if (!(options.recordsPerSecond > 0) || !std::isfinite(options.recordsPerSecond))
            options.recordsPerSecond = 0;
    }

    DriverEmulatorOptions options;
    DriverEmulatorStats& stats;
    LogGenerator generator;
    std::mt19937_64 rng;
    std::uint32_t setLogCode = 0;
    std::uint32_t readLogCode = 0;

    int listenFd = -1;
    std::vector<Connection> connections;
    int nextId = 1;

    std::vector<std::uint8_t> log;  // buffered firmware log, from logHead on
    std::size_t logHead = 0;
    std::uint64_t generated = 0;
    bool logging = false;
    bool radioPresent = true;
    bool radioEntryMade = false;
    bool radioOffDone = false;
    bool radioOnDone = false;
    Clock::time_point start;
    Clock::time_point scheduleStart;
    std::uint64_t scheduleBase = 0;

    void note(const std::string& line) {
        if (options.requestLog) options.requestLog(line);
    }

    std::string radioPath() const { return options.radioDir + "/" + kRadioEntry; }

    void setRadio(bool present) {
        radioPresent = present;
        stats.radioPresent = present;
        if (!options.radioDir.empty()) {
            if (present) {
                makeFolders(options.radioDir);
                radioEntryMade = ::mkdir(radioPath().c_str(), 0755) == 0 || errno == EEXIST;
            } else {
                ::rmdir(radioPath().c_str());
                radioEntryMade = false;
            }
        }
        note(std::string("radio ") + kRadioEntry + (present ? " added" : " removed"));
        rebaseSchedule();
    }

    void applyRadioSchedule(Clock::time_point now) {
        const double elapsed = std::chrono::duration<double>(now - start).count();
        // Events due at the same pass apply in the order of their times.
        const bool offDue =
            !radioOffDone && options.radioOffAfterS >= 0 && elapsed >= options.radioOffAfterS;
        const bool onDue =
            !radioOnDone && options.radioOnAfterS >= 0 && elapsed >= options.radioOnAfterS;
        if (offDue && onDue && options.radioOnAfterS < options.radioOffAfterS) {
            radioOnDone = true;
            if (!radioPresent) setRadio(true);
        }
        if (offDue) {
            radioOffDone = true;
            if (radioPresent) setRadio(false);
        }
        if (onDue && !radioOnDone) {
            radioOnDone = true;
            if (!radioPresent) setRadio(true);
        }
    }

    bool producing() const {
        return logging && radioPresent &&
               (options.recordLimit == 0 || generated < options.recordLimit);
    }

    void rebaseSchedule() {
        scheduleStart = Clock::now();
        scheduleBase = generated;
    }

    std::size_t buffered() const { return log.size() - logHead; }

    void generateOne() {
        const SimRecord& r = generator.next();
        log.insert(log.end(), r.bytes.begin(), r.bytes.end());
        ++generated;
        stats.recordsGenerated.store(generated, std::memory_order_relaxed);
    }

    // Paced generation: the records due by now, as long as the buffer has room.
    void generatePaced(Clock::time_point now) {
        if (options.recordsPerSecond == 0 || !producing()) return;
        const double elapsed = std::chrono::duration<double>(now - scheduleStart).count();
        std::uint64_t due =
            scheduleBase + static_cast<std::uint64_t>(elapsed * options.recordsPerSecond);
        if (due > generated + static_cast<std::uint64_t>(options.recordsPerSecond) + 1) {
            // More than a second behind (the buffer was full): start the schedule afresh.
            rebaseSchedule();
            due = generated + 1;
        }
        while (generated < due && producing() && buffered() < kLogBufferCap) generateOne();
    }

    // Unpaced generation: enough for one full reply.
    void generateOnDemand() {
        if (options.recordsPerSecond != 0) return;
        while (buffered() < kReadLogMaxData && producing()) generateOne();
    }

    int msUntilNextRecord(Clock::time_point now) const {
        if (options.recordsPerSecond == 0 || !producing()) return kPollSliceMs;
        const double nextAt =
            static_cast<double>(generated + 1 - scheduleBase) / options.recordsPerSecond;
        const double elapsed = std::chrono::duration<double>(now - scheduleStart).count();
        const int ms = static_cast<int>(std::ceil((nextAt - elapsed) * 1000.0));
        return std::clamp(ms, 0, kPollSliceMs);
    }

    void compactLog() {
        if (logHead > (1u << 20) && logHead * 2 > log.size()) {
            log.erase(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(logHead));
            logHead = 0;
        }
    }

    static void reply(Connection& c, std::uint32_t status, const std::uint8_t* data,
                      std::uint32_t size) {
        std::uint8_t header[kBridgeReplyHeaderSize];
        storeU32Le(header, status);
        storeU32Le(header + 4, size);
        c.out.insert(c.out.end(), header, header + sizeof header);
        if (size > 0) c.out.insert(c.out.end(), data, data + size);
    }

    // A one-byte reply (set-log status, or a read's status byte alone), cut to the size
    // the request asked for.
    static void replyByte(Connection& c, std::uint8_t byte, std::uint32_t outputSize) {
        reply(c, 0, &byte, std::min<std::uint32_t>(outputSize, 1));
    }

    void replyData(Connection& c, std::uint32_t outputSize) {
        std::size_t k =
            std::min({buffered(), kReadLogMaxData, static_cast<std::size_t>(outputSize) - 4});
        if (options.randomReplySizes && k > 1) k = 1 + static_cast<std::size_t>(rng() % k);
        std::uint8_t payload[kReadLogHeaderSize + kReadLogDataArea];
        const std::uint16_t n = static_cast<std::uint16_t>(k + 1);
        payload[0] = 0;
        payload[1] = static_cast<std::uint8_t>(n);
        payload[2] = static_cast<std::uint8_t>(n >> 8);
        std::memcpy(payload + kReadLogHeaderSize, log.data() + logHead, k);
        payload[kReadLogHeaderSize + k] = 0;
        logHead += k;
        compactLog();
        c.bytes += k;
        stats.bytesSent.fetch_add(k, std::memory_order_relaxed);
        reply(c, 0, payload, static_cast<std::uint32_t>(kReadLogHeaderSize + k + 1));
    }

    // The next complete request in c.in, if any; a request over the size limit breaks the
    // connection.
    bool hasRequest(const Connection& c) const {
        if (c.in.size() < kBridgeRequestHeaderSize) return false;
        return c.in.size() >= kBridgeRequestHeaderSize + loadU32Le(c.in.data() + 4);
    }

    bool takeRequest(Connection& c, Request& r) {
        if (c.in.size() < kBridgeRequestHeaderSize) return false;
        const std::uint32_t inputSize = loadU32Le(c.in.data() + 4);
        if (inputSize > kBridgeMaxPayload) {
            note("connection " + std::to_string(c.id) + ": request too large, connection closed");
            c.closed = true;
            return false;
        }
        if (c.in.size() < kBridgeRequestHeaderSize + inputSize) return false;
        r.code = loadU32Le(c.in.data());
        r.outputSize = loadU32Le(c.in.data() + 8);
        r.input.assign(
            c.in.begin() + kBridgeRequestHeaderSize,
            c.in.begin() + static_cast<std::ptrdiff_t>(kBridgeRequestHeaderSize + inputSize));
        c.in.erase(c.in.begin(), c.in.begin() + static_cast<std::ptrdiff_t>(
                                                    kBridgeRequestHeaderSize + inputSize));
        return true;
    }

    // Answers a pending read when it can be answered; true when it was.
    bool answerPendingRead(Connection& c) {
        if (!radioPresent) {
            reply(c, ENODEV, nullptr, 0);
        } else {
            generateOnDemand();
            if (buffered() > 0) {
                replyData(c, c.pendingOutputSize);
            } else if (hasRequest(c)) {
                // A later request is waiting behind this read: the read ends empty.
                const std::uint8_t empty[kReadLogHeaderSize] = {0, 0, 0};
                reply(c, 0, empty,
                      std::min<std::uint32_t>(c.pendingOutputSize, kReadLogHeaderSize));
            } else {
                return false;
            }
        }
        c.readPending = false;
        return true;
    }

    void handle(Connection& c, const Request& r) {
        if (r.code == setLogCode) {
            const char* form = setLogFormName(r.input);
            if (!form) {
                note("connection " + std::to_string(c.id) + ": set-log with an unknown form of " +
                     std::to_string(r.input.size()) + " bytes");
                replyByte(c, 1, r.outputSize);
                return;
            }
            const bool on = std::strcmp(form, "on") == 0;
            if (on && !logging) rebaseSchedule();
            logging = on;
            note("connection " + std::to_string(c.id) + ": set-log " + form);
            replyByte(c, 0, r.outputSize);
            return;
        }
        if (r.code == readLogCode) {
            ++c.reads;
            stats.reads.fetch_add(1, std::memory_order_relaxed);
            if (r.outputSize < kReadLogHeaderSize + 1) {
                replyByte(c, 1, r.outputSize);  // no room for any data
                return;
            }
            generateOnDemand();
            if (radioPresent && !logging && buffered() == 0) {
                replyByte(c, 1, r.outputSize);
                return;
            }
            c.readPending = true;
            c.pendingOutputSize = r.outputSize;
            answerPendingRead(c);
            return;
        }
        note("connection " + std::to_string(c.id) + ": unknown control code " +
             std::to_string(r.code));
        reply(c, EINVAL, nullptr, 0);
    }

    void serve(Connection& c) {
        for (;;) {
            if (c.closed) return;
            if (c.readPending && !answerPendingRead(c)) return;
            Request r;
            if (!takeRequest(c, r)) return;
            handle(c, r);
        }
    }

    void flush(Connection& c) {
        while (c.outOffset < c.out.size()) {
            const ssize_t n =
                ::send(c.fd, c.out.data() + c.outOffset, c.out.size() - c.outOffset, MSG_NOSIGNAL);
            if (n > 0) {
                c.outOffset += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
            c.closed = true;
            return;
        }
        c.out.clear();
        c.outOffset = 0;
    }

    void receive(Connection& c) {
        std::uint8_t buffer[kReceiveChunk];
        for (;;) {
            const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                c.in.insert(c.in.end(), buffer, buffer + n);
                if (static_cast<std::size_t>(n) < sizeof buffer) return;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
            c.closed = true;  // the capture side closed the device
            return;
        }
    }

    void acceptAll() {
        for (;;) {
            const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno == EINTR) continue;
                return;
            }
            Connection c;
            c.fd = fd;
            c.id = nextId++;
            note("connection " + std::to_string(c.id) + ": open");
            connections.push_back(std::move(c));
        }
    }

    void dropClosed() {
        for (Connection& c : connections) {
            if (!c.closed) continue;
            ::close(c.fd);
            note("connection " + std::to_string(c.id) + ": close after " + std::to_string(c.reads) +
                 " reads, " + std::to_string(c.bytes) + " bytes");
        }
        std::erase_if(connections, [](const Connection& c) { return c.closed; });
    }
};

DriverEmulator::DriverEmulator(DriverEmulatorOptions options)
    : impl_(std::make_unique<Impl>(std::move(options), stats_)) {}

DriverEmulator::~DriverEmulator() {
    for (Connection& c : impl_->connections) ::close(c.fd);
    if (impl_->listenFd >= 0) {
        ::close(impl_->listenFd);
        ::unlink(impl_->options.socketPath.c_str());
    }
    if (impl_->radioEntryMade) ::rmdir(impl_->radioPath().c_str());
}

int DriverEmulator::listen() {
    Impl& d = *impl_;
    const std::string& path = d.options.socketPath;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return ENAMETOOLONG;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        const std::string folder = path.substr(0, slash);
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0) {
            if (!makeFolders(folder)) return errno ? errno : EACCES;
            ::chmod(folder.c_str(), 0700);
        }
    }

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return errno;
    int bound =
        ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? 0 : errno;
    if (bound == EADDRINUSE) {
        // A socket file is left over: replace it unless someone still serves it.
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool served =
            probe >= 0 &&
            ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        if (probe >= 0) ::close(probe);
        if (served) {
            ::close(fd);
            return EADDRINUSE;
        }
        ::unlink(path.c_str());
        bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0
                    ? 0
                    : errno;
    }
    if (bound != 0) {
        ::close(fd);
        return bound;
    }
    if (::listen(fd, 16) != 0) {
        const int err = errno;
        ::close(fd);
        return err;
    }
    d.listenFd = fd;
    return 0;
}

void DriverEmulator::run(const std::atomic<bool>& stop) {
    Impl& d = *impl_;
    d.start = Clock::now();
    d.rebaseSchedule();
    const bool presentAtStart =
        !(d.options.radioOnAfterS >= 0 &&
          (d.options.radioOffAfterS < 0 || d.options.radioOnAfterS < d.options.radioOffAfterS));
    d.setRadio(presentAtStart);

    std::vector<pollfd> fds;
    while (!stop.load(std::memory_order_relaxed)) {
        const Clock::time_point now = Clock::now();
        d.applyRadioSchedule(now);
        d.generatePaced(now);
        for (Connection& c : d.connections) {
            d.serve(c);
            d.flush(c);
        }
        d.dropClosed();

        fds.clear();
        fds.push_back({d.listenFd, POLLIN, 0});
        for (const Connection& c : d.connections) {
            const short events =
                static_cast<short>(POLLIN | (c.outOffset < c.out.size() ? POLLOUT : 0));
            fds.push_back({c.fd, events, 0});
        }
        const bool waiting = std::any_of(d.connections.begin(), d.connections.end(),
                                         [](const Connection& c) { return c.readPending; });
        const int timeout = waiting ? d.msUntilNextRecord(Clock::now()) : kPollSliceMs;
        const int rc = ::poll(fds.data(), fds.size(), timeout);
        if (rc < 0 && errno != EINTR) break;
        if (rc <= 0) continue;
        if (fds[0].revents & POLLIN) d.acceptAll();
        for (std::size_t i = 1; i < fds.size() && i - 1 < d.connections.size(); ++i) {
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) d.receive(d.connections[i - 1]);
        }
    }
    for (Connection& c : d.connections) c.closed = true;
    d.dropClosed();
    d.note("records generated " + std::to_string(d.generated) + ", bytes sent " +
           std::to_string(stats_.bytesSent.load()));
}

}  // namespace nimbrel::sim
