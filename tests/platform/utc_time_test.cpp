#include "platform/utc_time.h"

#include <gtest/gtest.h>

#include "support/time_zone.h"

namespace nimbrel {
namespace {

// Local clock times read back as UTC, across daylight saving time and past midnight.
TEST(LocalClockToUtc, FollowsTheZonesOffsetOfEachDate) {
    test::ScopedTimeZone zone(test::kCentralEuropeanTime);
    struct Case {
        int year, month, day, hour, minute, second, ms;
        std::int64_t expectedUnixMicros;
    };
    const Case cases[] = {
        {2024, 1, 15, 12, 0, 0, 0, 1705316400000000},     // 11:00Z, winter
        {2024, 7, 15, 12, 0, 0, 0, 1721037600000000},     // 10:00Z, summer
        {2024, 7, 15, 12, 0, 59, 999, 1721037659999000},  // same minute, from the cache
        {2024, 3, 31, 1, 59, 59, 0, 1711846799000000},    // the last second before the change
        {2024, 3, 31, 3, 0, 0, 0, 1711846800000000},      // the first after it
        {2024, 7, 15, 24, 0, 0, 1, 1721080800001000},     // hour 24 carries into the next day
    };
    LocalClockToUtc clock;
    for (const Case& c : cases) {
        EXPECT_EQ(clock.unixMicros(c.year, c.month, c.day, c.hour, c.minute, c.second, c.ms),
                  c.expectedUnixMicros)
            << c.year << "-" << c.month << "-" << c.day << " " << c.hour << ":" << c.minute;
    }
}

}  // namespace
}  // namespace nimbrel
