#include "platform/mapped_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nimbrel {

MappedFile::~MappedFile() { close(); }

int openRegularFileForReading(const std::string& path, int& fd, std::uint64_t& size) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer, possibly for ever.
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st {};
    int err = 0;
    if (::fstat(fd, &st) != 0) {
        err = errno;
    } else if (!S_ISREG(st.st_mode)) {
        err = S_ISDIR(st.st_mode) ? EISDIR : kNotARegularFile;
    } else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        err = errno;
    }
    if (err != 0) {
        ::close(fd);
        fd = -1;
        return err;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return 0;
}

std::string fileErrorText(int error) {
    return error == kNotARegularFile ? "not a regular file" : std::strerror(error);
}

int MappedFile::open(const std::string& path) {
    close();
    int fd = -1;
    std::uint64_t size = 0;
    if (const int err = openRegularFileForReading(path, fd, size); err != 0) return err;
    if (size > 0) {
        void* p = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) {
            const int err = errno;
            ::close(fd);
            return err;
        }
        ::madvise(p, static_cast<std::size_t>(size), MADV_SEQUENTIAL);
        data_ = static_cast<const std::uint8_t*>(p);
        size_ = size;
    }
    ::close(fd);
    return 0;
}

void MappedFile::close() {
    if (data_) ::munmap(const_cast<std::uint8_t*>(data_), static_cast<std::size_t>(size_));
    data_ = nullptr;
    size_ = 0;
}

}  // namespace nimbrel
