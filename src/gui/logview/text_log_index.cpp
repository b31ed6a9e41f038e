#include "gui/logview/text_log_index.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

#include "pipeline/text_trim.h"

namespace nimbrel::gui {

namespace {

// The first slab is small, so that the first screen shows at once; the others are large
// enough to keep both cores busy with few reads.
constexpr std::uint64_t kFirstSlabUnits = std::uint64_t(1) << 18;

// The colour code of the first tag found in the order [R] [G] [B] [W] [Y] (0: none).
std::uint8_t tagColour(const char16_t* text, std::size_t n) {
    int best = 0;
    for (std::size_t i = 0; i + 2 < n; ++i) {
        if (text[i] != u'[' || text[i + 2] != u']') continue;
        int code = 0;
        switch (text[i + 1]) {
        case u'R': code = 1; break;
        case u'G': code = 2; break;
        case u'B': code = 3; break;
        case u'W': code = 4; break;
        case u'Y': code = 5; break;
        default: continue;
        }
        if (code == 1) return 1;
        if (best == 0 || code < best) best = code;
    }
    return static_cast<std::uint8_t>(best);
}

void toNative(char16_t* units, std::size_t n) {
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t i = 0; i < n; ++i)
            units[i] = static_cast<char16_t>((units[i] >> 8) | (units[i] << 8));
    }
}

// Units read at once: between pieces a stop request is looked at.
constexpr std::size_t kReadPieceUnits = std::size_t(1) << 20;

// Reads units [first, first + n) of the file; the units read.
std::size_t readUnits(const FileHandle& file, std::uint64_t first, std::size_t n, char16_t* out) {
    const std::size_t bytes = file.readFullyAt(first * 2, out, n * 2);
    toNative(out, bytes / 2);
    return bytes / 2;
}

// Turns lines of the file into line blocks: cuts long lines, colours each line by its tags,
// leaves out filtered lines; the gap after a line covers the lines left out behind it.
class BlockBuilder {
public:
    BlockBuilder(const std::vector<std::u16string>& filter, std::size_t limit,
                 std::vector<std::shared_ptr<LineBlock>>& out)
        : filter_(filter), limit_(limit), out_(out) {}
    ~BlockBuilder() { flush(); }

    // The line [start, start + n) whose text is `text`, followed by a line end of
    // `lineEnd` units. True when it was cut.
    bool line(const char16_t* text, std::uint64_t start, std::size_t n, std::uint32_t lineEnd) {
        bool cut = false;
        while (n > limit_) {
            std::size_t take = limit_;
            // Never between the two halves of a surrogate pair.
            if (text[take - 1] >= 0xD800 && text[take - 1] <= 0xDBFF && text[take] >= 0xDC00 &&
                text[take] <= 0xDFFF) {
                --take;
            }
            piece(text, start, take, 0);
            text += take;
            start += take;
            n -= take;
            cut = true;
        }
        piece(text, start, n, lineEnd);
        return cut;
    }

    void flush() {
        if (pending_) {
            pendingLine_.gap = pendingLine_.lineEnd;
            add(pendingLine_);
            pending_ = false;
        }
        if (block_ && block_->count() > 0) {
            block_->shrink();
            out_.push_back(std::move(block_));
        }
        block_.reset();
    }

private:
    struct Line {
        std::uint64_t start;
        std::uint32_t length;
        std::uint32_t lineEnd;
        std::uint8_t colour;
        bool indented;  // starts with a tab: a decoded line under a record
        std::uint64_t gap = 0;
    };

    void piece(const char16_t* text, std::uint64_t start, std::size_t n, std::uint32_t lineEnd) {
        if (!filter_.empty()) {
            const std::u16string_view trimmed = trimWhiteSpace(std::u16string_view(text, n));
            for (const std::u16string& f : filter_) {
                if (trimmed.find(f) != std::u16string_view::npos) return;
            }
        }
        const Line next{start, static_cast<std::uint32_t>(n), lineEnd, tagColour(text, n),
                        n > 0 && text[0] == u'\t'};
        if (pending_) {
            // The gap reaches up to this line, over any line left out between.
            pendingLine_.gap = start - pendingLine_.start - pendingLine_.length;
            add(pendingLine_);
        }
        pendingLine_ = next;
        pending_ = true;
    }

    void add(const Line& line) {
        const std::uint64_t start = line.start;
        const std::uint32_t length = line.length;
        std::uint64_t gap = line.gap;
        if (block_ && (block_->full() || !block_->fits(length, gap) || block_->end() != start)) {
            block_->shrink();
            out_.push_back(std::move(block_));
        }
        if (!block_) block_ = std::make_shared<LineBlock>(start);
        if (!block_->fits(length, gap)) gap = 0;  // the next line starts a block of its own
        block_->add(length, static_cast<std::uint32_t>(gap), line.colour, false, line.indented);
    }

