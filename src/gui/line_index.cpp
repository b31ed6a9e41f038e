#include "gui/line_index.h"

namespace nimbrel::gui {

void LineIndex::replace(std::int64_t first, std::int64_t count,
                        const std::vector<LineEntry>& entries) {
    if (blocks_.empty()) {
        for (const LineEntry& e : entries) push_back(e);
        return;
    }
    // The block that holds `first` (or the last block when inserting at the end).
    std::size_t b = first >= size_ ? blocks_.size() - 1 : blockOf(first);
    std::size_t at = static_cast<std::size_t>(first - starts_[b]);
    const std::size_t firstBlock = b;

    // Erase: within the first block, then whole or partial following blocks.
    std::int64_t left = count;
    {
        std::vector<LineEntry>& block = blocks_[b];
        const auto n = static_cast<std::size_t>(
            std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size() - at)));
        block.erase(block.begin() + static_cast<std::ptrdiff_t>(at),
                    block.begin() + static_cast<std::ptrdiff_t>(at + n));
        left -= static_cast<std::int64_t>(n);
    }
    std::size_t next = b + 1;
    std::size_t wholeEnd = next;
    while (left > 0 && wholeEnd < blocks_.size() &&
           static_cast<std::int64_t>(blocks_[wholeEnd].size()) <= left) {
        left -= static_cast<std::int64_t>(blocks_[wholeEnd].size());
        ++wholeEnd;
    }
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(next),
                  blocks_.begin() + static_cast<std::ptrdiff_t>(wholeEnd));
    starts_.erase(starts_.begin() + static_cast<std::ptrdiff_t>(next),
                  starts_.begin() + static_cast<std::ptrdiff_t>(wholeEnd));
    if (left > 0) {
        std::vector<LineEntry>& block = blocks_[next];
        block.erase(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(left));
    }

    // Insert into the first block, then split it if it grew past two blocks' worth.
    std::vector<LineEntry>& block = blocks_[b];
    block.insert(block.begin() + static_cast<std::ptrdiff_t>(at), entries.begin(), entries.end());
    if (block.size() > 2 * kBlock) {
        std::vector<std::vector<LineEntry>> parts;
        for (std::size_t from = 0; from < block.size(); from += kBlock) {
            const std::size_t to = std::min(block.size(), from + kBlock);
            parts.emplace_back(block.begin() + static_cast<std::ptrdiff_t>(from),
                               block.begin() + static_cast<std::ptrdiff_t>(to));
        }
        blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(b));
        starts_.erase(starts_.begin() + static_cast<std::ptrdiff_t>(b));
        for (std::size_t k = 0; k < parts.size(); ++k) {
            blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(b + k),
                           std::move(parts[k]));
            starts_.insert(starts_.begin() + static_cast<std::ptrdiff_t>(b + k), 0);
        }
    } else if (block.empty() && blocks_.size() > 1) {
        blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(b));
        starts_.erase(starts_.begin() + static_cast<std::ptrdiff_t>(b));
    }
    if (blocks_.size() == 1 && blocks_[0].empty()) {
        clear();
        return;
    }
    renumberFrom(firstBlock > 0 ? firstBlock - 1 : 0);
}

void LineIndex::renumberFrom(std::size_t block) {
    std::int64_t at =
        block == 0 ? 0 : starts_[block - 1] + static_cast<std::int64_t>(blocks_[block - 1].size());
    for (std::size_t b = block; b < blocks_.size(); ++b) {
        starts_[b] = at;
        at += static_cast<std::int64_t>(blocks_[b].size());
    }
    size_ = at;
}

std::size_t LineIndex::memoryBytes() const {
    std::size_t bytes = blocks_.capacity() * sizeof(std::vector<LineEntry>) +
                        starts_.capacity() * sizeof(std::int64_t);
    for (const auto& b : blocks_) bytes += b.capacity() * sizeof(LineEntry);
    return bytes;
}

}  // namespace nimbrel::gui
