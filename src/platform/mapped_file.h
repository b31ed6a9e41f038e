// A whole file mapped read-only into memory, of any size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nimbrel {

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
