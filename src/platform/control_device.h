// A driver device that takes I/O control requests: the filter driver and the UART bus
// driver. On Windows it is the driver's own device (\\.\BtFilter,
// \\.\CorvaneUartBus\CorvaneSocket.CorvaneInitSocketModule) with overlapped requests; on
// Linux it is its stand-in behind the device bridge (platform/device_bridge.h).
//
// Threads: any number of threads may issue requests on one open device; a request waits
// for its reply without a time-out unless its caller gives one. close() may come from any
// thread: it ends every pending request (ECANCELED, or the reason close() was given) and
// closes the device once no request uses it any more. A reply that came whole before the
// close still counts. Every way of stopping a capture ends its requests this way.
#pragma once

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace nimbrel {

// The names the capture layer knows the drivers' devices by.
inline constexpr const char* kFilterDeviceName = "BtFilter";
inline constexpr const char* kUartDeviceName = "CorvaneUartBus";

// Where the device of that name is opened: the Windows device path, or the device bridge's
// socket.
std::string controlDevicePath(std::string_view deviceName);

struct ControlResult {
    int error = 0;               // 0: the request completed; else an errno value
    std::uint32_t returned = 0;  // output bytes placed in the caller's buffer
    bool ok() const { return error == 0; }
};

class ControlDevice {
public:
    using Deadline = std::chrono::steady_clock::time_point;
    static constexpr Deadline kNoDeadline = Deadline::max();

    ControlDevice();
    ~ControlDevice();
    ControlDevice(const ControlDevice&) = delete;
    ControlDevice& operator=(const ControlDevice&) = delete;

    // Opens the device named `deviceName` (kFilterDeviceName, kUartDeviceName). Returns 0
    // or an errno value; EISCONN when this object is open already (it stays open).
    int open(std::string_view deviceName);
    bool isOpen() const;

    // One control request. Without a reply by `closeAt` the device is closed, which ends
    // this request and every other pending one with ETIMEDOUT. Errors: EBADF when not open,
    // ECANCELED (or the reason given to close()) when close() ended it, ETIMEDOUT, EPIPE
    // when the device went away, EPROTO when the device bridge's peer sent something that is
    // no reply, or the failure the driver reported.
    ControlResult control(std::uint32_t code, const void* input, std::uint32_t inputSize,
                          void* output, std::uint32_t outputSize, Deadline closeAt = kNoDeadline);

    // Closes the device and ends pending requests with `reason`. True when this call closed
    // it.
    bool close(int reason = ECANCELED);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace nimbrel
