#include "files/replacing_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nimbrel {
namespace {

// The file that `path` names: a symbolic link is followed so that the file it points at is
// replaced, not the link.
std::string resolvedTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char real[PATH_MAX];
    return ::realpath(path.c_str(), real) ? std::string(real) : path;
}

// Permissions for the new file: those of the file it replaces, else the usual ones.
mode_t modeFor(const std::string& target) {
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) return old.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

ReplacingFile::~ReplacingFile() { abandon(); }

int ReplacingFile::open(const std::string& path) {
    abandon();
    target_ = resolvedTarget(path);
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode)) return EISDIR;
        // Not blocking on a FIFO nobody reads: that fails with ENXIO at once.
        fd_ = ::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) return errno;
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        inPlace_ = true;
        return 0;
    }
    const std::size_t slash = target_.rfind('/');
    temp_ = slash == std::string::npos
                ? "." + target_
                : target_.substr(0, slash + 1) + "." + target_.substr(slash + 1);
    temp_ += ".XXXXXX";
    fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        const int error = errno;
        temp_.clear();
        return error;
    }
    if (::fchmod(fd_, modeFor(target_)) != 0) {
        const int error = errno;
        abandon();
        return error;
    }
    return 0;
}

int ReplacingFile::commit() {
    if (fd_ < 0) return EBADF;
    int error = 0;
    if (!inPlace_ && ::fsync(fd_) != 0) error = errno;
    if (::close(fd_) != 0 && error == 0) error = errno;
    fd_ = -1;
    if (!inPlace_ && error == 0 && ::rename(temp_.c_str(), target_.c_str()) != 0) error = errno;
    if (error != 0 && !temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    inPlace_ = false;
    return error;
}

void ReplacingFile::abandon() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    inPlace_ = false;
}

}  // namespace nimbrel
