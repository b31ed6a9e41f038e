// Raw data files: every framed record behind a 9-byte local time stamp, so that a capture
// can be replayed later. One file per started capture; every entry opens, appends and
// closes the file, so other programs can copy it during a capture.
//
// Entry: year (u16 LE), month, day, hour, minute, second (u8 each), millisecond (u16 LE),
// then the record bytes, then 0A 00 00 00 after the last record of a flushed window.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "pipeline/record_layout.h"
#include "platform/local_time.h"

namespace nimbrel {

class LogConsole;

inline constexpr std::size_t kRawStampSize = 9;
inline constexpr std::uint64_t kRawDataSwitchSize = 52428800;  // 50 MiB
inline constexpr std::array<std::uint8_t, 4> kRawDataTrailer{0x0A, 0x00, 0x00, 0x00};

// The local time written in front of every record of a raw data file. On disk: year
// (16-bit little-endian), month, day, hour, minute, second, millisecond (16-bit LE).
struct RawStamp {
    std::uint16_t year = 0;
    std::uint8_t month = 0;
    std::uint8_t day = 0;
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    std::uint16_t millisecond = 0;

    static RawStamp fromBytes(const std::uint8_t* bytes) {
        return {static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)),
                bytes[2],
                bytes[3],
                bytes[4],
                bytes[5],
                bytes[6],
                static_cast<std::uint16_t>(bytes[7] | (bytes[8] << 8))};
    }
    std::array<std::uint8_t, kRawStampSize> toBytes() const {
        return {static_cast<std::uint8_t>(year & 0xFF),
                static_cast<std::uint8_t>(year >> 8),
                month,
                day,
                hour,
                minute,
                second,
                static_cast<std::uint8_t>(millisecond & 0xFF),
                static_cast<std::uint8_t>(millisecond >> 8)};
    }
    bool operator==(const RawStamp&) const = default;
};
RawStamp makeRawStamp(const LocalTime& t);

class RawDataFile {
public:
    // "<folder>/RawData_YYYYMMDD_hhmmss_<port>.log"
    static std::string comRouteName(const std::string& folder, const LocalTime& t,
                                    const std::string& port);
    // "<folder>/RawData_YYYYMMDD_hhmmss.log"
    static std::string driverRouteName(const std::string& folder, const LocalTime& t);

    // Folder for the name of the file switched to after 50 MiB (the program folder).
    explicit RawDataFile(std::string folder) : folder_(std::move(folder)) {}

    void setName(std::string name);
    std::string name() const;

    // The COM port name used in raw data file names, also by the file switched to after
    // 50 MiB on any route: "0" until the first COM capture stores its port. Only the last
    // path element of a device path is kept.
    void setComPortName(std::string_view port);
    std::string comPortName() const;

    // At capture start, when saving is on: creates the file if missing (keeping its
    // contents) and reports it on the console. Starts the failure count afresh. False when
    // the file cannot be opened.
    bool prepare(LogConsole& console);
    // One record entry. An entry that cannot be written is skipped without a message, but
    // counted.
    void appendRecord(const RecordRef& record, bool lastInWindow);

    // Since the last prepare: record entries that could not be written, and the errno of
    // the last failure to open or write the file (0: none).
    std::uint64_t entriesLost() const { return entriesLost_.load(); }
    int lastError() const { return lastError_.load(); }
    // A text chunk echoing one device read (UTF-16LE, then the trailer).
    void appendTextChunk(std::u16string_view text);

private:
    std::string folder_;
    // Guards name_ (read by the GUI, switched by the print thread) and comPortName_.
    mutable std::mutex mutex_;
    std::string name_;
    std::string comPortName_ = "0";
    std::atomic<std::uint64_t> entriesLost_{0};
    std::atomic<int> lastError_{0};

    void entryLost(int error);
};

}  // namespace nimbrel
