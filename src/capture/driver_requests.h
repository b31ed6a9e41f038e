// The requests the filter-driver and UART-driver routes make of their drivers: open the
// device, switch logging on, off or stop it, and fetch log data. Both drivers share one
// request procedure and one reply layout (capture/driver_codes.h); they differ in device
// and control codes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>

#include "capture/driver_codes.h"
#include "platform/control_device.h"

namespace nimbrel {

// The shared request procedure: one control request on `device`, waiting for its reply
// without a time-out. True when it completed, returned at least one byte and the first
// byte is 0. `returned` (optional) receives the number of output bytes.
bool sendDriverRequest(ControlDevice& device, std::uint32_t code,
                       std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                       std::uint32_t* returned = nullptr);

// A reply buffer of the read request.
using ReadLogReply = std::array<std::uint8_t, kReadLogReplySize>;

struct ReadLogResult {
    bool counted = false;      // the request completed with status 0
    std::size_t dataSize = 0;  // log bytes at reply.data() + kReadLogHeaderSize
};

// The data bytes of a read reply with `returned` bytes: n - 1 for a length n of 1..1025
// (the driver side ends the data with a zero that is not part of the log), never more
// than the reply holds; 0 when the reply does not count or carries no data.
ReadLogResult readLogData(const ReadLogReply& reply, std::uint32_t returned, bool completed);

// One driver device with its control codes. Opening, switching logging and closing are
// serialised, so that a device is closed once and no set-log request goes to a device
// another thread is closing; read requests run beside them and end when it closes.
class DriverDevice {
public:
    DriverDevice(const char* deviceName, std::uint32_t setLogCode, std::uint32_t readLogCode)
        : name_(deviceName), setLogCode_(setLogCode), readLogCode_(readLogCode) {}

    // Opens the device unless it is open; true when it is open afterwards.
    bool open();
    // Sends the 4-byte set-log request with `state` (1 on, 0 off), opening the device
    // first. False on any failure.
    bool enableLog(std::uint8_t state);
    // Unless the device is closed: sends the 1-byte stop request (its result is ignored)
    // and closes the device. Always true.
    bool disableLog();
    // One read request into `reply`. A closed device makes no request (not counted).
    ReadLogResult readLog(ReadLogReply& reply);

    bool isOpen() const { return device_.isOpen(); }
    ControlDevice& control() { return device_; }
    const char* name() const { return name_; }

private:
    bool openLocked();

    const char* name_;
    std::uint32_t setLogCode_;
    std::uint32_t readLogCode_;
    std::mutex mutex_;
    ControlDevice device_;
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
