#include "files/text_log_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "pipeline/log_console.h"
#include "platform/mapped_file.h"
#include "platform/text.h"

namespace nimbrel {

std::atomic<bool> g_textLogOpened{false};

namespace {

constexpr std::size_t kChunkBytes = 1 << 20;
constexpr char16_t kByteOrderMark = 0xFEFF;

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

ssize_t readSome(int fd, unsigned char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR) return n;
    }
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::u16string_view withoutCr(std::u16string_view line) {
    if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
    return line;
}

// The file that `path` names: a symbolic link is followed so that saving replaces the
// file it points at, not the link.
std::string resolvedTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char real[PATH_MAX];
    return ::realpath(path.c_str(), real) ? std::string(real) : path;
}

}  // namespace

TextLogReadResult readTextLog(const std::string& path,
                              const std::function<void(std::u16string_view)>& line,
                              const std::atomic<bool>& stop,
                              const std::function<void(int)>& progress) {
    TextLogReadResult result;
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        result.error = errno;
        return result;
    }
    struct stat st {};
    const std::uint64_t size =
        ::fstat(fd.get(), &st) == 0 && st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;

    // One spare byte in front holds the odd byte left over from the previous chunk.
    std::vector<unsigned char> bytes(kChunkBytes + 1);
    std::vector<char16_t> units(kChunkBytes / 2 + 1);
    std::u16string carry;  // a line that runs on into the next chunk
    std::size_t oddByte = 0;
    std::uint64_t done = 0;
    int lastPercent = 0;
    bool first = true;
    for (;;) {
        const ssize_t n = readSome(fd.get(), bytes.data() + oddByte, kChunkBytes);
        if (n < 0) {
            result.error = errno;
            return result;
        }
        if (n == 0) break;
        done += static_cast<std::uint64_t>(n);
        const std::size_t have = oddByte + static_cast<std::size_t>(n);
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
    struct stat st {};
    if (::stat(options.path.c_str(), &st) != 0) {
        console.print(u"[R] File \"%s\" doesn't exist.", {shownPath});
        return TextLogOpenOutcome::Missing;
    }
    // Opened once up front so that a file without read permission changes nothing.
    const int probe = ::open(options.path.c_str(), O_RDONLY | O_CLOEXEC);
    int error = probe < 0 ? errno : 0;
    if (probe >= 0) ::close(probe);
    if (error == 0 && S_ISDIR(st.st_mode)) error = EISDIR;
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
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        console.print(u"[R] File \"%s\" doesn't exist.", {shownPath});
        return TextLogOpenOutcome::Missing;
    }
    int fd = -1;
    std::uint64_t size = 0;
    if (const int error = openRegularFileForReading(path, fd, size); error != 0) {
        const std::u16string reason = error == EINVAL ? std::u16string(u"not a regular file")
                                                      : utf8ToUtf16(std::strerror(error));
        console.print(u"[R] Fail to read text log \"%s\": %s", {shownPath, reason});
        return TextLogOpenOutcome::Unreadable;
    }
    source.fd = fd;
    source.size = size;
    return TextLogOpenOutcome::Done;
}

TextLogWriter::~TextLogWriter() { abandon(); }

int TextLogWriter::open(const std::string& path) {
    abandon();
    error_ = 0;
    written_ = 0;
    target_ = resolvedTarget(path);
    const std::size_t slash = target_.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target_.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    temp_ = folder + (slash == std::string::npos ? "/." : ".") + name + ".XXXXXX";
    fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        temp_.clear();
        return errno;
    }
    // A replaced file keeps its permissions; a new one gets the usual ones.
    struct stat old {};
    mode_t mode = 0;
    if (::stat(target_.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd_, mode) != 0) error_ = errno;
    buffer_.reserve(kChunkBytes + 4);
    return error_;
}

int TextLogWriter::flush() {
    if (error_ == 0 && !buffer_.empty() && !writeAll(fd_, buffer_.data(), buffer_.size()))
        error_ = errno;
    written_ += buffer_.size();
    buffer_.clear();
    return error_;
}

int TextLogWriter::write(std::u16string_view units) {
    if (fd_ < 0) return error_ ? error_ : EBADF;
    while (!units.empty() && error_ == 0) {
        const std::size_t room = (kChunkBytes - buffer_.size()) / 2;
        const std::size_t take = std::min(room, units.size());
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
    if (fd_ < 0) return error_ ? error_ : EBADF;
    flush();
    if (error_ == 0 && sync && ::fsync(fd_) != 0) error_ = errno;
    if (::close(std::exchange(fd_, -1)) != 0 && error_ == 0) error_ = errno;
    if (error_ == 0 && ::rename(temp_.c_str(), target_.c_str()) != 0) error_ = errno;
    if (error_ != 0) ::unlink(temp_.c_str());
    temp_.clear();
    return error_;
}

void TextLogWriter::abandon() {
    if (fd_ >= 0) {
        ::close(std::exchange(fd_, -1));
        ::unlink(temp_.c_str());
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
