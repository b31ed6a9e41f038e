#include "gui/logview/hit_set.h"

#include <algorithm>
#include <bit>

namespace nimbrel::gui {

int HitSet::countOf(const Block& block) {
    int n = 0;
    for (std::uint64_t w : block.words) n += std::popcount(w);
    return n;
}

bool HitSet::contains(std::int64_t line) const {
    if (line < 0) return false;
    const auto b = static_cast<std::size_t>(line / kBlockLines);
    if (b >= blocks_.size() || !blocks_[b]) return false;
    const std::int64_t k = line % kBlockLines;
    return (blocks_[b]->words[static_cast<std::size_t>(k / 64)] >> (k % 64)) & 1u;
}

std::int64_t HitSet::rank(std::int64_t line) const {
    if (line <= 0) return 0;
    const auto b = static_cast<std::size_t>(line / kBlockLines);
    if (b >= blocks_.size()) return count();
    std::int64_t n = counts_[b];
    if (!blocks_[b]) return n;
    const std::int64_t k = line % kBlockLines;
    const auto& words = blocks_[b]->words;
    for (std::int64_t w = 0; w < k / 64; ++w)
        n += std::popcount(words[static_cast<std::size_t>(w)]);
    if (k % 64)
        n += std::popcount(words[static_cast<std::size_t>(k / 64)] & ((1ull << (k % 64)) - 1));
    return n;
}

std::int64_t HitSet::select(std::int64_t k) const {
    if (k < 0 || k >= count()) return -1;
    // counts_[b + 1] is the first count past block b: the block that holds hit k.
    const auto it = std::upper_bound(counts_.begin() + 1, counts_.end(), k);
    const auto b = static_cast<std::size_t>(it - counts_.begin() - 1);
    std::int64_t left = k - counts_[b];
    const auto& words = blocks_[b]->words;
    for (std::size_t w = 0; w < words.size(); ++w) {
        const int n = std::popcount(words[w]);
        if (left >= n) {
            left -= n;
            continue;
        }
        std::uint64_t bits = words[w];
        for (; left > 0; --left) bits &= bits - 1;
        return static_cast<std::int64_t>(b) * kBlockLines + static_cast<std::int64_t>(w) * 64 +
               std::countr_zero(bits);
    }
    return -1;
}

std::int64_t HitSet::next(std::int64_t line) const {
    line = std::max<std::int64_t>(line, 0);
    return select(rank(line));
}

std::int64_t HitSet::previous(std::int64_t line) const {
    if (line < 0) return -1;
    const std::int64_t before = rank(line + 1);
    return before == 0 ? -1 : select(before - 1);
}

std::size_t HitSet::memoryBytes() const {
    std::size_t bytes = blocks_.capacity() * sizeof(blocks_[0]) + counts_.capacity() * 8;
    for (const auto& b : blocks_) {
        if (b) bytes += sizeof(Block);
    }
    return bytes;
}

void HitSet::clear() {
    blocks_.clear();
    counts_.clear();
}

HitSet::Block& HitSet::writable(std::size_t b) {
    if (b >= blocks_.size()) blocks_.resize(b + 1);
    auto& p = blocks_[b];
    if (!p) {
        p = std::make_shared<Block>();
    } else if (p.use_count() > 1) {
        p = std::make_shared<Block>(*p);  // another copy of the set still reads it
    }
    return *p;
}

void HitSet::recount(std::size_t from) {
    counts_.resize(blocks_.size() + 1, 0);
    counts_[0] = 0;
    for (std::size_t b = from; b < blocks_.size(); ++b)
        counts_[b + 1] = counts_[b] + (blocks_[b] ? countOf(*blocks_[b]) : 0);
}

void HitSet::assign(std::int64_t first, std::int64_t count,
                    const std::vector<std::uint64_t>& bits) {
    if (count <= 0 || first < 0) return;
    const std::int64_t end = first + count;
    const auto firstBlock = static_cast<std::size_t>(first / kBlockLines);
    // Clear the range in the blocks that exist, then set the new bits.
    for (std::size_t b = firstBlock; b < blocks_.size() && std::int64_t(b) * kBlockLines < end;
         ++b) {
        if (!blocks_[b]) continue;
        Block& block = writable(b);
        const std::int64_t base = std::int64_t(b) * kBlockLines;
        const std::int64_t from = std::max(first, base) - base;
        const std::int64_t to = std::min(end, base + kBlockLines) - base;
        for (std::int64_t k = from; k < to;) {
            auto& w = block.words[static_cast<std::size_t>(k / 64)];
            const int lo = static_cast<int>(k % 64);
            const int hi = static_cast<int>(std::min<std::int64_t>(64, lo + (to - k)));
            const std::uint64_t mask =
                (hi == 64 ? ~0ull : ((1ull << hi) - 1)) & ~((1ull << lo) - 1);
            w &= ~mask;
            k += hi - lo;
        }
    }
    for (std::size_t i = 0; i < bits.size(); ++i) {
        for (std::uint64_t w = bits[i]; w; w &= w - 1) {
            const std::int64_t line = first + std::int64_t(i) * 64 + std::countr_zero(w);
            if (line >= end) break;
            Block& block = writable(static_cast<std::size_t>(line / kBlockLines));
            const std::int64_t k = line % kBlockLines;
            block.words[static_cast<std::size_t>(k / 64)] |= 1ull << (k % 64);
        }
    }
    recount(std::min(firstBlock, blocks_.size()));
}

void HitSet::insert(std::int64_t line) {
    if (line < 0 || contains(line)) return;
    const auto b = static_cast<std::size_t>(line / kBlockLines);
    const std::int64_t k = line % kBlockLines;
    writable(b).words[static_cast<std::size_t>(k / 64)] |= 1ull << (k % 64);
    recount(b);
}

}  // namespace nimbrel::gui
