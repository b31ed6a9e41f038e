// A scripted driver side of the device bridge, for tests that need exact timing or a peer
// that misbehaves: it serves the filter or UART driver's socket in NIMBREL_DEVICE_DIR (set
// here to a folder of its own), answers set-log requests, hands out a given burst of log
// data in read replies, and can keep the last reply back until the capture is stopped.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/driver_emulator.h"
#include "support/temp_dir.h"

namespace nimbrel::test {

class FakeDriver {
public:
    // When the last chunk of the burst goes out.
    enum class Last {
        WithTheRest,     // as soon as a read asks for it
        OnSetLog,        // as the answer to the read that is pending when a set-log request
                         // arrives behind it: the capture is being stopped
        AfterRadioGone,  // the radio entry is removed first, then the chunk answers the read
        ThenHangUp,      // the chunk answers the read, then the connection is closed
    };
    // How the peer breaks the rules. Silent: accepts and never answers anything.
    // SilentReads: answers set-log, never a read. StopsMidReply, Oversize, HangsUp and
    // NoReply answer the first read with half a reply header and nothing more, a reply
    // longer than the size asked for, a closed connection, or bytes that are no reply.
    // RefusesLogging answers set-log with status 1; HangsUpAtOnce closes every connection
    // at its first request.
    enum class Fault {
        None,
        Silent,
        SilentReads,
        StopsMidReply,
        Oversize,
        HangsUp,
        NoReply,
        RefusesLogging,
        HangsUpAtOnce
    };

    struct Options {
        sim::DriverKind kind = sim::DriverKind::Filter;
        std::vector<std::vector<std::uint8_t>> chunks;  // the log data, one reply each
        Last last = Last::WithTheRest;
        Fault fault = Fault::None;
        std::string radioDir;  // holds the radio entry hci0 while the radio is present
    };

    explicit FakeDriver(Options options);
    ~FakeDriver();
    FakeDriver(const FakeDriver&) = delete;
    FakeDriver& operator=(const FakeDriver&) = delete;

    // Waits until every chunk but a held-back last one has gone out and a read waits for
    // more (with Last::WithTheRest and the others: until every chunk has gone out).
    bool waitUntilDelivered(std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Waits until a request line (below) has been logged at least `count` times.
    bool waitForRequest(const std::string& line, int count = 1,
                        std::chrono::milliseconds limit = std::chrono::seconds(10));
    // What came in, one line each: "open", "on", "off", "stop", "read", "close".
    std::vector<std::string> requests();
    const std::string& deviceFolder() const { return folder_; }

private:
    struct Connection;
    void run();
    void serve(Connection& c);
    void note(const std::string& line);

    Options options_;
    TempDir dir_;
    std::string folder_;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    std::size_t nextChunk_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> requests_;
    bool delivered_ = false;
    std::thread thread_;
};

}  // namespace nimbrel::test
