// Offline replay of a raw data file: finds every record in the file, takes the nine bytes
// in front of its sync pair as its stamp, and hands it on (to the record formatter, or to
// the HCI packet export).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/file_handle.h"

namespace nimbrel {

class LogConsole;
class StampedRecordSink;

struct ReplayScanResult {
    bool cancelled = false;
    std::uint64_t records = 0;  // records handed on
    // The file became shorter while it was read: the scan ended after the last complete
    // record of the bytes it could read.
    bool fileChanged = false;
    int readError = 0;  // errno of a failed read; the scan ended there
    // Bytes that belong to no record, no record's stamp and no trailer after a record.
    std::uint64_t noiseBytes = 0;
    // Candidates whose header names no known layout (the "default case" lines).
    std::uint64_t defaultCases = 0;
};

// Called with the file offset of a candidate with an unknown layout; when given, it reports
// the candidate instead of the console's "default case" line.
using DefaultCaseReport = std::function<void(std::uint64_t offset)>;

// Scans `size` bytes. `progress` (may be empty) is called with each new whole percentage
// of the position; `stop` ends the scan after the current record.
ReplayScanResult scanRawData(const std::uint8_t* data, std::uint64_t size, StampedRecordSink& sink,
                             LogConsole& console, const std::atomic<bool>& stop,
                             const std::function<void(int percent)>& progress,
                             const DefaultCaseReport& defaultCase = {});

// A raw data file opened for a replay. It is read in large blocks rather than mapped, so
// that a file another program shortens meanwhile (a capture restarted over the same name,
// log rotation) ends the replay with a message instead of a fault.
class RawDataInput {
public:
    RawDataInput() = default;
    ~RawDataInput();
    RawDataInput(const RawDataInput&) = delete;
    RawDataInput& operator=(const RawDataInput&) = delete;

    // 0 on success, else the errno value: EISDIR for a folder, kNotARegularFile
    // (platform/file_handle.h) for anything else that is no regular file (a FIFO, which is
    // not waited for, or a device such as /dev/zero: the replay reads blocks at offsets
    // and needs the file's size).
    int open(const std::string& path);
    void close();
    // Up to `size` bytes from `offset`.
    IoResult readAt(std::uint64_t offset, void* buffer, std::size_t size) const {
        return file_.readAt(offset, buffer, size);
    }
    std::uint64_t size() const { return size_; }  // when it was opened

private:
    mutable FileHandle file_;
    std::uint64_t size_ = 0;
};

// The red line for a raw data file that could not be opened: the error code, or "not a
// regular file" in words.
void reportRawDataOpenFailure(LogConsole& console, std::u16string_view shownPath, int error);

// Scans the file as scanRawData does, block by block. The text of the red line for a file
// that became shorter is kRawDataChangedMessage.
ReplayScanResult scanRawDataFile(const RawDataInput& input, StampedRecordSink& sink,
                                 LogConsole& console, const std::atomic<bool>& stop,
                                 const std::function<void(int percent)>& progress,
                                 const DefaultCaseReport& defaultCase = {});
inline constexpr std::u16string_view kRawDataChangedMessage =
    u"[R]Raw data file changed while it was read: %s";

// The replay's text file: "_nimbrel_temp.txt" in the per-user data folder, created if
// missing.
std::string replayTextFilePath();

// The part of the replay's text file from `startPercent` to `endPercent` of its length
// (clamped to 0..100, start at most end). The file is cut at the end; the returned offset
// is where the shown part begins.
struct ReplayRange {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
};
ReplayRange cutReplayText(const std::string& path, int startPercent, int endPercent);

// Shows the range: as one plain text replacing the view (colour off), or line by line
// through the console so each line takes the colour of its tag (colour on; stops early
// when `stop` is set). False when the file cannot be read.
bool showReplayRange(const std::string& path, ReplayRange range, bool colour, LogConsole& console,
                     const std::atomic<bool>& stop);

}  // namespace nimbrel
