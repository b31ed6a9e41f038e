// What the GUI benchmarks report about their own process: peak resident memory and the
// bytes that the log view's scratch files take on disk.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace nimbrel::bench {

// A line of /proc/self/status in bytes ("VmHWM", "VmRSS").
inline std::uint64_t statusBytes(const char* field) {
    std::uint64_t kib = 0;
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        const std::size_t n = std::strlen(field);
        while (std::fgets(line, sizeof line, f)) {
            if (std::strncmp(line, field, n) == 0 && line[n] == ':') {
                kib = std::strtoull(line + n + 1, nullptr, 10);
                break;
            }
        }
        std::fclose(f);
    }
    return kib * 1024;
}

inline std::uint64_t peakResidentBytes() { return statusBytes("VmHWM"); }
inline std::uint64_t residentBytes() { return statusBytes("VmRSS"); }

// Disk space of the files this process holds open that are already unlinked and lie in
// a "nimbrel" cache folder: the log view's scratch files.
inline std::uint64_t scratchBytesOnDisk() {
    std::uint64_t bytes = 0;
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir) return 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string link = std::string("/proc/self/fd/") + e->d_name;
        char target[4096];
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n <= 0) continue;
        target[n] = 0;
        const std::string t(target);
        if (t.find("/nimbrel/") == std::string::npos || t.find("(deleted)") == std::string::npos)
            continue;
        struct stat st {};
        if (::stat(link.c_str(), &st) == 0) bytes += static_cast<std::uint64_t>(st.st_blocks) * 512;
    }
    ::closedir(dir);
    return bytes;
}

inline double mib(std::uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

}  // namespace nimbrel::bench
