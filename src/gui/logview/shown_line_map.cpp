#include "gui/logview/shown_line_map.h"

#include <algorithm>
#include <bit>

namespace nimbrel::gui {
namespace {

constexpr int kWordsPerBlock = ShownLineMap::kBlockLines / 64;

std::uint64_t lowBits(int n) { return n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1; }

}  // namespace

void ShownLineMap::clear() {
    bits_.clear();
    counts_.clear();
    size_ = 0;
    shown_ = 0;
}

void ShownLineMap::truncate(std::int64_t lines) {
    if (lines >= size_) return;
    lines = std::max<std::int64_t>(lines, 0);
    shown_ = rank(lines);
    size_ = lines;
    bits_.resize(static_cast<std::size_t>((lines + 63) / 64));
    if (lines % 64 != 0) bits_.back() &= lowBits(static_cast<int>(lines % 64));
    counts_.resize(static_cast<std::size_t>((lines + kBlockLines - 1) / kBlockLines));
}

void ShownLineMap::append(bool shown) {
    if (size_ % 64 == 0) bits_.push_back(0);
    if (size_ % kBlockLines == 0) counts_.push_back(shown_);
    if (shown) {
        bits_.back() |= std::uint64_t{1} << (size_ % 64);
        ++shown_;
    }
    ++size_;
}

std::uint64_t ShownLineMap::readBits(std::int64_t at, int n) const {
    const auto w = static_cast<std::size_t>(at >> 6);
    const int b = static_cast<int>(at & 63);
    std::uint64_t v = bits_[w] >> b;
    if (b != 0 && b + n > 64 && w + 1 < bits_.size()) v |= bits_[w + 1] << (64 - b);
    return v & lowBits(n);
}

void ShownLineMap::writeBits(std::int64_t at, std::uint64_t value, int n) {
    const auto w = static_cast<std::size_t>(at >> 6);
    const int b = static_cast<int>(at & 63);
    value &= lowBits(n);
    const std::uint64_t mask = lowBits(n) << b;
    bits_[w] = (bits_[w] & ~mask) | (value << b);
    if (b + n > 64) {
        const int rest = b + n - 64;
        bits_[w + 1] = (bits_[w + 1] & ~lowBits(rest)) | (value >> (64 - b));
    }
}

void ShownLineMap::splice(std::int64_t first, std::int64_t removed,
                          const std::vector<bool>& inserted) {
    first = std::clamp<std::int64_t>(first, 0, size_);
    removed = std::clamp<std::int64_t>(removed, 0, size_ - first);
    const auto added = static_cast<std::int64_t>(inserted.size());
    const std::int64_t tailFrom = first + removed;
    const std::int64_t tailLength = size_ - tailFrom;
    const std::int64_t newSize = first + added + tailLength;

    // The lines behind the edit keep their bits and move by the difference.
    if (added != removed && tailLength > 0) {
        std::vector<std::uint64_t> tail(static_cast<std::size_t>((tailLength + 63) / 64));
        for (std::int64_t i = 0; i < tailLength; i += 64)
            tail[static_cast<std::size_t>(i / 64)] = readBits(
                tailFrom + i, static_cast<int>(std::min<std::int64_t>(64, tailLength - i)));
        bits_.resize(static_cast<std::size_t>((newSize + 63) / 64), 0);
        for (std::int64_t i = 0; i < tailLength; i += 64)
            writeBits(first + added + i, tail[static_cast<std::size_t>(i / 64)],
                      static_cast<int>(std::min<std::int64_t>(64, tailLength - i)));
    } else {
        bits_.resize(static_cast<std::size_t>((newSize + 63) / 64), 0);
    }
    for (std::int64_t i = 0; i < added; ++i)
        writeBits(first + i, inserted[static_cast<std::size_t>(i)] ? 1 : 0, 1);
    size_ = newSize;
    if (size_ % 64 != 0) bits_.back() &= lowBits(static_cast<int>(size_ % 64));
    counts_.resize(static_cast<std::size_t>((size_ + kBlockLines - 1) / kBlockLines));
    recount(first);
}

void ShownLineMap::recount(std::int64_t line) {
    auto block = static_cast<std::size_t>(line / kBlockLines);
    std::int64_t running = 0;
    if (block > 0) {
        // The block before is unchanged, its count too.
        running = counts_[block - 1];
        const std::size_t w0 = (block - 1) * kWordsPerBlock;
        for (std::size_t w = w0; w < w0 + kWordsPerBlock && w < bits_.size(); ++w)
            running += std::popcount(bits_[w]);
    }
    for (; block < counts_.size(); ++block) {
        counts_[block] = running;
        const std::size_t w0 = block * kWordsPerBlock;
        const std::size_t w1 = std::min(bits_.size(), w0 + kWordsPerBlock);
        for (std::size_t w = w0; w < w1; ++w) running += std::popcount(bits_[w]);
    }
    shown_ = running;
}

std::int64_t ShownLineMap::rank(std::int64_t line) const {
    if (line <= 0) return 0;
    if (line >= size_) {
        if (counts_.empty()) return 0;
        line = size_;
    }
    const auto block = static_cast<std::size_t>(line / kBlockLines);
    if (block >= counts_.size()) return shown_;
    std::int64_t r = counts_[block];
    const std::size_t w0 = block * kWordsPerBlock;
    const auto wl = static_cast<std::size_t>(line >> 6);
    for (std::size_t w = w0; w < wl; ++w) r += std::popcount(bits_[w]);
    if (line % 64 != 0) r += std::popcount(bits_[wl] & lowBits(static_cast<int>(line % 64)));
    return r;
}

std::int64_t ShownLineMap::select(std::int64_t row) const {
    if (row < 0 || row >= shown_) return -1;
    // The last block whose count of shown lines before it is at most `row`.
    const auto it = std::upper_bound(counts_.begin(), counts_.end(), row);
    const auto block = static_cast<std::size_t>(it - counts_.begin()) - 1;
    std::int64_t left = row - counts_[block];
    for (std::size_t w = block * kWordsPerBlock; w < bits_.size(); ++w) {
        std::uint64_t word = bits_[w];
        const int n = std::popcount(word);
        if (left >= n) {
            left -= n;
            continue;
        }
        for (; left > 0; --left) word &= word - 1;
        return static_cast<std::int64_t>(w) * 64 + std::countr_zero(word);
    }
    return -1;
}

}  // namespace nimbrel::gui
