// The per-line index of the line store: fixed-size entries kept in blocks of a few
// thousand, so that appending never moves the whole index (a single vector of ten million
// entries stalls for a long time when it grows) and an edit moves one block at most.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace nimbrel::gui {

// One line: where its UTF-8 bytes lie and how it is coloured.
struct LineEntry {
    std::uint32_t chunk = 0;
    std::uint32_t offset = 0;
    std::uint32_t bytes = 0;
    // Bits 0-23: the line's colour 0xRRGGBB, or with kHasRuns the index of its run set.
    std::uint32_t attr = 0;

    static constexpr std::uint32_t kValueMask = 0x00FFFFFF;
    static constexpr std::uint32_t kHasRuns = 1u << 24;
    static constexpr std::uint32_t kNonAscii = 1u << 25;

    bool hasRuns() const { return attr & kHasRuns; }
    bool ascii() const { return !(attr & kNonAscii); }
    std::uint32_t value() const { return attr & kValueMask; }
};

class LineIndex {
public:
    static constexpr std::size_t kBlock = 4096;

    std::int64_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    const LineEntry& operator[](std::int64_t i) const {
        const std::size_t b = blockOf(i);
        return blocks_[b][static_cast<std::size_t>(i - starts_[b])];
    }
    LineEntry& operator[](std::int64_t i) {
        const std::size_t b = blockOf(i);
        return blocks_[b][static_cast<std::size_t>(i - starts_[b])];
    }
    LineEntry& back() { return blocks_.back().back(); }
    const LineEntry& back() const { return blocks_.back().back(); }

    void push_back(const LineEntry& e) {
        if (blocks_.empty() || blocks_.back().size() >= kBlock) {
            starts_.push_back(size_);
            blocks_.emplace_back();
            blocks_.back().reserve(kBlock);
        }
        blocks_.back().push_back(e);
        ++size_;
    }

    // Replaces `count` entries from `first` with `entries`.
    void replace(std::int64_t first, std::int64_t count, const std::vector<LineEntry>& entries);

    void clear() {
        blocks_.clear();
        starts_.clear();
        size_ = 0;
    }

    // Visits entries [first, first + count) in order.
    template <class F>
    void forEach(std::int64_t first, std::int64_t count, F&& f) const {
        if (count <= 0) return;
        std::size_t b = blockOf(first);
        std::size_t i = static_cast<std::size_t>(first - starts_[b]);
        while (count > 0) {
            const std::vector<LineEntry>& block = blocks_[b];
            for (; i < block.size() && count > 0; ++i, --count) f(block[i]);
            ++b;
            i = 0;
        }
    }

    std::size_t memoryBytes() const;

private:
    std::size_t blockOf(std::int64_t i) const {
        // Blocks fill to kBlock while lines are only appended: the direct guess is right
        // until edits change block sizes.
        std::size_t guess = static_cast<std::size_t>(i / static_cast<std::int64_t>(kBlock));
        if (guess < starts_.size() && starts_[guess] <= i &&
            (guess + 1 == starts_.size() || starts_[guess + 1] > i)) {
            return guess;
        }
        auto it = std::upper_bound(starts_.begin(), starts_.end(), i);
        return static_cast<std::size_t>(it - starts_.begin()) - 1;
    }
    void renumberFrom(std::size_t block);

    std::vector<std::vector<LineEntry>> blocks_;
    std::vector<std::int64_t> starts_;  // index of each block's first entry
    std::int64_t size_ = 0;
};

}  // namespace nimbrel::gui
