// Times as microseconds since the Unix epoch (UTC), the clock of packet capture files.
#pragma once

#include <cstdint>

namespace nimbrel {

// The system clock now.
std::int64_t unixMicrosNow();

// Converts local wall-clock times (the stamps of raw data files) to UTC with the machine's
// time zone, daylight saving time included, so that a reader of the converted times shows
// the clock the local times read. The zone's offset is looked up once per minute of local
// time, not once per call. Not thread-safe: one caller per object.
class LocalClockToUtc {
public:
    // `month` 1..12, `day` 1..31, `millisecond` 0..999. A local time that occurs twice or
    // never around a daylight saving change is converted as the C library's mktime decides.
    std::int64_t unixMicros(int year, int month, int day, int hour, int minute, int second,
                            int millisecond);

private:
    std::int64_t minuteKey_ = -1;          // year, month, day, hour and minute of the cache
    std::int64_t minuteStartSeconds_ = 0;  // that minute in seconds since the epoch
};

}  // namespace nimbrel
