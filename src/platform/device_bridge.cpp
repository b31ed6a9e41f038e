#include "platform/device_bridge.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "platform/device_bridge_protocol.h"

namespace nimbrel {
namespace {

// Sends all bytes; 0 or an errno value.
int sendAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

// Milliseconds left until `closeAt`, for poll (-1: no deadline).
int pollTimeout(BridgeDevice::Deadline closeAt) {
    if (closeAt == BridgeDevice::kNoDeadline) return -1;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(closeAt - std::chrono::steady_clock::now())
            .count();
    if (left <= 0) return 0;
    return left > 60000 ? 60000 : static_cast<int>(left);
}

// Receives exactly size bytes; 0, or an errno value (EPIPE when the peer closed, ETIMEDOUT
// when `closeAt` passed first).
int recvAll(int fd, std::uint8_t* data, std::size_t size, BridgeDevice::Deadline closeAt) {
    while (size > 0) {
        if (closeAt != BridgeDevice::kNoDeadline) {
            pollfd p{fd, POLLIN, 0};
            const int rc = ::poll(&p, 1, pollTimeout(closeAt));
            if (rc < 0 && errno == EINTR) continue;
            if (rc < 0) return errno;
            if (rc == 0) {
                if (pollTimeout(closeAt) == 0) return ETIMEDOUT;
                continue;
            }
        }
        const ssize_t n = ::recv(fd, data, size, 0);
        if (n == 0) return EPIPE;
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno == ECONNRESET ? EPIPE : errno;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

// The largest status a reply may carry: errno values lie below it.
constexpr std::uint32_t kMaxReplyStatus = 4095;

}  // namespace

std::string deviceDirectory() {
    if (const char* dir = std::getenv("NIMBREL_DEVICE_DIR"); dir && *dir) return dir;
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run)
        return std::string(run) + "/nimbrel";
    return "/tmp/nimbrel-" + std::to_string(::getuid());
}

std::string devicePath(std::string_view name) {
    return deviceDirectory() + "/" + std::string(name);
}

BridgeDevice::~BridgeDevice() { close(); }

int BridgeDevice::open(const std::string& path) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !closing_; });
    if (fd_ >= 0) return EISCONN;

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return ENAMETOOLONG;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return errno;
    int rc;
    do {
        rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int err = errno;
        ::close(fd);
        return err;
    }
    fd_ = fd;
    brokenError_ = 0;
    nextTicket_ = 0;
    servingTicket_ = 0;
    return 0;
}

bool BridgeDevice::isOpen() const {
    std::lock_guard lock(mutex_);
    return fd_ >= 0 && !closing_;
}

// Registers a request and sends its message; on success the caller holds a ticket for
// its place in the reply order and must call leave().
bool BridgeDevice::enter(int& fd, std::uint64_t& ticket, const void* input, std::uint32_t inputSize,
                         std::uint32_t code, std::uint32_t outputSize, int& error) {
    {
        std::lock_guard lock(mutex_);
        if (fd_ < 0 || closing_) {
            error = EBADF;
            return false;
        }
        if (brokenError_ != 0) {
            error = brokenError_;
            return false;
        }
        ++users_;
        fd = fd_;
    }
    std::vector<std::uint8_t> message(kBridgeRequestHeaderSize + inputSize);
    storeU32Le(message.data(), code);
    storeU32Le(message.data() + 4, inputSize);
    storeU32Le(message.data() + 8, outputSize);
    if (inputSize > 0) std::memcpy(message.data() + kBridgeRequestHeaderSize, input, inputSize);

    // Taking the ticket and sending under one lock keeps the reply order equal to the
    // order of the messages on the socket.
    std::lock_guard send(sendMutex_);
    {
        std::lock_guard lock(mutex_);
        ticket = nextTicket_++;
    }
    error = sendAll(fd, message.data(), message.size());
    return true;
}

void BridgeDevice::leave(int fault) {
    std::lock_guard lock(mutex_);
    if (fault != 0 && brokenError_ == 0) brokenError_ = fault;
    ++servingTicket_;
    --users_;
    changed_.notify_all();
}

int BridgeDevice::closeReason() const {
    std::lock_guard lock(mutex_);
    return closing_ ? closeReason_ : 0;
}

int BridgeDevice::awaitTurn(std::uint64_t ticket, Deadline closeAt) {
    std::unique_lock lock(mutex_);
    auto ready = [&] { return closing_ || brokenError_ != 0 || servingTicket_ == ticket; };
    bool inTime = true;
    if (closeAt == kNoDeadline) {
        changed_.wait(lock, ready);
    } else {
        inTime = changed_.wait_until(lock, closeAt, ready);
    }
    if (closing_) return closeReason_;
    if (brokenError_ != 0) return brokenError_;
    return inTime ? 0 : ETIMEDOUT;
}

ControlResult BridgeDevice::control(std::uint32_t code, const void* input, std::uint32_t inputSize,
                                    void* output, std::uint32_t outputSize, Deadline closeAt) {
    if (inputSize > kBridgeMaxPayload || outputSize > kBridgeMaxPayload) return {EMSGSIZE, 0};
    int fd = -1;
    std::uint64_t ticket = 0;
    int error = 0;
    if (!enter(fd, ticket, input, inputSize, code, outputSize, error)) return {error, 0};

    if (error != 0) {
        // The message did not get through whole: the stream is out of step from here on.
        const int closed = closeReason();
        leave(EPIPE);
        return {closed != 0 ? closed : EPIPE, 0};
    }

    error = awaitTurn(ticket, closeAt);
    std::uint32_t status = 0;
    std::uint32_t returned = 0;
    if (error == 0) {
        std::uint8_t header[kBridgeReplyHeaderSize];
        error = recvAll(fd, header, sizeof header, closeAt);
        if (error == 0) {
            status = loadU32Le(header);
            returned = loadU32Le(header + 4);
            if (returned > outputSize || (status != 0 && returned != 0) ||
                status > kMaxReplyStatus) {
                error = EPROTO;
            }
        }
        if (error == 0 && returned > 0)
            error = recvAll(fd, static_cast<std::uint8_t*>(output), returned, closeAt);
    }

    if (error == 0) {
        // A reply that arrived whole stands, even when a close began meanwhile: the driver
        // delivered it before its device was closed.
        leave(0);
        if (status != 0) return {static_cast<int>(status), 0};
        return {0, returned};
    }
    if (const int closed = closeReason(); closed != 0) {
        leave(closed);
        return {closed, 0};
    }
    leave(error);
    if (error == ETIMEDOUT) close(ETIMEDOUT);  // ends every other pending request too
    return {error, 0};
}

bool BridgeDevice::close(int reason) {
    std::unique_lock lock(mutex_);
    if (fd_ < 0) return false;
    if (closing_) {
        changed_.wait(lock, [this] { return fd_ < 0; });
        return false;
    }
    closing_ = true;
    closeReason_ = reason;
    // Ends blocked sends and receives at once; the descriptor itself stays valid until
    // every request has left it.
    ::shutdown(fd_, SHUT_RDWR);
    changed_.notify_all();
    changed_.wait(lock, [this] { return users_ == 0; });
    ::close(fd_);
    fd_ = -1;
    closing_ = false;
    closeReason_ = 0;
    brokenError_ = 0;
    changed_.notify_all();
    return true;
}

}  // namespace nimbrel
