#include "sim/serial_streamer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace nimbrel::sim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPollSliceMs = 20;               // longest wait between looks at the stop flag
constexpr std::size_t kFastBatchBytes = 4096;  // unpaced: bytes generated per batch
constexpr std::uint64_t kMaxPacedBatch = 512;

bool isGone(int err) { return err == EIO || err == ENXIO || err == ENODEV; }

void sleepMs(int ms) {
    if (ms > 0) ::poll(nullptr, 0, ms);
}

}  // namespace

StreamResult streamRecords(int fd, LogGenerator& generator, const StreamOptions& options,
                           const std::atomic<bool>& stop) {
    StreamResult result;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0) return {StreamEnd::Failed, 0, 0, errno};
    if (!(flags & O_NONBLOCK)) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);

    const double rate = options.recordsPerSecond > 0 && std::isfinite(options.recordsPerSecond)
                            ? options.recordsPerSecond
                            : 0;
    const std::uint64_t limit = options.recordLimit;
    std::vector<std::uint8_t> buffer;
    buffer.reserve(kFastBatchBytes * 2);
    std::size_t offset = 0;
    std::uint64_t generated = 0;     // records placed in the buffer so far
    std::uint64_t batchRecords = 0;  // records of the buffer being written
    Clock::time_point scheduleStart = Clock::now();
    std::uint64_t scheduleBase = 0;  // records generated when the schedule started

    for (;;) {
        if (stop.load(std::memory_order_relaxed)) {
            result.end = StreamEnd::Stopped;
            return result;
        }
        if (offset == buffer.size()) {
            result.records += batchRecords;
            batchRecords = 0;
            buffer.clear();
            offset = 0;
            if (limit != 0 && generated >= limit) {
                result.end = StreamEnd::Finished;
                return result;
            }
            std::uint64_t batch = 0;
            if (rate > 0) {
                const double elapsed =
                    std::chrono::duration<double>(Clock::now() - scheduleStart).count();
                std::uint64_t due = scheduleBase + static_cast<std::uint64_t>(elapsed * rate) + 1;
                if (due > generated + static_cast<std::uint64_t>(rate) + 1) {
                    // More than a second behind (the device was not read): start afresh.
                    scheduleStart = Clock::now();
                    scheduleBase = generated;
                    due = generated + 1;
                }
                if (due <= generated) {
                    const double nextAt = static_cast<double>(generated - scheduleBase) / rate;
                    const int waitMs = static_cast<int>(std::ceil((nextAt - elapsed) * 1000.0));
                    sleepMs(std::clamp(waitMs, 1, kPollSliceMs));
                    continue;
                }
                batch = std::min<std::uint64_t>(due - generated, kMaxPacedBatch);
                if (limit != 0) batch = std::min(batch, limit - generated);
                for (std::uint64_t i = 0; i < batch; ++i) {
                    const SimRecord& r = generator.next();
                    buffer.insert(buffer.end(), r.bytes.begin(), r.bytes.end());
                }
            } else {
                while (buffer.size() < kFastBatchBytes &&
                       (limit == 0 || generated + batch < limit)) {
                    const SimRecord& r = generator.next();
                    buffer.insert(buffer.end(), r.bytes.begin(), r.bytes.end());
                    ++batch;
                }
            }
            generated += batch;
            batchRecords = batch;
        }

        const ssize_t n = ::write(fd, buffer.data() + offset, buffer.size() - offset);
        if (n > 0) {
            offset += static_cast<std::size_t>(n);
            result.bytes += static_cast<std::uint64_t>(n);
            continue;
        }
        const int err = n < 0 ? errno : EAGAIN;
        if (err == EINTR) continue;
        if (err != EAGAIN) {
            result.end = isGone(err) ? StreamEnd::DeviceGone : StreamEnd::Failed;
            result.error = err;
            return result;
        }
        pollfd p{fd, POLLOUT, 0};
        const int rc = ::poll(&p, 1, kPollSliceMs);
        if (rc > 0 && (p.revents & POLLNVAL)) {
            result.end = StreamEnd::Failed;
            result.error = EBADF;
            return result;
        }
        if (rc > 0 && !(p.revents & POLLOUT)) {
            // A pseudo-terminal's master reports a hang-up while no reader has the slave
            // open; wait for one instead of spinning.
            sleepMs(kPollSliceMs);
        }
    }
}

}  // namespace nimbrel::sim
