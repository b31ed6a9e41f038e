// Indexes a UTF-16LE text log in place for the log view: worker threads read the file in
// slabs with pread, find its lines and each line's colour tag, and build the compact line
// blocks that the view reads the lines through; the text itself stays in the file.
//
// The lines are those of the text log loader: a line ends at LF, CR LF or a lone CR (each
// becomes one line of the view), a leading byte-order mark is dropped, an odd last byte is
// ignored and the last line needs no line end. A line that holds a string of the string
// filter is left out. A line longer than the line limit is cut into lines of that length.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gui/logview/line_index.h"
#include "gui/logview/spilled_text.h"

namespace nimbrel::gui {

class TextLogIndexer {
public:
    // Colour codes of the lines: the view's default colour, then the tags in the order
    // [R] [G] [B] [W] [Y].
    static constexpr int kColourCodes = 6;

    struct Options {
        std::shared_ptr<const FileHandle> fd;
        std::uint64_t size = 0;  // bytes, as the file had when it was opened
        std::vector<std::u16string> filter;
        std::size_t lineLimit = std::size_t(1) << 20;      // UTF-16 units
        int threads = 0;                                   // 0: one per core
        std::uint64_t slabUnits = std::uint64_t(1) << 23;  // read and scanned at once
    };
    struct Outcome {
        std::uint64_t cutLines = 0;  // lines longer than the limit, cut into pieces
        bool shrank = false;         // the file ended before the size it had when opened
        int readError = 0;
    };

    explicit TextLogIndexer(Options options);
    ~TextLogIndexer();  // stops the workers
    TextLogIndexer(const TextLogIndexer&) = delete;
    TextLogIndexer& operator=(const TextLogIndexer&) = delete;

    // Any thread: the workers stop after their current slab.
    void stop() { stop_.store(true); }
    // Owner's thread: moves the blocks finished so far, in order, onto `lines`; the lines
    // added.
    std::int64_t takeBlocks(LineBlocks& lines);
    bool finished() const { return finished_.load(); }
    int percent() const;
    Outcome outcome() const;

private:
    struct Slab {
        bool done = false;
        std::uint64_t units = 0;  // units read (fewer than asked: the file shrank)
        bool hasBreak = false;
        std::uint64_t headEnd = 0;  // where the first line end starts (absolute units)
        std::uint32_t headBreak = 0;
        std::uint64_t tailStart = 0;  // where the line after the last line end starts
        std::vector<std::shared_ptr<LineBlock>> blocks;
        std::uint64_t cutLines = 0;
        int error = 0;
    };

    std::uint64_t slabStart(std::uint64_t index) const;
    void work();
    void scan(std::uint64_t index, Slab& slab, std::vector<char16_t>& buffer);
    void mergeReady();
    // Adds the line [start, end) of the file and its line end; cuts it when too long.
    void emitLine(std::uint64_t start, std::uint64_t end, std::uint32_t lineEnd);
    void finish();

    const Options options_;
    const std::uint64_t totalUnits_;
    std::vector<std::thread> workers_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::atomic<std::uint64_t> nextSlab_{0};
    std::atomic<std::uint64_t> mergedUnits_{0};
    std::atomic<int> running_{0};

    mutable std::mutex mutex_;
    std::map<std::uint64_t, Slab> slabs_;  // scanned, waiting to be merged in order
    std::uint64_t nextMerge_ = 0;
    std::uint64_t carryStart_ = 0;  // start of the line the merged slabs left open
    bool ended_ = false;            // the last slab or a short read has been merged
    bool carryCut_ = false;         // the open line has been cut already
    std::vector<std::shared_ptr<LineBlock>> ready_;  // merged, for takeBlocks
    Outcome outcome_;
};

}  // namespace nimbrel::gui
