// Raw data files as a live capture would have recorded them: each record preceded by a
// 9-byte local-time stamp (year 16-bit LE, month, day, hour, minute, second, millisecond
// 16-bit LE), and the bytes 0A 00 00 00 after the last record before each pause in the
// stream (the last record of a flushed window) and after the very last record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/local_time.h"
#include "sim/log_generator.h"

namespace nimbrel::sim {

inline constexpr std::size_t kRawStampSize = 9;
inline constexpr std::uint8_t kRawTrailer[4] = {0x0A, 0x00, 0x00, 0x00};
// A pause this long lets the capture's print thread flush its window.
inline constexpr std::uint32_t kFlushPauseMs = 15;
// Start time of simulated files, fixed so that a seed always gives the same file.
inline constexpr LocalTime kDefaultSimStart{2024, 3, 18, 9, 30, 0, 0};

// Calendar arithmetic on a local time (no time zone, no leap seconds).
LocalTime addMilliseconds(const LocalTime& t, std::uint64_t ms);
void putRawStamp(const LocalTime& t, std::uint8_t* out);

class RawFileEncoder {
public:
    explicit RawFileEncoder(const LocalTime& start = kDefaultSimStart);

    // Appends the entry of one record (with the previous record's trailer when the stream
    // paused in between). The record's gapMs advances the clock.
    void append(const SimRecord& record, std::vector<std::uint8_t>& out);
    // Appends the trailer of the last record, if any record was written.
    void finish(std::vector<std::uint8_t>& out);

    // Time of the last entry.
    LocalTime now() const { return addMilliseconds(start_, elapsedMs_); }

private:
    LocalTime start_;
    std::uint64_t elapsedMs_ = 0;
    bool pending_ = false;  // a record was written and its trailer is not decided yet
};

// Writes `records` records of the generator for `seed` as a raw data file. Returns 0 or an
// errno.
int writeRawDataFile(const std::string& path, std::uint64_t seed, std::uint64_t records,
                     const LocalTime& start = kDefaultSimStart);

}  // namespace nimbrel::sim
