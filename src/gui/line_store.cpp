#include "gui/line_store.h"

#include <algorithm>
#include <cstring>

#include "gui/line_store_utf8.h"

namespace nimbrel::gui {

namespace {

constexpr std::uint32_t kChunkSize = 1u << 20;

// Adds a run, merging it with the previous one when the colours match.
void addRun(std::vector<ColourRun>& runs, int start, int length, Colour colour) {
    if (length <= 0) return;
    if (!runs.empty() && runs.back().colour == colour &&
        runs.back().start + runs.back().length == start) {
        runs.back().length += length;
    } else {
        runs.push_back({start, length, colour});
    }
}

// The parts of `runs` inside [from, to), moved by `shift`.
void addClipped(std::vector<ColourRun>& out, const std::vector<ColourRun>& runs, int from, int to,
                int shift) {
    for (const ColourRun& r : runs) {
        const int s = std::max(r.start, from);
        const int e = std::min(r.start + r.length, to);
        if (s < e) addRun(out, s + shift, e - s, r.colour);
    }
}

}  // namespace

LineStore::LineStore() { clear(); }
LineStore::~LineStore() = default;

void LineStore::clear() {
    chunks_.clear();
    index_.clear();
    runSets_.clear();
    freeRunSets_.clear();
    index_.push_back(LineEntry{});
    pendingCr_ = false;
    longestLine_ = 0;
    textBytes_ = 0;
}

char* LineStore::reserve(std::uint32_t n, std::uint32_t& chunk, std::uint32_t& offset) {
    if (chunks_.empty() || chunks_.back().capacity - chunks_.back().used < n) {
        Chunk c;
        // A line that outgrows a quarter chunk gets room to grow again in place, so
        // that a long line continued piece by piece is not copied on every piece.
        c.capacity = n > kChunkSize / 4 ? std::max(kChunkSize, 2 * n) : kChunkSize;
        c.data.reset(new char[c.capacity]);
        chunks_.push_back(std::move(c));
    }
    Chunk& c = chunks_.back();
    chunk = static_cast<std::uint32_t>(chunks_.size() - 1);
    offset = c.used;
    return c.data.get() + c.used;
}

void LineStore::append(QStringView text, Colour colour) {
    colour &= LineEntry::kValueMask;
    const auto* p = reinterpret_cast<const char16_t*>(text.utf16());
    std::size_t n = static_cast<std::size_t>(text.size());
    if (pendingCr_ && n > 0 && p[0] == u'\n') {
        ++p;
        --n;
    }
    if (n > 0) pendingCr_ = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = p[i];
        if (c != u'\n' && c != u'\r') continue;
        extendLastLine(p + start, i - start, colour);
        index_.push_back(LineEntry{0, 0, 0, colour});
        ++textBytes_;
        if (c == u'\r') {
            if (i + 1 < n && p[i + 1] == u'\n') {
                ++i;
            } else if (i + 1 == n) {
                pendingCr_ = true;
            }
        }
        start = i + 1;
    }
    extendLastLine(p + start, n - start, colour);
}

void LineStore::extendLastLine(const char16_t* text, std::size_t n, Colour colour) {
    if (n == 0) return;
    LineEntry& e = index_.back();
    bool ascii = true;
    const auto room = static_cast<std::uint32_t>(utf8::maxBytes(n));
    std::size_t oldUnits = 0;
    if (e.bytes == 0) {
        releaseRuns(e);
        std::uint32_t chunk = 0, offset = 0;
        char* out = reserve(room, chunk, offset);
        const auto written = static_cast<std::uint32_t>(utf8::encode(text, n, out, ascii));
        chunks_[chunk].used += written;
        e = LineEntry{chunk, offset, written, colour | (ascii ? 0 : LineEntry::kNonAscii)};
        textBytes_ += written;
    } else {
        const Chunk& base = chunks_[e.chunk];
        oldUnits = e.ascii() ? e.bytes : utf8::unitCount(base.data.get() + e.offset, e.bytes);
        std::vector<ColourRun> runs;
        const bool recolour = e.hasRuns() || e.value() != colour;
        if (recolour) {
            runs = lineRuns(index_.size() - 1);
            addRun(runs, static_cast<int>(oldUnits), static_cast<int>(n), colour);
        }
        std::uint32_t written = 0;
        const bool atTail = e.chunk + 1 == chunks_.size() && e.offset + e.bytes == base.used &&
                            base.capacity - base.used >= room;
        if (atTail) {
            Chunk& c = chunks_[e.chunk];
            written =
                static_cast<std::uint32_t>(utf8::encode(text, n, c.data.get() + c.used, ascii));
            c.used += written;
        } else {
            // Move the line to fresh space; the old bytes stay unused until the next clear.
            std::uint32_t chunk = 0, offset = 0;
            char* out = reserve(e.bytes + room, chunk, offset);
            std::memcpy(out, chunks_[e.chunk].data.get() + e.offset, e.bytes);
            written = static_cast<std::uint32_t>(utf8::encode(text, n, out + e.bytes, ascii));
            chunks_[chunk].used += e.bytes + written;
            e.chunk = chunk;
            e.offset = offset;
        }
        e.bytes += written;
        textBytes_ += written;
        if (!ascii) e.attr |= LineEntry::kNonAscii;
        if (recolour) {
            const std::uint32_t flags = e.attr & LineEntry::kNonAscii;
            releaseRuns(e);
            e.attr = storeRuns(std::move(runs)) | flags;
        }
    }
    longestLine_ =
        std::max(longestLine_, static_cast<int>(std::min<std::size_t>(oldUnits + n, INT32_MAX)));
}