    const std::vector<std::u16string>& filter_;
    const std::size_t limit_;
    std::vector<std::shared_ptr<LineBlock>>& out_;
    std::shared_ptr<LineBlock> block_;
    Line pendingLine_{};
    bool pending_ = false;
};

}  // namespace

std::uint64_t TextLogIndexer::slabStart(std::uint64_t index) const {
    const std::uint64_t slab = std::max<std::uint64_t>(options_.slabUnits, 4);
    const std::uint64_t first = std::min(kFirstSlabUnits, slab);
    return index == 0 ? 0 : first + (index - 1) * slab;
}

TextLogIndexer::TextLogIndexer(Options options)
    : options_(std::move(options)), totalUnits_(options_.size / 2) {
    int threads = options_.threads > 0
                      ? options_.threads
                      : std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4);
    if (options_.threads == 0 && totalUnits_ <= kFirstSlabUnits) threads = 1;
    // A leading byte-order mark is no part of the first line.
    char16_t first = 0;
    if (totalUnits_ > 0 && readUnits(*options_.fd, 0, 1, &first) == 1 && first == 0xFEFF)
        carryStart_ = 1;
    if (totalUnits_ == 0) {
        ended_ = true;
        finished_.store(true);
        return;
    }
    running_.store(threads);
    for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { work(); });
}

TextLogIndexer::~TextLogIndexer() {
    stop();
    for (std::thread& t : workers_) t.join();
}

int TextLogIndexer::percent() const {
    if (totalUnits_ == 0) return 100;
    return static_cast<int>(std::min<std::uint64_t>(100, mergedUnits_.load() * 100 / totalUnits_));
}

TextLogIndexer::Outcome TextLogIndexer::outcome() const {
    std::lock_guard lock(mutex_);
    return outcome_;
}

std::int64_t TextLogIndexer::takeBlocks(LineBlocks& lines) {
    std::vector<std::shared_ptr<LineBlock>> blocks;
    {
        std::lock_guard lock(mutex_);
        blocks.swap(ready_);
    }
    const std::int64_t before = lines.size();
    for (auto& b : blocks) lines.addBlock(std::move(b));
    return lines.size() - before;
}

void TextLogIndexer::work() {
    std::vector<char16_t> buffer;
    for (;;) {
        if (stop_.load()) break;
        const std::uint64_t index = nextSlab_.fetch_add(1);
        if (slabStart(index) >= totalUnits_) break;
        {
            // A short read ended the file early: the slabs behind it are not read.
            std::lock_guard lock(mutex_);
            if (ended_) break;
        }
        Slab slab;
        scan(index, slab, buffer);
        if (slab.error == -2) break;  // stopped part-way: not merged
        {
            std::lock_guard lock(mutex_);
            slabs_.emplace(index, std::move(slab));
        }
        mergeReady();
    }
    if (running_.fetch_sub(1) == 1) {
        // The last worker out: whatever the stop left open is given up, the rest is done.
        mergeReady();
        finish();
    }
}

