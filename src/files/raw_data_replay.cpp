#include "files/raw_data_replay.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "pipeline/color_tag.h"
#include "pipeline/log_console.h"
#include "pipeline/raw_data_file.h"
#include "pipeline/record_framer.h"
#include "platform/file_handle.h"
#include "platform/mapped_file.h"
#include "platform/path.h"
#include "platform/program_folder.h"
#include "platform/text.h"

namespace nimbrel {
namespace {

bool syncAt(const std::uint8_t* d, std::uint64_t i) {
    return d[i] == kSyncByte && d[i + 1] == kSyncByte;
}

bool trailerAt(const std::uint8_t* d, std::uint64_t i, std::uint64_t size) {
    return i + kRawDataTrailer.size() <= size &&
           std::equal(kRawDataTrailer.begin(), kRawDataTrailer.end(), d + i);
}

// A record that holds A5 A5 among its own bytes stands when what follows its end is what
// follows a record in a raw data file: the end of the file, or the next entry (its stamp
// and sync pair, or a bare sync pair), either of them after a trailer.
bool wellDelimited(const std::uint8_t* d, std::uint64_t end, std::uint64_t size) {
    if (trailerAt(d, end, size)) end += kRawDataTrailer.size();
    if (end == size) return true;
    if (end + 1 < size && syncAt(d, end)) return true;
    const std::uint64_t afterStamp = end + kRawStampSize;
    return afterStamp + 1 < size && syncAt(d, afterStamp);
}

// First sync pair at or after `from` (pairs must lie wholly inside the file), or size.
std::uint64_t findSync(const std::uint8_t* d, std::uint64_t from, std::uint64_t size) {
    while (from + 1 < size) {
        const void* hit =
            std::memchr(d + from, kSyncByte, static_cast<std::size_t>(size - 1 - from));
        if (!hit) return size;
        const auto i = static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(hit) - d);
        if (d[i + 1] == kSyncByte) return i;
        from = i + 2;  // d[i + 1] is not A5: no pair starts at i or i + 1
    }
    return size;
}

}  // namespace

namespace {

// Bytes a record's handling may look at from its sync pair on: the longest record, a
// trailer, the next entry's stamp and sync pair.
constexpr std::uint64_t kLookahead = 2048;
// The file is read through this much at a time.
constexpr std::size_t kReadBlock = std::size_t{1} << 20;

struct Scanner {
    Scanner(StampedRecordSink& f, LogConsole& c, const std::atomic<bool>& s,
            const std::function<void(int)>& p, const DefaultCaseReport& d, std::uint64_t fileSize)
        : sink(f), console(c), stop(s), progress(p), defaultCase(d), total(fileSize) {}

    StampedRecordSink& sink;
    LogConsole& console;
    const std::atomic<bool>& stop;
    const std::function<void(int)>& progress;
    const DefaultCaseReport& defaultCase;
    std::uint64_t total = 0;      // bytes of the whole file, for the percentage
    std::uint64_t accounted = 0;  // file offset of the end of the last record (and trailer) shown
    int lastPercent = 0;
    ReplayScanResult result;

    // Scans data[position, size), where data[0] is byte `base` of the file. `fileEnd`: the
    // file ends at data[size]. Otherwise a candidate is looked at only with kLookahead
    // bytes in front of it, and the return value is where scanning continues once more
    // bytes are there; size means the scan is over (end of file or stopped).
    std::uint64_t scan(const std::uint8_t* data, std::uint64_t size, bool fileEnd,
                       std::uint64_t position, std::uint64_t base) {
        auto show = [&](std::uint64_t at, const RecordLayout& layout) {
            // Bytes between the last record shown (with its trailer) and this record's stamp
            // belong to nothing: noise.
            const std::uint64_t from = base + at;
            const std::uint64_t stampStart = from >= kRawStampSize ? from - kRawStampSize : from;
            if (stampStart > accounted) result.noiseBytes += stampStart - accounted;
            accounted = std::max(accounted, from + layout.length);
            if (trailerAt(data, accounted - base, size)) accounted += kRawDataTrailer.size();
            const bool stamped = base + at >= kRawStampSize && at >= kRawStampSize;
            const RawStamp stamp =
                stamped ? RawStamp::fromBytes(data + at - kRawStampSize) : RawStamp{};
            sink.onStampedRecord({data + at, layout}, stamped ? &stamp : nullptr);
            ++result.records;
        };
        while (position < size) {
            if (progress && total > 0) {
                const int percent = static_cast<int>((base + position) * 100 / total);
                if (percent > lastPercent) {
                    lastPercent = percent;
                    progress(percent);
                }
            }
            if (size - position <= 1) return fileEnd ? size : position;
            const std::uint64_t at = findSync(data, position, size);
            if (at >= size) return fileEnd ? size : size - 1;  // the last byte may start a pair
            if (!fileEnd && size - at < kLookahead) return at;
            position = at;
            const std::uint64_t rest = size - at;
            const HeaderCheck header = checkHeader(
                data + at, static_cast<std::size_t>(std::min<std::uint64_t>(rest, kLongestRecord)));
            if (header.badLayout && rest >= 9) {
                ++result.defaultCases;
                if (defaultCase) {
                    defaultCase(base + at);
                } else {
                    console.print(u"++++++default case, error++++++");
                }
            }
            const std::uint32_t length = header.layout.length;
            const bool valid = header.state == HeaderState::Known && rest >= length;
            // As in live framing: after a candidate that is no record, a pair at its second
            // sync byte is looked at too.
            const std::uint64_t next =
                findSync(data, at + (header.state == HeaderState::Invalid ? 1 : 2), size);
            if (next >= size) {
                if (valid) show(at, header.layout);
                // In the middle of the file no pair lies within the bytes read: carry on
                // after them.
                if (fileEnd) return size;
                position = size - 1;
            } else {
                const std::uint64_t k = next - at;
                if (valid && k >= length) {
                    show(at, header.layout);
                    position = next;
                } else if (valid && wellDelimited(data, at + length, size)) {
                    show(at, header.layout);
                    position = at + length;
                } else {
                    position = next;
                }
            }
            if (stop.load(std::memory_order_relaxed)) {
                result.cancelled = true;
                return size;
            }
        }
        return fileEnd ? size : position;
    }

