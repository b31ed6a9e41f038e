#include "gui/logview/line_index.h"

namespace nimbrel::gui {

void LineBlock::add(std::uint32_t length, std::uint32_t gap, std::uint8_t colour, bool nonAscii,
                    bool indented) {
    const int k = count_;
    if (k % kMarkEvery == 0) marks_.push_back(span_);
    if (length < 255) {
        lengths_.push_back(static_cast<std::uint8_t>(length));
    } else {
        lengths_.push_back(255);
        longLengths_.emplace_back(static_cast<std::uint16_t>(k), length);
    }
    if (k == 0) {
        colour_ = colour;
        gap_ = static_cast<std::uint8_t>(std::min<std::uint32_t>(gap, 254));
    }
    if (!perLineColours_ && colour != colour_) {
        perLineColours_ = true;
        colours_.assign(static_cast<std::size_t>(k), colour_);
    }
    if (perLineColours_) colours_.push_back(colour);
    if (!perLineGaps_ && gap != gap_) {
        perLineGaps_ = true;
        gaps_.assign(static_cast<std::size_t>(k), gap_);
    }
    if (perLineGaps_) {
        if (gap < 255) {
            gaps_.push_back(static_cast<std::uint8_t>(gap));
        } else {
            gaps_.push_back(255);
            longGaps_.emplace_back(static_cast<std::uint16_t>(k), gap);
        }
    }
    if (nonAscii) {
        if (nonAscii_.empty()) nonAscii_.assign(kLines / 64, 0);
        nonAscii_[static_cast<std::size_t>(k) / 64] |= std::uint64_t(1) << (k % 64);
    }
    if (indented) {
        if (indented_.empty()) indented_.assign(kLines / 64, 0);
        indented_[static_cast<std::size_t>(k) / 64] |= std::uint64_t(1) << (k % 64);
    }
    span_ += length + gap;
    longest_ = std::max(longest_, length);
    ++count_;
}

void LineBlock::shrink() {
    lengths_.shrink_to_fit();
    longLengths_.shrink_to_fit();
    colours_.shrink_to_fit();
    gaps_.shrink_to_fit();
    longGaps_.shrink_to_fit();
    marks_.shrink_to_fit();
}

std::uint32_t LineBlock::exception(const std::vector<std::pair<std::uint16_t, std::uint32_t>>& v,
                                   int k) {
    const auto it =
        std::lower_bound(v.begin(), v.end(),
                         std::pair<std::uint16_t, std::uint32_t>(static_cast<std::uint16_t>(k), 0));
    return it != v.end() && it->first == k ? it->second : 0;
}

std::uint32_t LineBlock::length(int k) const {
    const std::uint8_t l = lengths_[static_cast<std::size_t>(k)];
    return l < 255 ? l : exception(longLengths_, k);
}

std::uint32_t LineBlock::gapAfter(int k) const {
    if (!perLineGaps_) return gap_;
    const std::uint8_t g = gaps_[static_cast<std::size_t>(k)];
    return g < 255 ? g : exception(longGaps_, k);
}

std::uint64_t LineBlock::offset(int k) const {
    if (k >= count_) return start_ + span_;
    const int mark = k / kMarkEvery;
    std::uint64_t at = start_ + marks_[static_cast<std::size_t>(mark)];
    for (int j = mark * kMarkEvery; j < k; ++j) at += length(j) + gapAfter(j);
    return at;
}

std::size_t LineBlock::memoryBytes() const {
    return sizeof(LineBlock) + lengths_.capacity() + colours_.capacity() + gaps_.capacity() +
           (longLengths_.capacity() + longGaps_.capacity()) * 8 + marks_.capacity() * 4 +
           (nonAscii_.capacity() + indented_.capacity()) * 8;
}

void LineBlocks::add(std::uint64_t offset, std::uint32_t length, std::uint8_t colour, bool nonAscii,
                     bool indented) {
    if (!blocks_.empty()) {
        LineBlock& last = *blocks_.back();
        if (!last.full() && offset >= last.end() && last.fits(length, 0)) {
            // The previous line's gap is what lies between its end and this line.
            if (offset == last.end()) {
                last.add(length, 0, colour, nonAscii, indented);
                ++size_;
                return;
            }
        }
    }
    if (!blocks_.empty()) {
        blocks_.back()->shrink();
        memory_ += blocks_.back()->memoryBytes();
    }
    auto block = std::make_shared<LineBlock>(offset);
    block->add(length, 0, colour, nonAscii, indented);
    firsts_.push_back(size_);
    blocks_.push_back(std::move(block));
    ++size_;
}

void LineBlocks::addBlock(std::shared_ptr<LineBlock> block) {
    if (!block || block->count() == 0) return;
    if (!blocks_.empty()) {
        blocks_.back()->shrink();
        memory_ += blocks_.back()->memoryBytes();
    }
    firsts_.push_back(size_);
    size_ += block->count();
    blocks_.push_back(std::move(block));
}

std::size_t LineBlocks::blockOf(std::int64_t line) const {
    // Blocks of appended lines fill up one after the other: the direct guess is right.
    const std::size_t guess = static_cast<std::size_t>(line / LineBlock::kLines);
    if (guess < firsts_.size() && firsts_[guess] <= line &&
        (guess + 1 == firsts_.size() || firsts_[guess + 1] > line)) {
        return guess;
    }
    const auto it = std::upper_bound(firsts_.begin(), firsts_.end(), line);
    return static_cast<std::size_t>(it - firsts_.begin()) - 1;
}

std::uint32_t LineBlocks::longestFrom(std::int64_t line) const {
    std::uint32_t longest = 0;
    if (line >= size_) return 0;
    for (std::size_t b = blockOf(line); b < blocks_.size(); ++b)
        longest = std::max(longest, blocks_[b]->longest());
    return longest;
}

LineLocation LineBlocks::locate(std::int64_t line) const {
    const std::size_t b = blockOf(line);
    const LineBlock& block = *blocks_[b];
    const int k = static_cast<int>(line - firsts_[b]);
    return {block.offset(k), block.length(k),   block.colour(k),
            block.ascii(k),  block.gapAfter(k), block.indented(k)};
}

void LineBlocks::clear() {
    blocks_.clear();
    firsts_.clear();
    size_ = 0;
    memory_ = 0;
}

std::size_t LineBlocks::memoryBytes() const {
    std::size_t bytes = memory_ + blocks_.capacity() * sizeof(std::shared_ptr<LineBlock>) +
                        firsts_.capacity() * sizeof(std::int64_t);
    if (!blocks_.empty()) bytes += blocks_.back()->memoryBytes();
    return bytes;
}

LineBlocks LineBlocks::snapshot() const {
    LineBlocks copy;
    copy.blocks_ = blocks_;
    copy.firsts_ = firsts_;
    copy.size_ = size_;
    // The last block still grows on the owner's thread: the copy gets its own.
    if (!copy.blocks_.empty()) copy.blocks_.back() = std::make_shared<LineBlock>(*blocks_.back());
    return copy;
}

}  // namespace nimbrel::gui
