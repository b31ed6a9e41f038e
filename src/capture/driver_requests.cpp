#include "capture/driver_requests.h"

#include <algorithm>
#include <cerrno>

namespace nimbrel {

bool sendDriverRequest(ControlDevice& device, std::uint32_t code,
                       std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                       std::uint32_t* returned, int* error, ControlDevice::Deadline closeAt) {
    const ControlResult r =
        device.control(code, input.data(), static_cast<std::uint32_t>(input.size()), output.data(),
                       static_cast<std::uint32_t>(output.size()), closeAt);
    if (returned) *returned = r.returned;
    if (error) *error = r.error;
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

bool isBridgeProtocolFault(int error) { return error == EPIPE || error == EPROTO; }

void DriverDevice::noteStopTimedOut() {
    stopTimedOut_ = true;
    stopUnanswered_ = true;
}

void DriverDevice::noteResult(int error) {
    if (error == 0) stopUnanswered_ = false;  // the driver answers again
    const bool fault = isBridgeProtocolFault(error);
    failing_.store(fault);
    if (!fault) return;
    int none = 0;
    firstProtocolFault_.compare_exchange_strong(none, error);
    protocolFaults_.fetch_add(1);
}

void DriverDevice::resetFaults() {
    protocolFaults_ = 0;
    firstProtocolFault_ = 0;
    failing_ = false;
    stopTimedOut_ = false;
}

SetLogFailure DriverDevice::lastSetLogFailure() const {
    return {setLogError_.load(), setLogStatus_.load()};
}

bool DriverDevice::open() {
    const int err = device_.open(name_);
    if (err != 0 && err != EISCONN) {
        setLogError_ = err;
        return false;
    }
    return true;
}

bool DriverDevice::enableLog(std::uint8_t state, ControlDevice::Deadline closeAt) {
    return open() && setLog(state, closeAt);
}

bool DriverDevice::setLog(std::uint8_t state, ControlDevice::Deadline closeAt) {
    std::array<std::uint8_t, 4> request = kSetLogOn;
    request[3] = state;
    std::uint8_t status[kSetLogReplySize] = {1};
    std::uint32_t returned = 0;
    int error = 0;
    const bool ok =
        sendDriverRequest(device_, setLogCode_, request, status, &returned, &error, closeAt);
    setLogError_ = error;
    setLogStatus_ = returned >= 1 ? status[0] : -1;
    noteResult(error);
    if (error == ETIMEDOUT && closeAt != ControlDevice::kNoDeadline) noteStopTimedOut();
    return ok;
}

bool DriverDevice::disableLog(ControlDevice::Deadline closeAt) {
    if (!device_.isOpen()) return true;
    std::uint8_t status[kSetLogReplySize] = {1};
    int error = 0;
    sendDriverRequest(device_, setLogCode_, kSetLogStop, status, nullptr, &error, closeAt);
    if (error == ETIMEDOUT) noteStopTimedOut();
    if (error == 0) stopUnanswered_ = false;
    device_.close();
    return true;
}

void DriverDevice::stopLogging() {
    // One bound for both forms.
    const ControlDevice::Deadline closeAt = stopDeadline();
    enableLog(0, closeAt);
    disableLog(closeAt);
}

ReadLogResult DriverDevice::readLog(ReadLogReply& reply) {
    reply.fill(0);
    if (!device_.isOpen()) return {};
    const std::uint8_t input[kReadLogRequestSize] = {0};
    std::uint32_t returned = 0;
    int error = 0;
    const bool completed =
        sendDriverRequest(device_, readLogCode_, input, reply, &returned, &error);
    noteResult(error);
    ReadLogResult result = readLogData(reply, returned, completed);
    result.error = error;
    return result;
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
