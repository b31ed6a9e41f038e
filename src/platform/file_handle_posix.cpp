#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "platform/file_handle.h"

namespace nimbrel {
namespace {

int fdOf(FileHandle::Native native) { return static_cast<int>(native); }

int openFlags(FileMode mode) {
    switch (mode) {
    case FileMode::Read: return O_RDONLY;
    case FileMode::WriteTruncate: return O_WRONLY | O_CREAT | O_TRUNC;
    case FileMode::Append: return O_WRONLY | O_CREAT | O_APPEND;
    case FileMode::CreateNew: return O_WRONLY | O_CREAT | O_EXCL;
    }
    return O_RDONLY;
}

}  // namespace

FileHandle::~FileHandle() { close(); }

FileHandle::FileHandle(FileHandle&& other) noexcept
    : native_(std::exchange(other.native_, kInvalid)), owned_(other.owned_) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        close();
        native_ = std::exchange(other.native_, kInvalid);
        owned_ = other.owned_;
    }
    return *this;
}

FileHandle FileHandle::standardOutput() { return FileHandle(STDOUT_FILENO, false); }

int FileHandle::open(const std::string& path, FileMode mode) {
    close();
    // Opening a FIFO for reading would wait for a writer, possibly for ever: the open does
    // not wait, and reads wait again as usual (a FIFO without a writer reads as empty).
    const bool read = mode == FileMode::Read;
    const int fd =
        ::open(path.c_str(), openFlags(mode) | O_CLOEXEC | (read ? O_NONBLOCK : 0), 0666);
    if (fd < 0) return errno;
    if (read) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    native_ = fd;
    owned_ = true;
    return 0;
}

IoResult FileHandle::readSome(void* buffer, std::size_t size) {
    if (!isOpen()) return {0, EBADF};
    for (;;) {
        const ssize_t n = ::read(fdOf(native_), buffer, size);
        if (n >= 0) return {static_cast<std::size_t>(n), 0};
        if (errno != EINTR) return {0, errno};
    }
}

IoResult FileHandle::readAt(std::uint64_t offset, void* buffer, std::size_t size) {
    if (!isOpen()) return {0, EBADF};
    for (;;) {
        const ssize_t n = ::pread(fdOf(native_), buffer, size, static_cast<off_t>(offset));
        if (n >= 0) return {static_cast<std::size_t>(n), 0};
        if (errno != EINTR) return {0, errno};
    }
}

std::size_t FileHandle::readFullyAt(std::uint64_t offset, void* buffer, std::size_t size) const {
    if (!isOpen()) return 0;
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n =
            ::pread(fdOf(native_), out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

int FileHandle::writeAllAt(std::uint64_t offset, const void* data, std::size_t size) {
    if (!isOpen()) return EBADF;
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(fdOf(native_), bytes, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return ENOSPC;
        bytes += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return 0;
}

void FileHandle::adviseSequential() {
    if (isOpen()) ::posix_fadvise(fdOf(native_), 0, 0, POSIX_FADV_SEQUENTIAL);
}

int FileHandle::writeAll(const void* data, std::size_t size) {
    if (!isOpen()) return EBADF;
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fdOf(native_), bytes, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

int FileHandle::size(std::uint64_t& bytes) const {
    struct stat st {};
    if (::fstat(fdOf(native_), &st) != 0) return errno;
    bytes = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    return 0;
}

int FileHandle::flushToDisk() { return ::fsync(fdOf(native_)) == 0 ? 0 : errno; }

int FileHandle::close() {
    const Native native = std::exchange(native_, kInvalid);
    if (native == kInvalid || !owned_) return 0;
    return ::close(fdOf(native)) == 0 ? 0 : errno;
}

FileHandle::Native FileHandle::release() { return std::exchange(native_, kInvalid); }

FileStatus fileStatus(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {FileKind::Missing, 0, errno};
    const FileKind kind = S_ISREG(st.st_mode)    ? FileKind::Regular
                          : S_ISDIR(st.st_mode)  ? FileKind::Folder
                          : S_ISFIFO(st.st_mode) ? FileKind::Fifo
                                                 : FileKind::Other;
    return {kind, st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0, 0};
}

int checkReadable(const std::string& path) { return ::access(path.c_str(), R_OK) == 0 ? 0 : errno; }

int checkWritableFolder(const std::string& folder) {
    const FileStatus st = fileStatus(folder);
    if (st.kind == FileKind::Missing) return st.error;
    if (st.kind != FileKind::Folder) return ENOTDIR;
    return ::access(folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

int removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

int createReplacementFile(const std::string& target, FileHandle& file, std::string& tempPath) {
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "./" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = folder + "." + name + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    FileHandle opened(fd);
    struct stat old {};
    mode_t mode = 0;
    if (::stat(target.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0) {
        const int err = errno;
        opened.close();
        ::unlink(temp.c_str());
        return err;
    }
    file = std::move(opened);
    tempPath = std::move(temp);
    return 0;
}

int replaceFile(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int renameNoReplace(const std::string& from, const std::string& to) {
    // link() fails when `to` exists, where rename() would replace it.
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    ::unlink(from.c_str());
    return 0;
}

int truncateFile(const std::string& path, std::uint64_t size) {
    return ::truncate(path.c_str(), static_cast<off_t>(size)) == 0 ? 0 : errno;
}

std::string resolvedFilePath(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char real[PATH_MAX];
    return ::realpath(path.c_str(), real) ? std::string(real) : path;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {
    }, second{};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

int createScratchFile(const std::string& folder, FileHandle& file) {
    for (std::size_t at = 1; at <= folder.size(); ++at) {
        if (at == folder.size() || folder[at] == '/') ::mkdir(folder.substr(0, at).c_str(), 0700);
    }
    // O_TMPFILE where the file system has it, else a named file unlinked at once.
#ifdef O_TMPFILE
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
        file = FileHandle(fd);
        return 0;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
#endif
    std::string name = folder + "/view-text.XXXXXX";
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named < 0) return errno;
    ::unlink(name.c_str());
    file = FileHandle(named);
    return 0;
}

}  // namespace nimbrel
