#include "platform/device_bridge.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
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

// Receives exactly size bytes; 0, or an errno value (EPIPE when the peer closed).
int recvAll(int fd, std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::recv(fd, data, size, 0);
        if (n == 0) return EPIPE;
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

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
    broken_ = false;
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
        if (broken_) {
            error = EPIPE;
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

void BridgeDevice::leave(bool broken) {
    std::lock_guard lock(mutex_);
    if (broken) broken_ = true;
    ++servingTicket_;
    --users_;
    changed_.notify_all();
}

ControlResult BridgeDevice::control(std::uint32_t code, const void* input, std::uint32_t inputSize,
                                    void* output, std::uint32_t outputSize) {
    if (inputSize > kBridgeMaxPayload || outputSize > kBridgeMaxPayload) return {EMSGSIZE, 0};
    int fd = -1;
    std::uint64_t ticket = 0;
    int error = 0;
    if (!enter(fd, ticket, input, inputSize, code, outputSize, error)) return {error, 0};

    if (error != 0) {
        // The message did not get through whole: the stream is out of step from here on.
        bool closed;
        {
            std::lock_guard lock(mutex_);
            closed = closing_;
        }
        leave(true);
        return {closed ? ECANCELED : EPIPE, 0};
    }

    // Wait for our turn to read a reply; close() ends the wait.
    bool cancelled = false;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return closing_ || broken_ || servingTicket_ == ticket; });
        cancelled = closing_;
        if (!cancelled && broken_) error = EPIPE;
    }
    if (cancelled || error != 0) {
        leave(true);
        return {cancelled ? ECANCELED : error, 0};
    }

    std::uint8_t header[kBridgeReplyHeaderSize];
    error = recvAll(fd, header, sizeof header);
    std::uint32_t status = 0;
    std::uint32_t returned = 0;
    if (error == 0) {
        status = loadU32Le(header);
        returned = loadU32Le(header + 4);
        // More than asked for, or output with a failure, breaks the protocol.
        if (returned > outputSize || (status != 0 && returned != 0)) error = EPIPE;
    }
    if (error == 0 && returned > 0)
        error = recvAll(fd, static_cast<std::uint8_t*>(output), returned);

    bool closed = false;
    {
        std::lock_guard lock(mutex_);
        closed = closing_;
    }
    if (closed) {
        leave(true);
        return {ECANCELED, 0};
    }
    if (error != 0) {
        leave(true);
        return {error == ECONNRESET ? EPIPE : error, 0};
    }
    leave(false);
    if (status != 0) return {static_cast<int>(status), 0};
    return {0, returned};
}

bool BridgeDevice::close() {
    std::unique_lock lock(mutex_);
    if (fd_ < 0) return false;
    if (closing_) {
        changed_.wait(lock, [this] { return fd_ < 0; });
        return false;
    }
    closing_ = true;
    // Ends blocked sends and receives at once; the descriptor itself stays valid until
    // every request has left it.
    ::shutdown(fd_, SHUT_RDWR);
    changed_.notify_all();
    changed_.wait(lock, [this] { return users_ == 0; });
    ::close(fd_);
    fd_ = -1;
    closing_ = false;
    broken_ = false;
    changed_.notify_all();
    return true;
}

}  // namespace nimbrel
