// The driver side of the device bridge: serves the filter driver's or the UART bus
// driver's socket and answers set-log and read requests with the simulated controller's
// firmware log, the way the real drivers buffer it. Optionally makes the controller's
// radio entry (hci0) appear and disappear in a folder, so that radio removal and arrival
// can be exercised.
//
// Behaviour towards the capture side:
// - set-log on / off / stop: logging starts or stops; the reply byte is 0 (1 for an
//   unknown form). Records are generated only while logging is on and the radio present.
// - read: answered with up to 1023 buffered bytes (n = data bytes + 1, the data followed
//   by a terminating zero). With nothing buffered it waits for data; a later request on
//   the same connection answers it first with n = 0. While logging is off and nothing is
//   buffered the reply's status byte is 1; while the radio is absent the request fails
//   with ENODEV.
// - every set-log request, every connection and every radio change is written to the
//   request log, one line each.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace nimbrel::sim {

enum class DriverKind { Filter, Uart };

struct DriverEmulatorOptions {
    DriverKind kind = DriverKind::Filter;
    std::string socketPath;         // where to listen
    double recordsPerSecond = 100;  // 0: as fast as the reads take them
    std::uint64_t recordLimit = 0;  // 0: no limit
    std::uint64_t seed = 1;
    bool randomReplySizes = false;  // each reply carries 1..1023 bytes, chosen at random
    std::string radioDir;           // empty: no radio entry is kept
    double radioOffAfterS = -1;     // seconds from the start; < 0: never
    double radioOnAfterS = -1;
    std::function<void(std::string_view)> requestLog;  // one line, without "\n"
};

struct DriverEmulatorStats {
    std::atomic<std::uint64_t> recordsGenerated{0};
    std::atomic<std::uint64_t> bytesSent{0};
    std::atomic<std::uint64_t> reads{0};
    std::atomic<bool> radioPresent{false};
};

class DriverEmulator {
public:
    explicit DriverEmulator(DriverEmulatorOptions options);
    ~DriverEmulator();
    DriverEmulator(const DriverEmulator&) = delete;
    DriverEmulator& operator=(const DriverEmulator&) = delete;

    // Creates the socket's folder if needed (mode 0700), replaces a stale socket file and
    // listens. Returns 0 or an errno value.
    int listen();
    // Serves until stop becomes true; then closes every connection, removes the socket
    // file and the radio entry it made.
    void run(const std::atomic<bool>& stop);

    const DriverEmulatorStats& stats() const { return stats_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    DriverEmulatorStats stats_;
};

}  // namespace nimbrel::sim
