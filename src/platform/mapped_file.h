// A whole file mapped read-only into memory, of any size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nimbrel {

// What openRegularFileForReading gives for a path that is neither a regular file nor a
// folder (a FIFO, a device such as /dev/zero, a socket). Not an errno value.
inline constexpr int kNotARegularFile = -1;

// Opens a regular file for reading without ever blocking (a FIFO without a writer is
// refused at once): 0 and its descriptor and size, EISDIR for a folder, kNotARegularFile
// for anything else that is no regular file, or the errno value of the failed open.
int openRegularFileForReading(const std::string& path, int& fd, std::uint64_t& size);

// The reason in words for a failure of the functions above: "not a regular file" for
// kNotARegularFile, the system's text for an errno value.
std::string fileErrorText(int error);

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // 0 on success, else the errno value. An empty file maps to no bytes.
    int open(const std::string& path);
    void close();

    const std::uint8_t* data() const { return data_; }
    std::uint64_t size() const { return size_; }

private:
    const std::uint8_t* data_ = nullptr;
    std::uint64_t size_ = 0;
};

}  // namespace nimbrel
