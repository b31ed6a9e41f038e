// A driver device reached through the device bridge: opening it connects to its socket in
// the device folder, a control request sends one message and waits for its reply, closing
// it ends every pending request at once.
//
// Device folder: NIMBREL_DEVICE_DIR when set, else $XDG_RUNTIME_DIR/nimbrel, else
// /tmp/nimbrel-<uid>.
//
// Threads: any number of threads may issue requests on one open device; they are sent and
// answered in order, without a time-out. close() may come from any thread: it shuts the
// socket down so that every pending request ends with ECANCELED, waits until no request
// uses the descriptor any more and only then closes it, so a descriptor number is never
// reused while a request still holds it.
#pragma once

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
    BridgeDevice() = default;
    ~BridgeDevice();
    BridgeDevice(const BridgeDevice&) = delete;
    BridgeDevice& operator=(const BridgeDevice&) = delete;

    // Connects to the socket at `path`. Returns 0 or an errno value; EISCONN when this
    // object is open already (it stays open).
    int open(const std::string& path);
    bool isOpen() const;

    // One control request. Errors: EBADF when not open, ECANCELED when close() ended it,
    // EPIPE when the driver side went away or broke the protocol (the connection is then
    // unusable until it is closed), EMSGSIZE for sizes above the bridge's limit, or the
    // status the driver side replied with.
    ControlResult control(std::uint32_t code, const void* input, std::uint32_t inputSize,
                          void* output, std::uint32_t outputSize);

    // Closes the device and ends pending requests. True when this call closed it.
    bool close();

private:
    bool enter(int& fd, std::uint64_t& ticket, const void* input, std::uint32_t inputSize,
               std::uint32_t code, std::uint32_t outputSize, int& error);
    void leave(bool broken);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::mutex sendMutex_;  // one request message on the socket at a time
    int fd_ = -1;
    int users_ = 0;
    bool closing_ = false;
    bool broken_ = false;
    std::uint64_t nextTicket_ = 0;     // order of the requests sent
    std::uint64_t servingTicket_ = 0;  // the request whose reply is read next
};

}  // namespace nimbrel
