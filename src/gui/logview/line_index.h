// The compact per-line index of one text source (the view's UTF-8 text or a text log opened
// in place): where each line lies, how long it is and how it is coloured, in blocks of up
// to 512 lines. A block keeps one absolute offset, one byte of length per line (longer
// lengths apart), a colour for the whole block unless its lines differ, the gap between
// lines only where the lines are not contiguous, an offset every 32 lines, so that a line
// is found without adding up the whole block, and a bit per line for lines that start with
// a tab (the decoded lines under a record) once one does. Formatter lines cost about two
// bytes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace nimbrel::gui {

// Colour codes of a source: an index into its palette; kRunsColour marks a line whose
// colours are kept as runs beside the index.
inline constexpr std::uint8_t kRunsColour = 255;

class LineBlock {
public:
    static constexpr int kLines = 512;
    static constexpr int kMarkEvery = 32;

    explicit LineBlock(std::uint64_t start = 0) : start_(start) {}

    int count() const { return count_; }
    bool full() const { return count_ >= kLines; }
    // True when a line of this length and gap still fits the block's 32-bit offsets.
    bool fits(std::uint64_t length, std::uint64_t gap) const {
        return span_ + length + gap < 0xFFFFFFFFull && length < 0xFFFFFFFFull &&
               gap < 0xFFFFFFFFull;
    }
    void add(std::uint32_t length, std::uint32_t gap, std::uint8_t colour, bool nonAscii,
             bool indented = false);
    // Gives the memory back that the growing vectors reserved.
    void shrink();

    std::uint64_t start() const { return start_; }
    std::uint32_t longest() const { return longest_; }
    // The source offset right after the last line and its gap.
    std::uint64_t end() const { return start_ + span_; }
    std::uint32_t length(int k) const;
    std::uint32_t gapAfter(int k) const;
    std::uint64_t offset(int k) const;
    std::uint8_t colour(int k) const {
        return perLineColours_ ? colours_[static_cast<std::size_t>(k)] : colour_;
    }
    bool ascii(int k) const {
        return nonAscii_.empty() || !(nonAscii_[static_cast<std::size_t>(k) / 64] >> (k % 64) & 1u);
    }
    bool indented(int k) const {
        return !indented_.empty() && (indented_[static_cast<std::size_t>(k) / 64] >> (k % 64) & 1u);
    }
    std::size_t memoryBytes() const;

private:
    static std::uint32_t exception(const std::vector<std::pair<std::uint16_t, std::uint32_t>>& v,
                                   int k);

    std::uint64_t start_;
    std::uint32_t span_ = 0;
    std::uint32_t longest_ = 0;
    std::uint16_t count_ = 0;
    std::uint8_t colour_ = 0;
    std::uint8_t gap_ = 0;
    bool perLineColours_ = false;
    bool perLineGaps_ = false;
    std::vector<std::uint8_t> lengths_;  // 255: in longLengths_
    std::vector<std::pair<std::uint16_t, std::uint32_t>> longLengths_;
    std::vector<std::uint8_t> colours_;  // per line once the lines differ from colour_
    std::vector<std::uint8_t> gaps_;     // per line once they differ from gap_; 255: longGaps_
    std::vector<std::pair<std::uint16_t, std::uint32_t>> longGaps_;
    std::vector<std::uint32_t> marks_;     // offset from start_ of every 32nd line
    std::vector<std::uint64_t> nonAscii_;  // a bit per line; empty while all are ASCII
    std::vector<std::uint64_t> indented_;  // a bit per line; empty while none starts with a tab
};

// Where one line lies in its source.
struct LineLocation {
    std::uint64_t offset = 0;
    std::uint32_t length = 0;
    std::uint8_t colour = 0;
    bool ascii = true;
    std::uint32_t gap = 0;  // units between the line's end and the next line's start
    bool indented = false;  // the line starts with a tab
};

// The blocks of one source. Full blocks never change again and may be shared with
// snapshots on other threads; the last one grows on the owner's thread.
class LineBlocks {
public:
    std::int64_t size() const { return size_; }
    // Appends a line whose text starts at `offset` (the previous line's end plus its gap).
    void add(std::uint64_t offset, std::uint32_t length, std::uint8_t colour, bool nonAscii,
             bool indented = false);
    // Appends whole blocks made elsewhere (a file's indexer).
    void addBlock(std::shared_ptr<LineBlock> block);
    // The longest line of the blocks from the one that holds `line` on.
    std::uint32_t longestFrom(std::int64_t line) const;
    LineLocation locate(std::int64_t line) const;
    // Calls f(line, location) for lines [first, first + count) in order.
    template <class F>
    void forEach(std::int64_t first, std::int64_t count, F&& f) const;
    void clear();
    std::size_t memoryBytes() const;
    // A copy that shares the full blocks and copies the growing one.
    LineBlocks snapshot() const;

private:
    std::size_t blockOf(std::int64_t line) const;

    std::vector<std::shared_ptr<LineBlock>> blocks_;
    std::vector<std::int64_t> firsts_;  // first line of each block
    std::int64_t size_ = 0;
    std::uint64_t memory_ = 0;  // of the full blocks
};

template <class F>
void LineBlocks::forEach(std::int64_t first, std::int64_t count, F&& f) const {
    if (count <= 0) return;
    std::size_t b = blockOf(first);
    int k = static_cast<int>(first - firsts_[b]);
    while (count > 0 && b < blocks_.size()) {
        const LineBlock& block = *blocks_[b];
        std::uint64_t offset = block.offset(k);
        for (; k < block.count() && count > 0; ++k, --count) {
            LineLocation loc{offset,         block.length(k),   block.colour(k),
                             block.ascii(k), block.gapAfter(k), block.indented(k)};
            f(firsts_[b] + k, loc);
            offset += loc.length + loc.gap;
        }
        ++b;
        k = 0;
    }
}

}  // namespace nimbrel::gui
