// Local wall-clock time with milliseconds.
#pragma once

#include <cstdint>

namespace nimbrel {

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

LocalTime localTimeNow();

// Milliseconds of a monotonic clock (for time-outs and pacing).
std::uint64_t tickCountMs();

}  // namespace nimbrel
