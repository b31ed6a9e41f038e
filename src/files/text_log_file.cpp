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

int writeTextLog(const std::string& path, std::u16string_view text) {
    const std::string target = resolvedTarget(path);
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = folder + (slash == std::string::npos ? "/." : ".") + name + ".XXXXXX";
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0) return errno;

    int error = 0;
    // A replaced file keeps its permissions; a new one gets the usual ones.
    struct stat old {};
    mode_t mode = 0;
    if (::stat(target.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd.get(), mode) != 0) error = errno;

    std::vector<char> buffer;
    buffer.reserve(kChunkBytes + 4);
    auto put = [&](char16_t u) {
        buffer.push_back(static_cast<char>(u & 0xFF));
        buffer.push_back(static_cast<char>(u >> 8));
    };
    for (std::size_t i = 0; i < text.size() && error == 0; ++i) {
        if (text[i] == u'\n') put(u'\r');
        put(text[i]);
        if (buffer.size() >= kChunkBytes) {
            if (!writeAll(fd.get(), buffer.data(), buffer.size())) error = errno;
            buffer.clear();
        }
    }
    if (error == 0 && !writeAll(fd.get(), buffer.data(), buffer.size())) error = errno;
    if (error == 0 && ::fsync(fd.get()) != 0) error = errno;
    if (::close(fd.release()) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) ::unlink(temp.c_str());
    return error;
}

}  // namespace nimbrel
