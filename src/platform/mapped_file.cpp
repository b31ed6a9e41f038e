#include "platform/mapped_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nimbrel {

MappedFile::~MappedFile() { close(); }

int MappedFile::open(const std::string& path) {
    close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return err;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    }
    if (st.st_size > 0) {
        void* p =
            ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) {
            const int err = errno;
            ::close(fd);
            return err;
        }
        ::madvise(p, static_cast<std::size_t>(st.st_size), MADV_SEQUENTIAL);
        data_ = static_cast<const std::uint8_t*>(p);
        size_ = static_cast<std::uint64_t>(st.st_size);
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
