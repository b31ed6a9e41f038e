// The simulated controller of `nimbrel --demo`: a new pseudo-terminal whose master side
// receives a realistic firmware log at a steady rate, so that the window can capture from
// the slave side like from any serial port.
#pragma once

#include <QString>
#include <atomic>
#include <thread>

#include "platform/pseudo_terminal.h"

namespace nimbrel::gui {

class DemoController {
public:
    DemoController() = default;
    ~DemoController();
    DemoController(const DemoController&) = delete;
    DemoController& operator=(const DemoController&) = delete;

    // Creates the pseudo-terminal and starts streaming. Returns 0 or an errno.
    int start(double recordsPerSecond, std::uint64_t seed = 1);
    // The port to capture from (the slave side), empty before start().
    QString portPath() const { return QString::fromStdString(pty_.slavePath()); }
    // Stops the stream and closes the pseudo-terminal.
    void stop();

private:
    PseudoTerminal pty_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace nimbrel::gui