void TextLogIndexer::scan(std::uint64_t index, Slab& slab, std::vector<char16_t>& buffer) {
    const std::uint64_t s = slabStart(index);
    const std::uint64_t e = std::min(slabStart(index + 1), totalUnits_);
    // Two units on either side: a line end may straddle the slab's edges.
    const std::uint64_t readFrom = s > 2 ? s - 2 : 0;
    const std::uint64_t readTo = std::min(e + 2, totalUnits_);
    buffer.resize(static_cast<std::size_t>(readTo - readFrom));
    // Read in pieces, so that Cancel also takes effect while a slab is read (a slab of a
    // slow disk, or of a sparse file, takes a while).
    std::size_t got = 0;
    while (got < buffer.size()) {
        if (stop_.load(std::memory_order_relaxed)) {
            slab.error = -2;
            return;
        }
        const std::size_t piece = std::min<std::size_t>(buffer.size() - got, kReadPieceUnits);
        const std::size_t read =
            readUnits(*options_.fd, readFrom + got, piece, buffer.data() + got);
        got += read;
        if (read < piece) break;
    }
    const char16_t* u = buffer.data() - readFrom;  // u[i] is unit i of the file
    const std::uint64_t have = readFrom + got;     // units known
    const std::uint64_t end = std::min(e, have);
    slab.units = end > s ? end - s : 0;
    if (end < e) slab.error = -1;  // shorter than when it was opened
    auto at = [&](std::uint64_t i) -> char16_t { return i >= readFrom && i < have ? u[i] : 0; };

    // Skip what a line end of the slab before took: LF after CR, LF after CR CR, or
    // CR LF after CR.
    std::uint64_t pos = s;
    if (s > 0 && at(s - 1) == u'\r') {
        if (at(s) == u'\n') {
            pos = s + 1;
        } else if (at(s) == u'\r' && at(s + 1) == u'\n') {
            pos = s + 2;
        } else if (at(s) == u'\r' && s + 1 == totalUnits_) {
            pos = s + 1;
        }
    }
    BlockBuilder builder(options_.filter, options_.lineLimit, slab.blocks);
    std::uint64_t lineStart = pos;
    std::uint64_t nextStopCheck = pos + (std::uint64_t(1) << 20);
    for (std::uint64_t i = pos; i < end; ++i) {
        const char16_t c = u[i];
        if (i >= nextStopCheck) {
            // Cancel takes effect within a slab, not after it.
            nextStopCheck = i + (std::uint64_t(1) << 20);
            if (stop_.load(std::memory_order_relaxed)) {
                slab.error = -2;
                return;
            }
        }
        if (c > u'\r' || (c != u'\n' && c != u'\r')) continue;
        // A line of a text log ends at LF, CR LF or a lone CR; the CR before CR LF (and a
        // second CR at the very end) ends the same line, as when each line is printed with
        // a newline of its own.
        std::uint32_t len = 1;
        if (c == u'\r') {
            if (at(i + 1) == u'\n') {
                len = 2;
            } else if (at(i + 1) == u'\r' && at(i + 2) == u'\n') {
                len = 3;
            } else if (at(i + 1) == u'\r' && i + 2 == totalUnits_) {
                len = 2;
            }
        }
        if (!slab.hasBreak) {
            slab.hasBreak = true;
            slab.headEnd = i;
            slab.headBreak = len;
        } else {
            if (builder.line(u + lineStart, lineStart, static_cast<std::size_t>(i - lineStart),
                             len)) {
                ++slab.cutLines;
            }
        }
        i += len - 1;
        lineStart = i + 1;
    }
    builder.flush();
    slab.tailStart = lineStart;
    slab.done = true;
}

void TextLogIndexer::mergeReady() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (ended_) return;
        auto it = slabs_.find(nextMerge_);
        if (it == slabs_.end()) return;
        Slab slab = std::move(it->second);
        slabs_.erase(it);
        const std::uint64_t s = slabStart(nextMerge_);
        ++nextMerge_;
        if (slab.hasBreak) {
            emitLine(carryStart_, slab.headEnd, slab.headBreak);
            outcome_.cutLines += slab.cutLines;
            carryCut_ = false;
            for (auto& b : slab.blocks) ready_.push_back(std::move(b));
            carryStart_ = slab.tailStart;
        }
        const std::uint64_t reached = s + slab.units;
        // A line that runs on without end is cut as it grows, so that no more than the
        // limit waits to be read.
        while (reached > carryStart_ && reached - carryStart_ > options_.lineLimit + 1) {
            std::vector<char16_t> text(options_.lineLimit + 1);
            const std::size_t got = readUnits(*options_.fd, carryStart_, text.size(), text.data());
            if (got != text.size()) break;
            std::size_t take = options_.lineLimit;
            if (text[take - 1] >= 0xD800 && text[take - 1] <= 0xDBFF && text[take] >= 0xDC00 &&
                text[take] <= 0xDFFF) {
                --take;
            }
            {
                BlockBuilder builder(options_.filter, options_.lineLimit, ready_);
                builder.line(text.data(), carryStart_, take, 0);
            }
            if (!carryCut_) {
                carryCut_ = true;
                ++outcome_.cutLines;
            }
            carryStart_ += take;
        }
        mergedUnits_.store(reached);
        if (slab.error != 0) outcome_.shrank = true;
        if (slab.error != 0 || reached >= totalUnits_) {
            // The line that the file ends with needs no line end.
            if (reached > carryStart_) emitLine(carryStart_, reached, 0);
            ended_ = true;
            slabs_.clear();
            return;
        }
    }
}

void TextLogIndexer::emitLine(std::uint64_t start, std::uint64_t end, std::uint32_t lineEnd) {
    const std::size_t n = static_cast<std::size_t>(end - start);
    std::vector<char16_t> text(n);
    const std::size_t got = n ? readUnits(*options_.fd, start, n, text.data()) : 0;
    if (got != n) {
        outcome_.shrank = true;
        return;
    }
    BlockBuilder builder(options_.filter, options_.lineLimit, ready_);
    if (builder.line(text.data(), start, n, lineEnd) && !carryCut_) ++outcome_.cutLines;
}

void TextLogIndexer::finish() {
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
    }
    finished_.store(true);
}

}  // namespace nimbrel::gui
