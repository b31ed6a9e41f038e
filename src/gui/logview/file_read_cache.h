// Reads of a file opened in place, through a small cache of 1 MiB blocks read with pread
// (a mapping would count every touched page as resident and raise SIGBUS when the file is
// cut short under it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gui/logview/spilled_text.h"

namespace nimbrel::gui {

class FileReadCache {
public:
    static constexpr std::size_t kBlockBytes = std::size_t(1) << 20;

    FileReadCache(std::shared_ptr<const FileHandle> fd, std::size_t blocks = 16)
        : fd_(std::move(fd)), capacity_(blocks) {}

    // The bytes [offset, offset + n), or null when the file no longer holds them all
    // (it became shorter); valid until the next call.
    const char* bytesAt(std::uint64_t offset, std::size_t n);
    const std::shared_ptr<const FileHandle>& fd() const { return fd_; }
    std::size_t memoryBytes() const { return entries_.size() * kBlockBytes + scratch_.capacity(); }

private:
    struct Entry {
        std::uint64_t block;
        std::size_t bytes;
        std::unique_ptr<char[]> data;
    };
    const Entry* block(std::uint64_t index);

    std::shared_ptr<const FileHandle> fd_;
    std::size_t capacity_;
    std::vector<Entry> entries_;  // least recently used first
    std::string scratch_;
};

}  // namespace nimbrel::gui
