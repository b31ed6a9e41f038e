#include "gui/logview/file_read_cache.h"

#include <algorithm>
#include <cstring>

namespace nimbrel::gui {

const FileReadCache::Entry* FileReadCache::block(std::uint64_t index) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->block != index) continue;
        std::rotate(it, it + 1, entries_.end());
        return &entries_.back();
    }
    Entry e{index, 0, std::unique_ptr<char[]>(new char[kBlockBytes])};
    e.bytes = fd_->readFullyAt(index * kBlockBytes, e.data.get(), kBlockBytes);
    if (entries_.size() >= capacity_) entries_.erase(entries_.begin());
    entries_.push_back(std::move(e));
    return &entries_.back();
}

const char* FileReadCache::bytesAt(std::uint64_t offset, std::size_t n) {
    if (n == 0) return "";
    const std::uint64_t first = offset / kBlockBytes;
    const std::size_t at = static_cast<std::size_t>(offset % kBlockBytes);
    if (at + n <= kBlockBytes) {
        const Entry* e = block(first);
        return e->bytes >= at + n ? e->data.get() + at : nullptr;
    }
    // A line across blocks (or longer than one) is read on its own.
    scratch_.resize(n);
    if (fd_->readFullyAt(offset, scratch_.data(), n) != n) return nullptr;
    return scratch_.data();
}

}  // namespace nimbrel::gui
