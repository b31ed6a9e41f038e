#include "gui/window/demo_controller.h"

#include "sim/log_generator.h"
#include "sim/serial_streamer.h"

namespace nimbrel::gui {

DemoController::~DemoController() { stop(); }

int DemoController::start(double recordsPerSecond, std::uint64_t seed) {
    if (const int err = pty_.open(); err != 0) return err;
    // Holding the slave side lets captures come and go without hanging the stream up.
    if (const int err = pty_.holdSlave(); err != 0) {
        pty_.close();
        return err;
    }
    stop_ = false;
    const int fd = pty_.masterFd();
    thread_ = std::thread([this, fd, recordsPerSecond, seed] {
        sim::LogGenerator generator(seed);
        sim::StreamOptions options;
        options.recordsPerSecond = recordsPerSecond;
        sim::streamRecords(fd, generator, options, stop_);
    });
    return 0;
}

void DemoController::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    pty_.close();
}

}  // namespace nimbrel::gui
