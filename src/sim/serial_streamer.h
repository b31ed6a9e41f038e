// Streams generated records to a serial device (or the master side of a pseudo-terminal)
// at a given rate, the way a controller's log UART would.
#pragma once

#include <atomic>
#include <cstdint>

#include "sim/log_generator.h"

namespace nimbrel::sim {

struct StreamOptions {
    double recordsPerSecond = 0;    // 0: as fast as the device takes the bytes
    std::uint64_t recordLimit = 0;  // 0: until stopped
};

enum class StreamEnd {
    Finished,    // recordLimit records written
    Stopped,     // the stop flag was raised
    DeviceGone,  // the device went away (EIO, ENXIO, ENODEV)
    Failed,      // another write error
};

struct StreamResult {
    StreamEnd end = StreamEnd::Finished;
    std::uint64_t records = 0;  // records written completely
    std::uint64_t bytes = 0;
    int error = 0;
};

// Writes records of the generator to fd (switched to non-blocking mode) until the limit is
// reached, stop becomes true, or the device fails. Partial writes are resumed; while the
// device takes nothing the streamer waits (checking stop every few milliseconds). When the
// device fell behind the rate by more than a second, the schedule starts afresh instead of
// sending the backlog in one burst.
StreamResult streamRecords(int fd, LogGenerator& generator, const StreamOptions& options,
                           const std::atomic<bool>& stop);

}  // namespace nimbrel::sim