std::uint32_t LineStore::storeRuns(std::vector<ColourRun> runs) {
    if (runs.size() <= 1) return runs.empty() ? 0 : runs.front().colour;
    std::uint32_t slot = 0;
    // Run sets are numbered in 24 bits; past that (never seen in a log) a line keeps its
    // first colour only.
    if (freeRunSets_.empty() && runSets_.size() >= LineEntry::kValueMask)
        return runs.front().colour;
    if (!freeRunSets_.empty()) {
        slot = freeRunSets_.back();
        freeRunSets_.pop_back();
        runSets_[slot] = std::move(runs);
    } else {
        slot = static_cast<std::uint32_t>(runSets_.size());
        runSets_.push_back(std::move(runs));
    }
    return slot | LineEntry::kHasRuns;
}

void LineStore::releaseRuns(const LineEntry& e) {
    if (!e.hasRuns()) return;
    runSets_[e.value()].clear();
    runSets_[e.value()].shrink_to_fit();
    freeRunSets_.push_back(e.value());
}

void LineStore::forget(const LineEntry& e) {
    releaseRuns(e);
    textBytes_ -= e.bytes;
}

Colour LineStore::firstColour(const LineEntry& e) const {
    return e.hasRuns() ? runSets_[e.value()].front().colour : e.value();
}

const char* LineStore::lineBytes(std::int64_t line, std::uint32_t& bytes, bool& ascii) const {
    const LineEntry& e = index_[line];
    bytes = e.bytes;
    ascii = e.ascii();
    return e.bytes ? chunks_[e.chunk].data.get() + e.offset : "";
}

QString LineStore::lineText(std::int64_t line) const {
    const LineEntry& e = index_[line];
    if (e.bytes == 0) return {};
    const char* bytes = chunks_[e.chunk].data.get() + e.offset;
    if (e.ascii()) return QString::fromLatin1(bytes, static_cast<qsizetype>(e.bytes));
    QString s(static_cast<qsizetype>(e.bytes), Qt::Uninitialized);
    const std::size_t n = utf8::decode(bytes, e.bytes, reinterpret_cast<char16_t*>(s.data()));
    s.resize(static_cast<qsizetype>(n));
    return s;
}

int LineStore::lineLength(std::int64_t line) const {
    const LineEntry& e = index_[line];
    if (e.ascii()) return static_cast<int>(e.bytes);
    return static_cast<int>(utf8::unitCount(chunks_[e.chunk].data.get() + e.offset, e.bytes));
}

std::vector<ColourRun> LineStore::lineRuns(std::int64_t line) const {
    const LineEntry& e = index_[line];
    if (e.hasRuns()) return runSets_[e.value()];
    if (e.bytes == 0) return {};
    return {ColourRun{0, lineLength(line), e.value()}};
}

TextPos LineStore::endPos() const {
    const std::int64_t last = index_.size() - 1;
    return {last, lineLength(last)};
}

TextPos LineStore::clamp(TextPos p) const {
    p.line = std::clamp<std::int64_t>(p.line, 0, index_.size() - 1);
    p.column = std::clamp(p.column, 0, lineLength(p.line));
    return p;
}

QString LineStore::text(TextPos from, TextPos to) const {
    from = clamp(from);
    to = clamp(to);
    if (to < from) std::swap(from, to);
    if (from.line == to.line) return lineText(from.line).mid(from.column, to.column - from.column);
    QString out = lineText(from.line).mid(from.column);
    for (std::int64_t l = from.line + 1; l < to.line; ++l) {
        out += u'\n';
        out += lineText(l);
    }
    out += u'\n';
    out += QStringView(lineText(to.line)).left(to.column);
    return out;
}

TextFragment LineStore::fragment(TextPos from, TextPos to) const {
    from = clamp(from);
    to = clamp(to);
    if (to < from) std::swap(from, to);
    TextFragment f;
    for (std::int64_t l = from.line; l <= to.line; ++l) {
        const int begin = l == from.line ? from.column : 0;
        const int end = l == to.line ? to.column : lineLength(l);
        const int shift = static_cast<int>(f.text.size()) - begin;
        addClipped(f.runs, lineRuns(l), begin, end, shift);
        f.text += QStringView(lineText(l)).mid(begin, end - begin);
        if (l != to.line) f.text += u'\n';
    }
    return f;
}

