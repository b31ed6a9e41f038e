#include "capture/driver_requests.h"

#include <algorithm>
#include <cerrno>

namespace nimbrel {

bool sendDriverRequest(ControlDevice& device, std::uint32_t code,
                       std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                       std::uint32_t* returned) {
    const ControlResult r =
        device.control(code, input.data(), static_cast<std::uint32_t>(input.size()), output.data(),
                       static_cast<std::uint32_t>(output.size()));
    if (returned) *returned = r.returned;
    return r.ok() && r.returned >= 1 && output[0] == 0;
}

ReadLogResult readLogData(const ReadLogReply& reply, std::uint32_t returned, bool completed) {
    if (!completed) return {};
    if (returned < kReadLogHeaderSize) return {true, 0};
    const std::size_t n = static_cast<std::size_t>(reply[1]) | static_cast<std::size_t>(reply[2])
                                                                   << 8;
    if (n == 0 || n > kReadLogDataArea + 1) return {true, 0};
    const std::size_t inReply = returned - kReadLogHeaderSize;
    return {true, std::min(n - 1, inReply)};
}

bool DriverDevice::openLocked() {
    if (device_.isOpen()) return true;
    const int err = device_.open(name_);
    return err == 0 || err == EISCONN;
}

bool DriverDevice::open() {
    std::lock_guard lock(mutex_);
    return openLocked();
}

bool DriverDevice::enableLog(std::uint8_t state) {
    std::lock_guard lock(mutex_);
    if (!openLocked()) return false;
    std::array<std::uint8_t, 4> request = kSetLogOn;
    request[3] = state;
    std::uint8_t status[kSetLogReplySize] = {1};
    return sendDriverRequest(device_, setLogCode_, request, status);
}

bool DriverDevice::disableLog() {
    std::lock_guard lock(mutex_);
    if (!device_.isOpen()) return true;
    std::uint8_t status[kSetLogReplySize] = {1};
    sendDriverRequest(device_, setLogCode_, kSetLogStop, status);
    device_.close();
    return true;
}

ReadLogResult DriverDevice::readLog(ReadLogReply& reply) {
    reply.fill(0);
    if (!device_.isOpen()) return {};
    const std::uint8_t input[kReadLogRequestSize] = {0};
    std::uint32_t returned = 0;
    const bool completed = sendDriverRequest(device_, readLogCode_, input, reply, &returned);
    return readLogData(reply, returned, completed);
}

DriverDevice& filterDriver() {
    static DriverDevice device(kFilterDeviceName, IOCTL_BTFILTER_SET_LOG, IOCTL_BTFILTER_READ_LOG);
    return device;
}

DriverDevice& uartDriver() {
    static DriverDevice device(kUartDeviceName, IOCTL_UARTBUS_SET_LOG, IOCTL_UARTBUS_READ_LOG);
    return device;
}

bool OpenFilterDevice() { return filterDriver().open(); }
bool EnableFilterLog(std::uint8_t state) { return filterDriver().enableLog(state); }
bool DisableFilterLog() { return filterDriver().disableLog(); }
bool OpenUartDevice() { return uartDriver().open(); }
bool EnableUartLog(std::uint8_t state) { return uartDriver().enableLog(state); }
bool DisableUartLog() { return uartDriver().disableLog(); }

}  // namespace nimbrel
