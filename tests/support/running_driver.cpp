#include "support/running_driver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "platform/device_bridge.h"
#include "platform/device_bridge_protocol.h"

namespace nimbrel::test {

RunningDriver::RunningDriver(sim::DriverEmulatorOptions o) : deviceFolder_(dir_.file("dev")) {
    ::setenv("NIMBREL_DEVICE_DIR", deviceFolder_.c_str(), 1);
    o.socketPath =
        devicePath(o.kind == sim::DriverKind::Filter ? kFilterDeviceName : kUartDeviceName);
    o.requestLog = [this](std::string_view line) {
        std::lock_guard lock(mutex_);
        log_.emplace_back(line);
    };
    emulator_ = std::make_unique<sim::DriverEmulator>(std::move(o));
    EXPECT_EQ(emulator_->listen(), 0);
    thread_ = std::thread([this] { emulator_->run(stop_); });
}

RunningDriver::~RunningDriver() {
    stop_ = true;
    thread_.join();
}

std::vector<std::string> RunningDriver::lines() {
    std::lock_guard lock(mutex_);
    return log_;
}

int RunningDriver::waitForLine(const std::string& text, std::size_t from) {
    for (int i = 0; i < 1000; ++i) {
        {
            std::lock_guard lock(mutex_);
            for (std::size_t k = from; k < log_.size(); ++k) {
                if (log_[k].find(text) != std::string::npos) return static_cast<int>(k);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

}  // namespace nimbrel::test
