// A driver device reached through the device bridge: opening it connects to its socket in
// the device folder, a control request sends one message and waits for its reply, closing
// it ends every pending request at once.
//
// Device folder: NIMBREL_DEVICE_DIR when set, else $XDG_RUNTIME_DIR/nimbrel, else
// /tmp/nimbrel-<uid>.
//
// Threads: any number of threads may issue requests on one open device; they are sent and
// answered in order, without a time-out unless the caller gives one. close() may come from
// any thread: it shuts the socket down so that every pending request ends (ECANCELED, or
// the reason close() was given), waits until no request uses the descriptor any more and
// only then closes it, so a descriptor number is never reused while a request still holds
// it. A reply that had arrived whole before the close still counts.
#pragma once

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/control_device.h"  // ControlResult

namespace nimbrel {

// The folder that holds the device sockets, read at the moment of use.
std::string deviceDirectory();
// deviceDirectory() + "/" + name.
std::string devicePath(std::string_view name);

class BridgeDevice {
public:
    using Deadline = std::chrono::steady_clock::time_point;
    static constexpr Deadline kNoDeadline = Deadline::max();

    BridgeDevice() = default;
    ~BridgeDevice();
    BridgeDevice(const BridgeDevice&) = delete;
    BridgeDevice& operator=(const BridgeDevice&) = delete;

    // Connects to the socket at `path`. Returns 0 or an errno value; EISCONN when this
    // object is open already (it stays open).
    int open(const std::string& path);
    bool isOpen() const;

    // One control request. Without a reply by `closeAt` the device is closed, which ends
    // this request and every other pending one with ETIMEDOUT. Errors: EBADF when not open,
    // ECANCELED (or the reason given to close()) when close() ended it, ETIMEDOUT, EPIPE
    // when the driver side closed the connection, EPROTO when it sent something that is no
    // reply (more output than asked for, output with a failure, a status that is no errno
    // value), EMSGSIZE for sizes above the bridge's limit, or the status the driver side
    // replied with. After EPIPE or EPROTO the connection is out of step: every further
    // request fails the same way until the device is closed.
    ControlResult control(std::uint32_t code, const void* input, std::uint32_t inputSize,
                          void* output, std::uint32_t outputSize, Deadline closeAt = kNoDeadline);

    // Closes the device and ends pending requests with `reason`. True when this call closed
    // it.
    bool close(int reason = ECANCELED);

private:
    bool enter(int& fd, std::uint64_t& ticket, const void* input, std::uint32_t inputSize,
               std::uint32_t code, std::uint32_t outputSize, int& error);
    // Waits until the request holding `ticket` may read its reply; 0 or why it may not.
    int awaitTurn(std::uint64_t ticket, Deadline closeAt);
    // 0 when no close() is under way, else the reason it was given.
    int closeReason() const;
    // `fault`: the connection is out of step from here on (0: it is not).
    void leave(int fault);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::mutex sendMutex_;  // one request message on the socket at a time
    int fd_ = -1;
    int users_ = 0;
    bool closing_ = false;
    int closeReason_ = 0;
    int brokenError_ = 0;              // why the connection is out of step; 0 while it is not
    std::uint64_t nextTicket_ = 0;     // order of the requests sent
    std::uint64_t servingTicket_ = 0;  // the request whose reply is read next
};

}  // namespace nimbrel
