// Resident memory of the test process, for tests that bound what a module holds. The
// sanitizers keep freed memory away from reuse and add shadow memory of their own, so under
// them resident memory says nothing about what the module held.
#pragma once

#include <cstdint>
#include <cstdio>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace nimbrel::test {

#if defined(_WIN32)
// Read from /proc: not there on Windows.
constexpr bool kResidentMemoryIsMeaningful = false;
#elif defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kResidentMemoryIsMeaningful = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kResidentMemoryIsMeaningful = false;
#else
constexpr bool kResidentMemoryIsMeaningful = true;
#endif
#else
constexpr bool kResidentMemoryIsMeaningful = true;
#endif

inline std::uint64_t residentBytes() {
#ifdef _WIN32
    return 0;
#else
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<std::uint64_t>(resident) *
           static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
#endif
}

}  // namespace nimbrel::test