    // The scan ended at file offset `end`: what follows the last record shown is noise.
    void finish(std::uint64_t end) {
        if (!result.cancelled && end > accounted) result.noiseBytes += end - accounted;
    }
};

}  // namespace

ReplayScanResult scanRawData(const std::uint8_t* data, std::uint64_t size, StampedRecordSink& sink,
                             LogConsole& console, const std::atomic<bool>& stop,
                             const std::function<void(int)>& progress,
                             const DefaultCaseReport& defaultCase) {
    Scanner scanner(sink, console, stop, progress, defaultCase, size);
    scanner.scan(data, size, true, 0, 0);
    scanner.finish(size);
    return scanner.result;
}

RawDataInput::~RawDataInput() { close(); }

int RawDataInput::open(const std::string& path) {
    close();
    std::uint64_t size = 0;
    if (const int err = openRegularFileForReading(path, file_, size); err != 0) return err;
    file_.adviseSequential();
    size_ = size;
    return 0;
}

void reportRawDataOpenFailure(LogConsole& console, std::u16string_view shownPath, int error) {
    if (error == kNotARegularFile) {
        console.print(u"[R] Fail to read raw data file \"%s\": not a regular file", {shownPath});
    } else {
        console.print(u"[R] Fail to read raw data file \"%s\", error:0x%x", {shownPath, error});
    }
}

void RawDataInput::close() {
    file_.close();
    size_ = 0;
}

ReplayScanResult scanRawDataFile(const RawDataInput& input, StampedRecordSink& sink,
                                 LogConsole& console, const std::atomic<bool>& stop,
                                 const std::function<void(int)>& progress,
                                 const DefaultCaseReport& defaultCase) {
    Scanner scanner(sink, console, stop, progress, defaultCase, input.size());
    std::vector<std::uint8_t> buffer(kReadBlock + kLookahead);
    std::uint64_t base = 0;      // file offset of buffer[0]
    std::size_t filled = 0;      // bytes in the buffer
    std::uint64_t position = 0;  // where scanning continues, in the buffer
    for (;;) {
        // Fill the buffer from the file; the file ends where it ended when it was opened.
        bool fileEnd = false;
        while (filled < buffer.size()) {
            const std::uint64_t offset = base + filled;
            if (offset >= input.size()) {
                fileEnd = true;
                break;
            }
            const std::size_t want = static_cast<std::size_t>(
                std::min<std::uint64_t>(buffer.size() - filled, input.size() - offset));
            const IoResult got = input.readAt(offset, buffer.data() + filled, want);
            if (!got.ok()) {
                scanner.result.readError = got.error;
                fileEnd = true;
                break;
            }
            if (got.count == 0) {
                // Shorter than when it was opened: what was read is all there is.
                scanner.result.fileChanged = true;
                fileEnd = true;
                break;
            }
            filled += got.count;
        }
        const std::uint64_t resume = scanner.scan(buffer.data(), filled, fileEnd, position, base);
        if (fileEnd || scanner.result.cancelled) break;
        // Keep the bytes from the resume point on, with the stamp in front of it, and read
        // on behind them.
        const std::uint64_t keepFrom = resume - std::min<std::uint64_t>(resume, kRawStampSize);
        std::memmove(buffer.data(), buffer.data() + keepFrom,
                     filled - static_cast<std::size_t>(keepFrom));
        base += keepFrom;
        filled -= static_cast<std::size_t>(keepFrom);
        position = resume - keepFrom;
    }
    scanner.finish(base + filled);
    return scanner.result;
}

std::string replayTextFilePath() {
    const std::string folder = userDataFolder();
    makeFolders(folder);
    return joinPath(folder, "_nimbrel_temp.txt");
}

ReplayRange cutReplayText(const std::string& path, int startPercent, int endPercent) {
    endPercent = std::clamp(endPercent, 0, 100);
    startPercent = std::clamp(startPercent, 0, endPercent);
    const FileStatus st = fileStatus(path);
    if (st.kind == FileKind::Missing) return {};
    const std::uint64_t length = st.size;
    ReplayRange range{length * static_cast<std::uint64_t>(startPercent) / 100,
                      length * static_cast<std::uint64_t>(endPercent) / 100};
    if (range.end < length && truncateFile(path, range.end) != 0) range.end = length;
    return range;
}

bool showReplayRange(const std::string& path, ReplayRange range, bool colour, LogConsole& console,
                     const std::atomic<bool>& stop) {
    MappedFile file;
    if (file.open(path) != 0) return false;
    const std::uint64_t end = std::min(range.end, file.size());
    const std::uint64_t begin = std::min(range.begin, end);
    const std::string_view bytes(reinterpret_cast<const char*>(file.data()) + begin, end - begin);
    if (!colour) {
        console.view().replaceAll(utf8ToUtf16(bytes), console.view().defaultColour());
        return true;
    }
    std::string_view rest = bytes;
    while (!rest.empty() && !stop.load(std::memory_order_relaxed)) {
        const auto nl = rest.find('\n');
        std::string_view line = rest.substr(0, nl);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        console.printText(utf8ToUtf16(line));
        rest = nl == std::string_view::npos ? std::string_view{} : rest.substr(nl + 1);
    }
    return true;
}

}  // namespace nimbrel
