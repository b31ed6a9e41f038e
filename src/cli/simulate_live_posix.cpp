#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <termios.h>

#include "cli/commands.h"
#include "cli/simulate_live.h"
#include "platform/device_bridge.h"
#include "platform/device_bridge_protocol.h"
#include "platform/pseudo_terminal.h"
#include "platform/serial_port.h"
#include "sim/driver_emulator.h"
#include "sim/log_generator.h"
#include "sim/serial_streamer.h"

namespace nimbrel::cli {
namespace {

std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from a signal handler");

extern "C" void onStopSignal(int) { g_stop.store(true, std::memory_order_relaxed); }

class StopSignals {
public:
    StopSignals() {
        g_stop.store(false);
        struct sigaction sa {};
        sa.sa_handler = onStopSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0;  // no SA_RESTART: waits end early and look at the flag
        sigaction(SIGINT, &sa, &oldInt_);
        sigaction(SIGTERM, &sa, &oldTerm_);
    }
    ~StopSignals() {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

sim::StreamOptions streamOptions(const SimulateOptions& o) {
    sim::StreamOptions so;
    so.recordsPerSecond = o.rate;
    so.recordLimit = o.haveRecords ? o.records : 0;
    return so;
}

int reportStream(const sim::StreamResult& r, const std::string& where) {
    switch (r.end) {
    case sim::StreamEnd::Finished:
    case sim::StreamEnd::Stopped: return kExitOk;
    case sim::StreamEnd::DeviceGone:
        std::fprintf(stderr, "nimbrel-cli simulate: %s went away (%s)\n", where.c_str(),
                     std::strerror(r.error));
        return kExitFailure;
    case sim::StreamEnd::Failed: break;
    }
    std::fprintf(stderr, "nimbrel-cli simulate: writing to %s failed: %s\n", where.c_str(),
                 std::strerror(r.error));
    return kExitFailure;
}

}  // namespace

int runSerialPort(const SimulateOptions& o) {
    const sim::StreamOptions so = streamOptions(o);
    SerialPort port;
    const SerialOpenResult opened = port.open(o.port, static_cast<std::uint32_t>(o.baud));
    if (!opened.ok()) {
        std::fprintf(stderr, "nimbrel-cli simulate: cannot open %s: %s\n",
                     serialDevicePath(o.port).c_str(), std::strerror(opened.error));
        return kExitFailure;
    }
    const StopSignals signals;
    sim::LogGenerator generator(o.seed);
    const int fd = static_cast<int>(port.nativeHandle());
    const sim::StreamResult r = sim::streamRecords(fd, generator, so, g_stop);
    if (r.end == sim::StreamEnd::Finished) {
        // Let the last bytes leave the UART before the port closes.
        while (::tcdrain(fd) != 0 && errno == EINTR && !g_stop.load()) {
        }
    }
    return reportStream(r, serialDevicePath(o.port));
}

int runPseudoTerminal(const SimulateOptions& o) {
    const sim::StreamOptions so = streamOptions(o);
    const std::uint64_t seed = o.seed;
    PseudoTerminal pty;
    if (const int err = pty.open(); err != 0) {
        std::fprintf(stderr, "nimbrel-cli simulate: cannot create a pseudo-terminal: %s\n",
                     std::strerror(err));
        return kExitFailure;
    }
    // Holding the slave open lets captures come and go without hanging the stream up.
    if (const int err = pty.holdSlave(); err != 0) {
        std::fprintf(stderr, "nimbrel-cli simulate: cannot open %s: %s\n", pty.slavePath().c_str(),
                     std::strerror(err));
        return kExitFailure;
    }
    std::printf("%s\n", pty.slavePath().c_str());
    std::fflush(stdout);

    const StopSignals signals;
    sim::LogGenerator generator(seed);
    const sim::StreamResult r = sim::streamRecords(pty.masterFd(), generator, so, g_stop);
    if (r.end == sim::StreamEnd::Finished) {
        // Closing the master would throw away what no reader has taken yet. Bytes pass
        // through the kernel's buffers on their way to the slave's queue, so the queue must
        // stay empty for a while before everything counts as taken.
        int emptyChecks = 0;
        while (emptyChecks < 5 && !g_stop.load()) {
            emptyChecks = pty.unreadBytes() == 0 ? emptyChecks + 1 : 0;
            ::poll(nullptr, 0, 20);
        }
    }
    return reportStream(r, pty.slavePath());
}

int runDriver(const SimulateOptions& o) {
    std::FILE* log = stderr;
    if (!o.requestLog.empty()) {
        log = std::fopen(o.requestLog.c_str(), "w");
        if (!log) {
            std::fprintf(stderr, "nimbrel-cli simulate: cannot write %s: %s\n",
                         o.requestLog.c_str(), std::strerror(errno));
            return kExitFailure;
        }
    }
    sim::DriverEmulatorOptions eo;
    eo.kind = o.driver == "uart" ? sim::DriverKind::Uart : sim::DriverKind::Filter;
    eo.socketPath =
        devicePath(eo.kind == sim::DriverKind::Uart ? kUartDeviceName : kFilterDeviceName);
    eo.recordsPerSecond = o.rate;
    eo.recordLimit = o.haveRecords ? o.records : 0;
    eo.seed = o.seed;
    eo.randomReplySizes = o.randomReplies;
    eo.radioDir = o.radioDir;
    eo.radioOffAfterS = o.radioOffAfter;
    eo.radioOnAfterS = o.radioOnAfter;
    eo.requestLog = [log](std::string_view line) {
        std::fprintf(log, "%.*s\n", static_cast<int>(line.size()), line.data());
        std::fflush(log);
    };
    int rc = kExitOk;
    {
        sim::DriverEmulator emulator(eo);
        if (const int err = emulator.listen(); err != 0) {
            std::fprintf(stderr, "nimbrel-cli simulate: cannot serve %s: %s\n",
                         eo.socketPath.c_str(), std::strerror(err));
            rc = kExitFailure;
        } else {
            const StopSignals signals;
            std::printf("%s\n", eo.socketPath.c_str());
            std::fflush(stdout);
            emulator.run(g_stop);
        }
    }
    if (log != stderr) std::fclose(log);
    return rc;
}

}  // namespace nimbrel::cli
