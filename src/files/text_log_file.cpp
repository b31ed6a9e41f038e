#include "files/text_log_file.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "files/replacing_file.h"
#include "pipeline/log_console.h"
#include "platform/file_handle.h"
#include "platform/text.h"

namespace nimbrel {

std::atomic<bool> g_textLogOpened{false};

namespace {

constexpr std::size_t kChunkBytes = 1 << 20;
constexpr char16_t kByteOrderMark = 0xFEFF;

std::u16string_view withoutCr(std::u16string_view line) {
    if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
    return line;
}

bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Cuts a file's text into the lines the reader hands on: each line without its LF and
// without a CR before it, a line longer than kLongestTextLogLine in pieces of that length.
// What it keeps of an unfinished line stays below two read chunks, however long the line.
class LineCutter {
public:
    LineCutter(const std::function<void(std::u16string_view)>& line, const std::atomic<bool>& stop,
               TextLogReadResult& result)
        : line_(line), stop_(stop), result_(result) {}

    // False once a stop was requested.
    bool add(std::u16string_view text) {
        while (!text.empty()) {
            const std::size_t lf = text.find(u'\n');
            if (lf == std::u16string_view::npos) {
                carry_.append(text);
                // One character more than a piece may be a CR that the next chunk's LF
                // turns into the line's end: it is kept until that is known.
                std::u16string_view rest = carry_;
                while (rest.size() > kLongestTextLogLine + 1) {
                    if (!showPiece(rest)) return false;
                }
                carry_.erase(0, carry_.size() - rest.size());
                return true;
            }
            std::u16string_view whole = text.substr(0, lf);
            if (!carry_.empty()) {
                carry_.append(whole);
                whole = carry_;
            }
            if (!finishLine(withoutCr(whole))) return false;
            carry_.clear();
            text.remove_prefix(lf + 1);
        }
        return true;
    }
    // The file has ended: what is left is its last line, which needs no line end.
    void finish() {
        if (!carry_.empty()) finishLine(withoutCr(carry_));
        carry_.clear();
    }

private:
    // Shows the first piece of `rest` and drops it from `rest`. A piece does not end
    // between the two halves of a surrogate pair.
    bool showPiece(std::u16string_view& rest) {
        std::size_t n = kLongestTextLogLine;
        if (isHighSurrogate(rest[n - 1]) && isLowSurrogate(rest[n])) --n;
        if (!cutting_) ++result_.cutLines;
        cutting_ = true;
        const std::u16string_view piece = rest.substr(0, n);
        rest.remove_prefix(n);
        return show(piece);
    }
    bool finishLine(std::u16string_view whole) {
        while (whole.size() > kLongestTextLogLine) {
            if (!showPiece(whole)) return false;
        }
        cutting_ = false;
        return show(whole);
    }
    bool show(std::u16string_view piece) {
        line_(piece);
        ++result_.lines;
        if (!stop_.load(std::memory_order_relaxed)) return true;
        result_.cancelled = true;
        return false;
    }

    const std::function<void(std::u16string_view)>& line_;
    const std::atomic<bool>& stop_;
    TextLogReadResult& result_;
    std::u16string carry_;  // the start of a line that runs on into the next chunk
    bool cutting_ = false;  // the line being read has been cut already
};

}  // namespace

TextLogReadResult readTextLog(const std::string& path,
                              const std::function<void(std::u16string_view)>& line,
                              const std::atomic<bool>& stop,
                              const std::function<void(int)>& progress) {
    TextLogReadResult result;
    FileHandle file;
    std::uint64_t size = 0;
    if (const int err = openRegularFileForReading(path, file, size); err != 0) {
        result.error = err;
        return result;
    }
    file.adviseSequential();

    // One spare byte in front holds the odd byte left over from the previous chunk.
    std::vector<unsigned char> bytes(kChunkBytes + 1);
    std::vector<char16_t> units(kChunkBytes / 2 + 1);
    LineCutter cutter(line, stop, result);
    std::size_t oddByte = 0;
    std::uint64_t done = 0;
    int lastPercent = 0;
    bool first = true;
    for (;;) {
        if (stop.load(std::memory_order_relaxed)) {
            result.cancelled = true;
            return result;
        }
        const IoResult got = file.readSome(bytes.data() + oddByte, kChunkBytes);
        if (!got.ok()) {
            result.error = got.error;
            return result;
        }
        if (got.count == 0) break;
        done += got.count;
        const std::size_t have = oddByte + got.count;
        const std::size_t count = have / 2;
        for (std::size_t i = 0; i < count; ++i) {
            units[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        }
        oddByte = have % 2;
        if (oddByte) bytes[0] = bytes[have - 1];

        std::u16string_view text(units.data(), count);
        if (first && !text.empty()) {
            if (text.front() == kByteOrderMark) text.remove_prefix(1);
            first = false;
        }
        if (!cutter.add(text)) return result;
        if (progress && size > 0) {
            const int percent = static_cast<int>(std::min<std::uint64_t>(done, size) * 100 / size);
            if (percent > lastPercent) {
                lastPercent = percent;
                progress(percent);
            }
        }
    }
    cutter.finish();
    return result;
}

TextLogOpenOutcome openTextLog(LogConsole& console, const TextLogOpenOptions& options,
                               const std::atomic<bool>& stop) {
    const std::u16string shownPath = utf8ToUtf16(options.path);
    const FileStatus st = fileStatus(options.path);
    if (st.kind == FileKind::Missing) {
        console.print(u"[R] File \"%s\" doesn't exist.", {shownPath});
        return TextLogOpenOutcome::Missing;
    }
    // Checked up front so that a file without read permission, a folder, a device or a
    // FIFO changes nothing.
    int error = st.kind == FileKind::Folder ? EISDIR
                : st.kind == FileKind::Fifo || st.kind == FileKind::Other
                    ? kNotARegularFile
                    : checkReadable(options.path);
    auto reportFailure = [&](int failure) {
        console.print(u"[R] Fail to read text log \"%s\": %s",
                      {shownPath, utf8ToUtf16(fileErrorText(failure))});
    };
    if (error != 0) {
        reportFailure(error);
        return TextLogOpenOutcome::Unreadable;
    }
    if (options.started) options.started();
    const TextLogReadResult read = readTextLog(
        options.path, [&](std::u16string_view text) { console.printLine(text); }, stop,
        options.progress);
    if (read.cutLines > 0) {
        console.print(kLongLinesCutMessage,
                      {static_cast<unsigned long long>(kLongestTextLogLine), shownPath});
    }
    if (read.error != 0) {
        reportFailure(read.error);
        return TextLogOpenOutcome::Unreadable;
    }
    return read.cancelled ? TextLogOpenOutcome::Cancelled : TextLogOpenOutcome::Done;
}

int writeTextLog(const std::string& path, std::u16string_view text) {
    ReplacingFile file;
    if (const int error = file.open(path); error != 0) return error;
    std::vector<char> buffer;
    buffer.reserve(kChunkBytes + 4);
    auto put = [&](char16_t u) {
        buffer.push_back(static_cast<char>(u & 0xFF));
        buffer.push_back(static_cast<char>(u >> 8));
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n') put(u'\r');
        put(text[i]);
        if (buffer.size() >= kChunkBytes) {
            if (const int error = file.file().writeAll(buffer.data(), buffer.size()); error != 0)
                return error;
            buffer.clear();
        }
    }
    if (const int error = file.file().writeAll(buffer.data(), buffer.size()); error != 0)
        return error;
    return file.commit();
}

}  // namespace nimbrel
