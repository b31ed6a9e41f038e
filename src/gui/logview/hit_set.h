// A compact set of line numbers: the lines a search matched. Lines are kept as bits in
// blocks of 65536 lines (8 KiB a block, none for a block without hits), so ten million
// hits cost about a megabyte. Blocks are shared between copies and copied when one of
// them changes, so a copy for another reader costs a vector of pointers.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace nimbrel::gui {

class HitSet {
public:
    static constexpr std::int64_t kBlockLines = 65536;
    static constexpr int kBlockWords = static_cast<int>(kBlockLines / 64);

    std::int64_t count() const { return counts_.empty() ? 0 : counts_.back(); }
    bool empty() const { return count() == 0; }
    bool contains(std::int64_t line) const;
    // Hits before `line`.
    std::int64_t rank(std::int64_t line) const;
    // The line of hit number `k` (from 0); -1 when there are not that many.
    std::int64_t select(std::int64_t k) const;
    // The first hit at or after `line`, the last one at or before it; -1 when none.
    std::int64_t next(std::int64_t line) const;
    std::int64_t previous(std::int64_t line) const;
    std::size_t memoryBytes() const;

    // Changing the set.
    void clear();
    // Lines [first, first + count) become the lines whose bits are set in `bits`, bit j of
    // word i standing for line first + 64 i + j.
    void assign(std::int64_t first, std::int64_t count, const std::vector<std::uint64_t>& bits);
    void insert(std::int64_t line);

private:
    struct Block {
        std::array<std::uint64_t, kBlockWords> words{};
    };
    Block& writable(std::size_t b);
    void recount(std::size_t from);
    static int countOf(const Block& block);

    std::vector<std::shared_ptr<Block>> blocks_;  // null: no hits in the block
    std::vector<std::int64_t> counts_;            // hits in the blocks before block b + 1
};

}  // namespace nimbrel::gui
