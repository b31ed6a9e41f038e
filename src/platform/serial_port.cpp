// What the serial port's backends share: the state kept under its lock.
#include "platform/serial_port.h"

namespace nimbrel {

bool SerialPort::isOpen() const {
    std::lock_guard lock(mutex_);
    return device_.isOpen() && !closing_;
}

std::string SerialPort::path() const {
    std::lock_guard lock(mutex_);
    return device_.isOpen() ? path_ : std::string();
}

FileHandle::Native SerialPort::nativeHandle() const {
    std::lock_guard lock(mutex_);
    return closing_ ? FileHandle::kInvalid : device_.native();
}

void SerialPort::leave() {
    std::lock_guard lock(mutex_);
    if (--users_ == 0) idle_.notify_all();
}

}  // namespace nimbrel