LineEntry LineStore::makeEntry(QStringView line, const std::vector<ColourRun>& runs) {
    LineEntry e;
    const auto n = static_cast<std::size_t>(line.size());
    if (n > 0) {
        bool ascii = true;
        char* out = reserve(static_cast<std::uint32_t>(utf8::maxBytes(n)), e.chunk, e.offset);
        e.bytes = static_cast<std::uint32_t>(
            utf8::encode(reinterpret_cast<const char16_t*>(line.utf16()), n, out, ascii));
        chunks_[e.chunk].used += e.bytes;
        if (!ascii) e.attr |= LineEntry::kNonAscii;
        textBytes_ += e.bytes;
    }
    e.attr |= storeRuns(runs);
    longestLine_ = std::max(longestLine_, static_cast<int>(n));
    return e;
}

TextPos LineStore::replace(TextPos from, TextPos to, QStringView text, Colour colour) {
    TextFragment f;
    f.text = text.toString();
    f.text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    f.text.replace(u'\r', u'\n');
    addRun(f.runs, 0, static_cast<int>(f.text.size()), colour & LineEntry::kValueMask);
    return replace(from, to, f);
}

TextPos LineStore::replace(TextPos from, TextPos to, const TextFragment& fragment) {
    from = clamp(from);
    to = clamp(to);
    if (to < from) std::swap(from, to);
    const QString head = lineText(from.line);
    const QString tail = from.line == to.line ? head : lineText(to.line);
    const Colour headColour = firstColour(index_[from.line]);

    // The new text of the affected lines and its runs.
    QString all;
    all.reserve(from.column + fragment.text.size() + tail.size() - to.column);
    all.append(QStringView(head).left(from.column))
        .append(fragment.text)
        .append(QStringView(tail).mid(to.column));
    std::vector<ColourRun> runs;
    addClipped(runs, lineRuns(from.line), 0, from.column, 0);
    addClipped(runs, fragment.runs, 0, static_cast<int>(fragment.text.size()), from.column);
    const int tailShift = from.column + static_cast<int>(fragment.text.size()) - to.column;
    addClipped(runs, lineRuns(to.line), to.column, static_cast<int>(tail.size()), tailShift);

    // Drop the old lines.
    const std::int64_t oldCount = to.line - from.line + 1;
    index_.forEach(from.line, oldCount, [this](const LineEntry& e) { forget(e); });
    textBytes_ -= static_cast<std::uint64_t>(oldCount - 1);

    // Split into lines; each takes the runs over its span.
    std::vector<LineEntry> entries;
    std::vector<ColourRun> lineRunsNow;
    std::size_t r = 0;
    Colour last = headColour;
    qsizetype start = 0;
    for (;;) {
        qsizetype end = all.indexOf(u'\n', start);
        const bool final = end < 0;
        if (final) end = all.size();
        lineRunsNow.clear();
        while (r < runs.size() && runs[r].start + runs[r].length <= start) ++r;
        for (std::size_t k = r; k < runs.size() && runs[k].start < end; ++k) {
            const int s = std::max<int>(runs[k].start, static_cast<int>(start));
            const int e = std::min<int>(runs[k].start + runs[k].length, static_cast<int>(end));
            if (s < e) addRun(lineRunsNow, s - static_cast<int>(start), e - s, runs[k].colour);
        }
        if (lineRunsNow.empty()) lineRunsNow.push_back({0, 0, last});
        last = lineRunsNow.back().colour;
        entries.push_back(makeEntry(QStringView(all).mid(start, end - start), lineRunsNow));
        if (final) break;
        start = end + 1;
    }
    textBytes_ += entries.size() - 1;
    const bool touchesEnd = to.line == index_.size() - 1;
    index_.replace(from.line, oldCount, entries);
    if (touchesEnd) pendingCr_ = false;

    const qsizetype lastBreak = fragment.text.lastIndexOf(u'\n');
    if (lastBreak < 0) return {from.line, from.column + static_cast<int>(fragment.text.size())};
    return {from.line + fragment.text.count(u'\n'),
            static_cast<int>(fragment.text.size() - lastBreak - 1)};
}

std::uint64_t LineStore::memoryBytes() const {
    std::uint64_t bytes = chunks_.capacity() * sizeof(Chunk) + index_.memoryBytes();
    for (const Chunk& c : chunks_) bytes += c.capacity;
    bytes += runSets_.capacity() * sizeof(std::vector<ColourRun>);
    for (const auto& s : runSets_) bytes += s.capacity() * sizeof(ColourRun);
    return bytes;
}

}  // namespace nimbrel::gui
