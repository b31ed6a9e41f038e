#include "platform/utc_time.h"

#include <chrono>
#include <ctime>

namespace nimbrel {

std::int64_t unixMicrosNow() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

std::int64_t LocalClockToUtc::unixMicros(int year, int month, int day, int hour, int minute,
                                         int second, int millisecond) {
    const std::int64_t key =
        ((((static_cast<std::int64_t>(year) * 13 + month) * 32 + day) * 24 + hour) * 60) + minute;
    if (key != minuteKey_) {
        std::tm tm{};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_hour = hour;
        tm.tm_min = minute;
        tm.tm_isdst = -1;  // the zone's rule for that date decides
        minuteStartSeconds_ = static_cast<std::int64_t>(std::mktime(&tm));
        minuteKey_ = key;
    }
    return (minuteStartSeconds_ + second) * 1000000 + static_cast<std::int64_t>(millisecond) * 1000;
}

}  // namespace nimbrel
