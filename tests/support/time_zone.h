// Sets the process's time zone (TZ) for the length of a test and restores it afterwards.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace nimbrel::test {

class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (old_) {
            ::setenv("TZ", old_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> old_;
};

// Central European time: UTC+1, and UTC+2 from the last Sunday of March to the last of
// October.
inline constexpr const char* kCentralEuropeanTime = "CET-1CEST,M3.5.0,M10.5.0/3";

}  // namespace nimbrel::test
