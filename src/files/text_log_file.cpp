#include "files/text_log_file.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "pipeline/log_console.h"
#include "platform/file_handle.h"
#include "platform/text.h"

namespace nimbrel {

namespace {

constexpr std::size_t kChunkBytes = 1 << 20;
constexpr char16_t kByteOrderMark = 0xFEFF;

std::u16string_view withoutCr(std::u16string_view line) {
    if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
    return line;
}

}  // namespace

TextLogReadResult readTextLog(const std::string& path,
                              const std::function<void(std::u16string_view)>& line,
                              const std::atomic<bool>& stop,
                              const std::function<void(int)>& progress) {
    TextLogReadResult result;
    FileHandle file;
    if (const int err = file.open(path, FileMode::Read); err != 0) {
        result.error = err;
        return result;
    }
    std::uint64_t size = 0;
    if (file.size(size) != 0) size = 0;

    // One spare byte in front holds the odd byte left over from the previous chunk.
    std::vector<unsigned char> bytes(kChunkBytes + 1);
    std::vector<char16_t> units(kChunkBytes / 2 + 1);
    std::u16string carry;  // a line that runs on into the next chunk
    std::size_t oddByte = 0;
    std::uint64_t done = 0;
    int lastPercent = 0;
    bool first = true;
    for (;;) {
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
        while (!text.empty()) {
            const std::size_t lf = text.find(u'\n');
            if (lf == std::u16string_view::npos) {
                carry.append(text);
                break;
            }
            if (carry.empty()) {
                line(withoutCr(text.substr(0, lf)));
            } else {
                carry.append(text.substr(0, lf));
                line(withoutCr(carry));
                carry.clear();
            }
            ++result.lines;
            text.remove_prefix(lf + 1);
            if (stop.load(std::memory_order_relaxed)) {
                result.cancelled = true;
                return result;
            }
        }
        if (progress && size > 0) {
            const int percent = static_cast<int>(std::min<std::uint64_t>(done, size) * 100 / size);
            if (percent > lastPercent) {
                lastPercent = percent;
                progress(percent);
            }
        }
    }
    if (!carry.empty()) {
        line(withoutCr(carry));
        ++result.lines;
    }
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
    // Opened once up front so that a file without read permission changes nothing.
    int error = st.kind == FileKind::Folder ? EISDIR : checkReadable(options.path);
    if (error != 0) {
        console.print(u"[R] Fail to read text log \"%s\": %s",
                      {shownPath, utf8ToUtf16(std::strerror(error))});
        return TextLogOpenOutcome::Unreadable;
    }
    if (options.started) options.started();
    const TextLogReadResult read = readTextLog(
        options.path, [&](std::u16string_view text) { console.printText(text); }, stop,
        options.progress);
    if (read.error != 0) {
        console.print(u"[R] Fail to read text log \"%s\": %s",
                      {shownPath, utf8ToUtf16(std::strerror(read.error))});
        return TextLogOpenOutcome::Unreadable;
    }
    return read.cancelled ? TextLogOpenOutcome::Cancelled : TextLogOpenOutcome::Done;
}

TextLogOpenOutcome openTextLogSource(LogConsole& console, const std::string& path,
                                     TextLogSource& source) {
    const std::u16string shownPath = utf8ToUtf16(path);
    if (fileStatus(path).kind == FileKind::Missing) {
        console.print(u"[R] File \"%s\" doesn't exist.", {shownPath});
        return TextLogOpenOutcome::Missing;
    }
    std::uint64_t size = 0;
    if (const int error = openRegularFileForReading(path, source.file, size); error != 0) {
        console.print(u"[R] Fail to read text log \"%s\": %s",
                      {shownPath, utf8ToUtf16(fileErrorText(error))});
        return TextLogOpenOutcome::Unreadable;
    }
    source.size = size;
    return TextLogOpenOutcome::Done;
}

TextLogWriter::~TextLogWriter() { abandon(); }

int TextLogWriter::open(const std::string& path) {
    abandon();
    error_ = 0;
    written_ = 0;
    // A symbolic link is followed, so that saving replaces the file it points at.
    target_ = resolvedFilePath(path);
    if (const int err = createReplacementFile(target_, file_, temp_); err != 0) {
        temp_.clear();
        return err;
    }
    buffer_.reserve(kChunkBytes + 4);
    return 0;
}

int TextLogWriter::flush() {
    if (error_ == 0 && !buffer_.empty()) error_ = file_.writeAll(buffer_.data(), buffer_.size());
    written_ += buffer_.size();
    buffer_.clear();
    return error_;
}

int TextLogWriter::write(std::u16string_view units) {
    if (!file_.isOpen()) return error_ ? error_ : EBADF;
    if constexpr (std::endian::native == std::endian::little) {
        // The units are UTF-16LE as they lie in memory: large pieces go out as they are.
        if (units.size() * 2 >= kChunkBytes) {
            if (flush() == 0) error_ = file_.writeAll(units.data(), units.size() * 2);
            if (error_ == 0) written_ += units.size() * 2;
            return error_;
        }
    }
    while (!units.empty() && error_ == 0) {
        const std::size_t take = std::min((kChunkBytes - buffer_.size()) / 2, units.size());
        const std::size_t at = buffer_.size();
        buffer_.resize(at + take * 2);
        char* out = buffer_.data() + at;
        for (std::size_t i = 0; i < take; ++i) {
            out[2 * i] = static_cast<char>(units[i] & 0xFF);
            out[2 * i + 1] = static_cast<char>(units[i] >> 8);
        }
        units.remove_prefix(take);
        if (buffer_.size() + 2 > kChunkBytes) flush();
    }
    return error_;
}

int TextLogWriter::commit(bool sync) {
    if (!file_.isOpen()) return error_ ? error_ : EBADF;
    flush();
    if (error_ == 0 && sync) error_ = file_.flushToDisk();
    if (const int closed = file_.close(); error_ == 0) error_ = closed;
    if (error_ == 0) error_ = replaceFile(temp_, target_);
    if (error_ != 0) removeFile(temp_);
    temp_.clear();
    return error_;
}

void TextLogWriter::abandon() {
    if (file_.isOpen()) {
        file_.close();
        removeFile(temp_);
    }
    temp_.clear();
    buffer_.clear();
}

int writeTextLog(const std::string& path, std::u16string_view text) {
    TextLogWriter writer;
    if (const int error = writer.open(path); error != 0) return error;
    std::u16string piece;
    piece.reserve(kChunkBytes / 2 + 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n') piece.push_back(u'\r');
        piece.push_back(text[i]);
        if (piece.size() >= kChunkBytes / 2) {
            if (const int error = writer.write(piece); error != 0) return error;
            piece.clear();
        }
    }
    if (const int error = writer.write(piece); error != 0) return error;
    return writer.commit();
}

}  // namespace nimbrel
