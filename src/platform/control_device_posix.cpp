// Driver devices on Linux: the device bridge's sockets stand in for them.
#include "platform/control_device.h"
#include "platform/device_bridge.h"

namespace nimbrel {

struct ControlDevice::Impl {
    BridgeDevice bridge;
};

std::string controlDevicePath(std::string_view deviceName) { return devicePath(deviceName); }

ControlDevice::ControlDevice() : impl_(std::make_unique<Impl>()) {}
ControlDevice::~ControlDevice() = default;

int ControlDevice::open(std::string_view deviceName) {
    return impl_->bridge.open(controlDevicePath(deviceName));
}

bool ControlDevice::isOpen() const { return impl_->bridge.isOpen(); }

ControlResult ControlDevice::control(std::uint32_t code, const void* input, std::uint32_t inputSize,
                                     void* output, std::uint32_t outputSize, Deadline closeAt) {
    return impl_->bridge.control(code, input, inputSize, output, outputSize, closeAt);
}

bool ControlDevice::close(int reason) { return impl_->bridge.close(reason); }

}  // namespace nimbrel
