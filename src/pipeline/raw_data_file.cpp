#include "pipeline/raw_data_file.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#include "pipeline/log_console.h"
#include "platform/file_handle.h"
#include "platform/path.h"
#include "platform/text.h"

namespace nimbrel {
namespace {

std::string stampedName(const std::string& folder, const LocalTime& t, const char* suffix) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "RawData_%04d%02d%02d_%02d%02d%02d%s", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, suffix);
    return joinPath(folder, buffer);
}

}  // namespace

RawStamp makeRawStamp(const LocalTime& t) {
    return {static_cast<std::uint16_t>(t.year),       static_cast<std::uint8_t>(t.month),
            static_cast<std::uint8_t>(t.day),         static_cast<std::uint8_t>(t.hour),
            static_cast<std::uint8_t>(t.minute),      static_cast<std::uint8_t>(t.second),
            static_cast<std::uint16_t>(t.millisecond)};
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

void RawDataFile::setComPortName(std::string_view port) {
    port = pathFileName(port);
    std::lock_guard lock(mutex_);
    comPortName_.assign(port);
}

std::string RawDataFile::comPortName() const {
    std::lock_guard lock(mutex_);
    return comPortName_;
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
    FileHandle file;
    if (const int err = file.open(path, FileMode::Append); err != 0) {
        lastError_ = err;
        console.print(u"[R] Write Log to File(%s) Fail with error:0x%x",
                      {shown, lastError_.load()});
        return false;
    }
    file.close();
    console.print(u"[G] Write Log to File(%s)", {shown});
    return true;
}

void RawDataFile::entryLost(int error) {
    entriesLost_.fetch_add(1, std::memory_order_relaxed);
    lastError_.store(error, std::memory_order_relaxed);
}

void RawDataFile::appendRecord(const RecordRef& record, bool lastInWindow) {
    std::string path = name();
    FileHandle file;
    if (const int err = file.open(path, FileMode::Append); err != 0) return entryLost(err);
    if (lastInWindow) {
        std::uint64_t size = 0;
        if (file.size(size) == 0 && size >= kRawDataSwitchSize) {
            file.close();
            path = comRouteName(folder_, localTimeNow(), comPortName());
            setName(path);
            if (const int err = file.open(path, FileMode::Append); err != 0) return entryLost(err);
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
    if (const int err = file.writeAll(entry, n); err != 0) entryLost(err);
}

void RawDataFile::appendTextChunk(std::u16string_view text) {
    FileHandle file;
    if (file.open(name(), FileMode::Append) != 0) return;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() * 2 + kRawDataTrailer.size());
    for (char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    bytes.insert(bytes.end(), kRawDataTrailer.begin(), kRawDataTrailer.end());
    file.writeAll(bytes.data(), bytes.size());
}

}  // namespace nimbrel
