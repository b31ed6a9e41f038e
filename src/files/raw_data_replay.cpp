#include "files/raw_data_replay.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pipeline/color_tag.h"
#include "pipeline/log_console.h"
#include "pipeline/raw_data_file.h"
#include "pipeline/record_formatter.h"
#include "platform/mapped_file.h"
#include "platform/program_folder.h"
#include "platform/text.h"

namespace nimbrel {
namespace {

bool syncAt(const std::uint8_t* d, std::uint64_t i) { return d[i] == kSyncByte && d[i + 1] == kSyncByte; }

bool trailerAt(const std::uint8_t* d, std::uint64_t i, std::uint64_t size) {
    return i + kRawDataTrailer.size() <= size && std::equal(kRawDataTrailer.begin(), kRawDataTrailer.end(), d + i);
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
        const void* hit = std::memchr(d + from, kSyncByte, static_cast<std::size_t>(size - 1 - from));
        if (!hit) return size;
        const auto i = static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(hit) - d);
        if (d[i + 1] == kSyncByte) return i;
        from = i + 2;  // d[i + 1] is not A5: no pair starts at i or i + 1
    }
    return size;
}

}  // namespace

ReplayScanResult scanRawData(const std::uint8_t* data, std::uint64_t size, RecordFormatter& formatter,
                             LogConsole& console, const std::atomic<bool>& stop,
                             const std::function<void(int)>& progress, const DefaultCaseReport& defaultCase) {
    ReplayScanResult result;
    int lastPercent = 0;
    std::uint64_t position = 0;
    std::uint64_t accounted = 0;  // end of the last record (and its trailer) shown
    auto show = [&](std::uint64_t at, const RecordLayout& layout) {
        const std::uint64_t stampStart = at >= kRawStampSize ? at - kRawStampSize : at;
        if (stampStart > accounted) result.noiseBytes += stampStart - accounted;
        accounted = std::max(accounted, at + layout.length);
        if (trailerAt(data, accounted, size)) accounted += kRawDataTrailer.size();
        RawStamp stamp;
        if (at >= kRawStampSize) std::copy(data + at - kRawStampSize, data + at, stamp.begin());
        formatter.formatAndShow({data + at, layout}, at >= kRawStampSize ? &stamp : nullptr);
        ++result.records;
    };
    while (position < size) {
        if (progress) {
            const int percent = static_cast<int>(position * 100 / size);
            if (percent > lastPercent) {
                lastPercent = percent;
                progress(percent);
            }
        }
        if (size - position <= 1) break;
        const std::uint64_t at = findSync(data, position, size);
        if (at >= size) break;
        position = at;
        const std::uint64_t rest = size - at;
        const HeaderCheck header = checkHeader(data + at, static_cast<std::size_t>(std::min<std::uint64_t>(rest, kLongestRecord)));
        if (header.badLayout && rest >= 9) {
            ++result.defaultCases;
            if (defaultCase) {
                defaultCase(at);
            } else {
                console.print(u"++++++default case, error++++++");
            }
        }
        const std::uint32_t length = header.layout.length;
        const bool valid = header.state == HeaderState::Known && rest >= length;
        const std::uint64_t next = findSync(data, at + 2, size);
        if (next >= size) {
            if (valid) show(at, header.layout);
            break;
        }
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
        if (stop.load(std::memory_order_relaxed)) {
            result.cancelled = true;
            break;
        }
    }
    if (!result.cancelled && size > accounted) result.noiseBytes += size - accounted;
    return result;
}

std::string replayTextFilePath() {
    const std::string folder = userDataFolder();
    makeFolders(folder);
    return folder + "/_nimbrel_temp.txt";
}

ReplayRange cutReplayText(const std::string& path, int startPercent, int endPercent) {
    endPercent = std::clamp(endPercent, 0, 100);
    startPercent = std::clamp(startPercent, 0, endPercent);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    const auto length = static_cast<std::uint64_t>(st.st_size);
    ReplayRange range{length * static_cast<std::uint64_t>(startPercent) / 100,
                      length * static_cast<std::uint64_t>(endPercent) / 100};
    if (range.end < length && ::truncate(path.c_str(), static_cast<off_t>(range.end)) != 0) range.end = length;
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
