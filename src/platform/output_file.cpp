#include "platform/output_file.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nimbrel {
namespace {

int closeKeepingError(int fd, int error) {
    if (::close(fd) != 0 && error == 0) error = errno;
    return error;
}

}  // namespace

bool isSameFile(int fd, const std::string& path) {
    struct stat open {
    }, named{};
    return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

OutputFile::~OutputFile() { discard(); }

int OutputFile::create(const std::string& path) {
    discard();
    std::string target = path;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return EISDIR;
        if (!S_ISREG(st.st_mode)) return openExisting(path);
        // Replace the file a link points to, not the link.
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    // A name of our own beside the target, so that the rename stays within one file system.
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = target + ".part" + std::to_string(::getpid()) + "-" +
                                      std::to_string(counter.fetch_add(1));
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            temporary_ = temporary;
            target_ = target;
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

int OutputFile::openExisting(const std::string& path) {
    discard();
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return errno;
    fd_ = fd;
    target_ = path;
    return 0;
}

int OutputFile::write(const void* data, std::size_t size) {
    if (fd_ < 0) return EBADF;
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

int OutputFile::commit() {
    if (fd_ < 0) return EBADF;
    const int fd = fd_;
    fd_ = -1;
    if (temporary_.empty()) return closeKeepingError(fd, 0);
    int error = ::fsync(fd) == 0 ? 0 : errno;
    error = closeKeepingError(fd, error);
    if (error == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0) error = errno;
    if (error != 0) ::unlink(temporary_.c_str());
    temporary_.clear();
    return error;
}

bool OutputFile::readerGone() const {
    if (fd_ < 0) return false;
    // The write end of a pipe without readers polls as an error.
    pollfd p{fd_, 0, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLERR) != 0;
}

void OutputFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

}  // namespace nimbrel
