// The simulator's driver side running on a thread of the test, serving the device folder
// NIMBREL_DEVICE_DIR points at (set here to a folder of its own).
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/driver_emulator.h"
#include "support/temp_dir.h"

namespace nimbrel::test {

class RunningDriver {
public:
    explicit RunningDriver(sim::DriverEmulatorOptions options);
    ~RunningDriver();
    RunningDriver(const RunningDriver&) = delete;
    RunningDriver& operator=(const RunningDriver&) = delete;

    // The request log so far.
    std::vector<std::string> lines();
    // Waits up to 10 s until a line of the request log contains `text` (after `from`
    // lines); its index, or -1.
    int waitForLine(const std::string& text, std::size_t from = 0);
    const sim::DriverEmulatorStats& stats() const { return emulator_->stats(); }
    const std::string& deviceFolder() const { return deviceFolder_; }

private:
    TempDir dir_;
    std::string deviceFolder_;
    std::mutex mutex_;
    std::vector<std::string> log_;
    std::atomic<bool> stop_{false};
    std::unique_ptr<sim::DriverEmulator> emulator_;
    std::thread thread_;
};

}  // namespace nimbrel::test
