#include "sim/raw_file_writer.h"

#include <cerrno>
#include <chrono>
#include <cstdio>

namespace nimbrel::sim {
namespace {

constexpr std::size_t kWriteChunk = 256 * 1024;

}  // namespace

LocalTime addMilliseconds(const LocalTime& t, std::uint64_t ms) {
    using namespace std::chrono;
    const sys_days startDay{year{t.year} / month{static_cast<unsigned>(t.month)} /
                            day{static_cast<unsigned>(t.day)}};
    const std::int64_t msOfDay =
        ((static_cast<std::int64_t>(t.hour) * 60 + t.minute) * 60 + t.second) * 1000 +
        t.millisecond;
    const std::int64_t total = msOfDay + static_cast<std::int64_t>(ms);
    const std::int64_t dayCount = total / 86400000;
    std::int64_t rest = total % 86400000;
    const year_month_day ymd{startDay + days{dayCount}};
    LocalTime out;
    out.year = static_cast<int>(ymd.year());
    out.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    out.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    out.millisecond = static_cast<int>(rest % 1000);
    rest /= 1000;
    out.second = static_cast<int>(rest % 60);
    rest /= 60;
    out.minute = static_cast<int>(rest % 60);
    out.hour = static_cast<int>(rest / 60);
    return out;
}

void putRawStamp(const LocalTime& t, std::uint8_t* out) {
    out[0] = static_cast<std::uint8_t>(t.year);
    out[1] = static_cast<std::uint8_t>(t.year >> 8);
    out[2] = static_cast<std::uint8_t>(t.month);
    out[3] = static_cast<std::uint8_t>(t.day);
    out[4] = static_cast<std::uint8_t>(t.hour);
    out[5] = static_cast<std::uint8_t>(t.minute);
    out[6] = static_cast<std::uint8_t>(t.second);
    out[7] = static_cast<std::uint8_t>(t.millisecond);
    out[8] = static_cast<std::uint8_t>(t.millisecond >> 8);
}

RawFileEncoder::RawFileEncoder(const LocalTime& start) : start_(start) {}

void RawFileEncoder::append(const SimRecord& record, std::vector<std::uint8_t>& out) {
    if (pending_ && record.gapMs >= kFlushPauseMs)
        out.insert(out.end(), std::begin(kRawTrailer), std::end(kRawTrailer));
    elapsedMs_ += record.gapMs;
    std::uint8_t stamp[kRawStampSize];
    putRawStamp(now(), stamp);
    out.insert(out.end(), stamp, stamp + kRawStampSize);
    out.insert(out.end(), record.bytes.begin(), record.bytes.end());
    pending_ = true;
}

void RawFileEncoder::finish(std::vector<std::uint8_t>& out) {
    if (pending_) out.insert(out.end(), std::begin(kRawTrailer), std::end(kRawTrailer));
    pending_ = false;
}

int writeRawDataFile(const std::string& path, std::uint64_t seed, std::uint64_t records,
                     const LocalTime& start) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return errno;
    LogGenerator generator(seed);
    RawFileEncoder encoder(start);
    std::vector<std::uint8_t> buffer;
    buffer.reserve(kWriteChunk + 4096);
    int err = 0;
    auto flush = [&] {
        errno = 0;
        if (!buffer.empty() && std::fwrite(buffer.data(), 1, buffer.size(), f) != buffer.size() &&
            err == 0) {
            err = errno ? errno : EIO;
        }
        buffer.clear();
    };
    for (std::uint64_t i = 0; i < records && err == 0; ++i) {
        encoder.append(generator.next(), buffer);
        if (buffer.size() >= kWriteChunk) flush();
    }
    encoder.finish(buffer);
    flush();
    if (std::fclose(f) != 0 && err == 0) err = errno ? errno : EIO;
    return err;
}

}  // namespace nimbrel::sim
