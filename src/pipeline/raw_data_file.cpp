#include "pipeline/raw_data_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "pipeline/log_console.h"
#include "platform/text.h"

namespace nimbrel {
namespace {

std::mutex g_portMutex;
std::string g_comPortName = "0";  // guarded by g_portMutex

int openForAppend(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

bool writeAll(int fd, const std::uint8_t* bytes, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, bytes, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

std::string stampedName(const std::string& folder, const LocalTime& t, const char* suffix) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "/RawData_%04d%02d%02d_%02d%02d%02d%s", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, suffix);
    return folder + buffer;
}

}  // namespace

RawStamp makeRawStamp(const LocalTime& t) {
    return {static_cast<std::uint16_t>(t.year),       static_cast<std::uint8_t>(t.month),
            static_cast<std::uint8_t>(t.day),         static_cast<std::uint8_t>(t.hour),
            static_cast<std::uint8_t>(t.minute),      static_cast<std::uint8_t>(t.second),
            static_cast<std::uint16_t>(t.millisecond)};
}

void setComPortNameForFiles(std::string_view port) {
    const auto slash = port.rfind('/');
    if (slash != std::string_view::npos) port.remove_prefix(slash + 1);
    std::lock_guard lock(g_portMutex);
    g_comPortName.assign(port);
}

std::string comPortNameForFiles() {
    std::lock_guard lock(g_portMutex);
    return g_comPortName;
}

std::string RawDataFile::comRouteName(const std::string& folder, const LocalTime& t,
                                      const std::string& port) {
    return stampedName(folder, t, ("_" + port + ".log").c_str());
}

std::string RawDataFile::driverRouteName(const std::string& folder, const LocalTime& t) {
    return stampedName(folder, t, ".log");
}

void RawDataFile::setName(std::string name) {
    std::lock_guard lock(mutex_);
    name_ = std::move(name);
}

std::string RawDataFile::name() const {
    std::lock_guard lock(mutex_);
    return name_;
}

bool RawDataFile::prepare(LogConsole& console) {
    const std::string path = name();
    const std::u16string shown = utf8ToUtf16(path);
    entriesLost_ = 0;
    lastError_ = 0;
    const int fd = openForAppend(path);
    if (fd < 0) {
        lastError_ = errno;
        console.print(u"[R] Write Log to File(%s) Fail with error:0x%x",
                      {shown, lastError_.load()});
        return false;
    }
    ::close(fd);
    console.print(u"[G] Write Log to File(%s)", {shown});
    return true;
}

void RawDataFile::entryLost(int error) {
    entriesLost_.fetch_add(1, std::memory_order_relaxed);
    lastError_.store(error, std::memory_order_relaxed);
}

void RawDataFile::appendRecord(const RecordRef& record, bool lastInWindow) {
    std::string path = name();
    int fd = openForAppend(path);
    if (fd < 0) return entryLost(errno);
    if (lastInWindow) {
        struct stat st {};
        if (::fstat(fd, &st) == 0 && static_cast<std::uint64_t>(st.st_size) >= kRawDataSwitchSize) {
            ::close(fd);
            path = comRouteName(folder_, localTimeNow(), comPortNameForFiles());
            setName(path);
            fd = openForAppend(path);
            if (fd < 0) return entryLost(errno);
        }
    }
    // One write per entry: stamp, record and trailer land together.
    std::uint8_t entry[kRawStampSize + kLongestRecord + kRawDataTrailer.size()];
    std::size_t n = 0;
    for (std::uint8_t b : makeRawStamp(localTimeNow()).toBytes()) entry[n++] = b;
    const std::uint32_t length = std::min<std::uint32_t>(record.layout.length, kLongestRecord);
    std::copy(record.bytes, record.bytes + length, entry + n);
    n += length;
    if (lastInWindow) {
        for (std::uint8_t b : kRawDataTrailer) entry[n++] = b;
    }
    if (!writeAll(fd, entry, n)) entryLost(errno);
    ::close(fd);
}

void RawDataFile::appendTextChunk(std::u16string_view text) {
    const int fd = openForAppend(name());
    if (fd < 0) return;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() * 2 + kRawDataTrailer.size());
    for (char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    bytes.insert(bytes.end(), kRawDataTrailer.begin(), kRawDataTrailer.end());
    writeAll(fd, bytes.data(), bytes.size());
    ::close(fd);
}

}  // namespace nimbrel
