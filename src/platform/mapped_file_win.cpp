#include <windows.h>

#include "platform/file_handle.h"
#include "platform/mapped_file.h"
#include "platform/win_util.h"

namespace nimbrel {

MappedFile::~MappedFile() { close(); }

int MappedFile::open(const std::string& path) {
    close();
    FileHandle file;
    std::uint64_t size = 0;
    if (const int err = openRegularFileForReading(path, file, size); err != 0) return err;
    if (size == 0) return 0;
    const HANDLE mapping = ::CreateFileMappingW(reinterpret_cast<HANDLE>(file.native()), nullptr,
                                                PAGE_READONLY, 0, 0, nullptr);
    if (!mapping) return win::lastErrno();
    // The view keeps the mapping alive on its own.
    void* p = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    const int err = p ? 0 : win::lastErrno();
    ::CloseHandle(mapping);
    if (!p) return err;
    data_ = static_cast<const std::uint8_t*>(p);
    size_ = size;
    return 0;
}

void MappedFile::close() {
    if (data_) ::UnmapViewOfFile(data_);
    data_ = nullptr;
    size_ = 0;
}

}  // namespace nimbrel
