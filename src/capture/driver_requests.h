// The requests the filter-driver and UART-driver routes make of their drivers: open the
// device, switch logging on, off or stop it, and fetch log data. Both drivers share one
// request procedure and one reply layout (platform/driver_codes.h); they differ in device
// and control codes.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/control_device.h"
#include "platform/driver_codes.h"

namespace nimbrel {

// How long a stop lets the driver answer its off and stop forms before it closes the
// device, which ends them and any read still pending: a driver that does not answer
// cannot hold a stop up. A driver that left the last stop unanswered, and has answered
// nothing since, is not waited for again: stops that follow one another (File > New,
// the close request and the view's end) add no further wait.
inline constexpr std::chrono::milliseconds kDriverStopWait{500};

// The shared request procedure: one control request on `device`, waiting for its reply
// without a time-out unless `closeAt` says when the device is to be closed instead. True
// when it completed, returned at least one byte and the first byte is 0. `returned`
// (optional) receives the number of output bytes, `error` (optional) the request's errno
// value (0 when the driver answered).
bool sendDriverRequest(ControlDevice& device, std::uint32_t code,
                       std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                       std::uint32_t* returned = nullptr, int* error = nullptr,
                       ControlDevice::Deadline closeAt = ControlDevice::kNoDeadline);

// A reply buffer of the read request.
using ReadLogReply = std::array<std::uint8_t, kReadLogReplySize>;

struct ReadLogResult {
    bool counted = false;      // the request completed with status 0
    std::size_t dataSize = 0;  // log bytes at reply.data() + kReadLogHeaderSize
    int error = 0;             // errno value of a request that did not complete
};

// The data bytes of a read reply with `returned` bytes: n - 1 for a length n of 1..1025
// (the driver side ends the data with a zero that is not part of the log), never more
// than the reply holds; 0 when the reply does not count or carries no data.
ReadLogResult readLogData(const ReadLogReply& reply, std::uint32_t returned, bool completed);

// The device bridge's own protocol was broken by the driver side: it closed the
// connection, or sent something that is no reply. A real driver never does this (on
// Windows the driver's device is no bridge).
bool isBridgeProtocolFault(int error);

// Why the last set-log request failed: a request error, or the status byte the driver
// answered with.
struct SetLogFailure {
    int error = 0;   // errno value; 0 when the driver answered
    int status = 0;  // the driver's status byte when error is 0 (-1: no byte came back)
};

// One driver device with its control codes. Requests may come from several threads at
// once (the capture thread's read, a stop's set-log forms, a removal's stop form); the
// bridge answers them in order and a close ends every one still waiting.
class DriverDevice {
public:
    DriverDevice(const char* deviceName, std::uint32_t setLogCode, std::uint32_t readLogCode)
        : name_(deviceName), setLogCode_(setLogCode), readLogCode_(readLogCode) {}

    // Opens the device unless it is open; true when it is open afterwards.
    bool open();
    // Sends the 4-byte set-log request with `state` (1 on, 0 off), opening the device
    // first. False on any failure.
    bool enableLog(std::uint8_t state,
                   ControlDevice::Deadline closeAt = ControlDevice::kNoDeadline);
    // The same request on the device as it is: fails when it is closed (it is not
    // opened again, so that a device a stop has closed stays closed).
    bool setLog(std::uint8_t state, ControlDevice::Deadline closeAt = ControlDevice::kNoDeadline);
    // Unless the device is closed: sends the 1-byte stop request (its result is ignored;
    // without an answer by `closeAt` the close ends it) and closes the device. Always true.
    bool disableLog(ControlDevice::Deadline closeAt);
    bool disableLog() { return disableLog(stopDeadline()); }
    // A stop's steps: logging off (opening the device if it was closed), then the stop
    // form and the device closed, all within kDriverStopWait.
    void stopLogging();
    // One read request into `reply`. A closed device makes no request (not counted).
    ReadLogResult readLog(ReadLogReply& reply);
    // Closes the device; requests still waiting end.
    void close() { device_.close(); }

    bool isOpen() const { return device_.isOpen(); }
    ControlDevice& control() { return device_; }
    const char* name() const { return name_; }

    // Why the last set-log request failed.
    SetLogFailure lastSetLogFailure() const;

    // Faults since resetFaults(), for the capture's report: requests that failed because
    // the driver side broke the bridge's protocol (the first one's error), and whether a
    // stop had to close the device because the driver did not answer in time.
    void resetFaults();
    std::uint64_t protocolFaults() const { return protocolFaults_.load(); }
    int firstProtocolFault() const { return firstProtocolFault_.load(); }
    // Whether the last request that completed or failed failed with a protocol fault.
    bool failing() const { return failing_.load(); }
    bool stopTimedOut() const { return stopTimedOut_.load(); }

private:
    ControlDevice::Deadline stopDeadline() const {
        return std::chrono::steady_clock::now() +
               (stopUnanswered_.load() ? std::chrono::milliseconds(0) : kDriverStopWait);
    }
    void noteResult(int error);
    void noteStopTimedOut();

    const char* name_;
    std::uint32_t setLogCode_;
    std::uint32_t readLogCode_;
    ControlDevice device_;
    std::atomic<int> setLogError_{0};
    std::atomic<int> setLogStatus_{0};
    std::atomic<std::uint64_t> protocolFaults_{0};
    std::atomic<int> firstProtocolFault_{0};
    std::atomic<bool> failing_{false};
    std::atomic<bool> stopTimedOut_{false};
    std::atomic<bool> stopUnanswered_{false};  // since the last answer of the driver
};

// The process-wide devices (one capture route at a time).
DriverDevice& filterDriver();
DriverDevice& uartDriver();

bool OpenFilterDevice();
bool EnableFilterLog(std::uint8_t state);
bool DisableFilterLog();
bool OpenUartDevice();
bool EnableUartLog(std::uint8_t state);
bool DisableUartLog();

}  // namespace nimbrel
