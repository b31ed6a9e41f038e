#include <cerrno>
#include <sys/mman.h>

#include "platform/file_handle.h"
#include "platform/mapped_file.h"

namespace nimbrel {

MappedFile::~MappedFile() { close(); }

int MappedFile::open(const std::string& path) {
    close();
    FileHandle file;
    std::uint64_t size = 0;
    if (const int err = openRegularFileForReading(path, file, size); err != 0) return err;
    if (size > 0) {
        void* p = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE,
                         static_cast<int>(file.native()), 0);
        if (p == MAP_FAILED) return errno;
        ::madvise(p, static_cast<std::size_t>(size), MADV_SEQUENTIAL);
        data_ = static_cast<const std::uint8_t*>(p);
        size_ = size;
    }
    return 0;
}

void MappedFile::close() {
    if (data_) ::munmap(const_cast<std::uint8_t*>(data_), static_cast<std::size_t>(size_));
    data_ = nullptr;
    size_ = 0;
}

}  // namespace nimbrel
