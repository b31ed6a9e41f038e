#include "gui/logview/line_store.h"

#include <algorithm>
#include <cstring>

#include "gui/logview/file_read_cache.h"
#include "gui/logview/line_store_utf8.h"

namespace nimbrel::gui {

namespace {

// The colours of the tags of an opened text log, in its colour codes' order after the
// default colour.
constexpr Colour kTagColours[] = {0xFF0000, 0x00FF00, 0x64FFFF, 0xFFFFFF, 0xFFFF00};

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

// Part [from, to) of a fragment.
TextFragment slice(const QString& text, const std::vector<ColourRun>& runs, int from, int to) {
    TextFragment f;
    f.text = text.mid(from, to - from);
    addClipped(f.runs, runs, from, to, -from);
    return f;
}

void appendFragment(QString& text, std::vector<ColourRun>& runs, const QString& t,
                    const std::vector<ColourRun>& r) {
    addClipped(runs, r, 0, static_cast<int>(t.size()), static_cast<int>(text.size()));
    text += t;
}

// The view line [first, first + count) of a piece table, sliced out of `pieces`.
std::vector<LinePiece> slicePieces(const std::vector<LinePiece>& pieces,
                                   const std::vector<std::int64_t>& starts, std::int64_t first,
                                   std::int64_t count) {
    std::vector<LinePiece> out;
    if (count <= 0) return out;
    auto it = std::upper_bound(starts.begin(), starts.end(), first);
    std::size_t i = static_cast<std::size_t>(it - starts.begin()) - 1;
    std::int64_t at = first;
    const std::int64_t end = first + count;
    for (; i < pieces.size() && at < end; ++i) {
        const LinePiece& p = pieces[i];
        const std::int64_t skip = at - starts[i];
        const std::int64_t take = std::min(p.count - skip, end - at);
        if (take <= 0) continue;
        out.push_back({p.source, p.first + skip, take});
        at += take;
    }
    return out;
}

std::int64_t countOf(const std::vector<LinePiece>& pieces) {
    std::int64_t n = 0;
    for (const LinePiece& p : pieces) n += p.count;
    return n;
}

}  // namespace

TextPos Excerpt::endFrom(TextPos from) const {
    if (!multiLine) return {from.line, from.column + static_cast<int>(head.text.size())};
    return {from.line + 1 + countOf(middle), static_cast<int>(last.text.size())};
}

LineStore::LineStore() : LineStore(Options{}) {}

LineStore::LineStore(Options options) : options_(std::move(options)) { clear(); }

LineStore::~LineStore() = default;

void LineStore::clear() {
    if (indexer_) indexer_->stop();
    indexer_.reset();
    indexerDone_ = false;
    openedOutcome_ = {};
    opened_.clear();
    openedCache_.reset();
    openedFd_.reset();
    openedChanged_ = false;
    openedShort_ = false;
    text_ = std::make_unique<SpilledText>(options_.scratchFolder, options_.limits);
    stored_.clear();
    palette_.clear();
    lastCode_ = 0;
    storedRuns_.clear();
    pieces_.clear();
    starts_.clear();
    pieceLines_ = 0;
    lastPiece_ = 0;
    tailText_.clear();
    tailRuns_.clear();
    tailColour_ = 0;
    tailBytes_ = 0;
    pendingCr_ = false;
    longestLine_ = 0;
    textBytes_ = 0;
    if (listener_.cleared) listener_.cleared();
}

// ---- Colours --------------------------------------------------------------------------

std::uint8_t LineStore::colourCode(Colour c) {
    if (lastCode_ < palette_.size() && palette_[lastCode_] == c) return lastCode_;
    for (std::size_t i = 0; i < palette_.size(); ++i) {
        if (palette_[i] == c) return lastCode_ = static_cast<std::uint8_t>(i);
    }
    if (palette_.size() >= kRunsColour) return kRunsColour;  // kept as a run instead
    palette_.push_back(c);
    return lastCode_ = static_cast<std::uint8_t>(palette_.size() - 1);
}

Colour LineStore::sourceColour(const Where& w, const LineLocation& loc) const {
    if (w.source == LinePiece::Opened) return openedPalette_[loc.colour];
    if (loc.colour == kRunsColour) {
        const auto it = storedRuns_.find(w.id);
        return it != storedRuns_.end() && !it->second.empty() ? it->second.front().colour : 0;
    }
    return palette_[loc.colour];
}

// ---- Pieces ----------------------------------------------------------------------------

void LineStore::appendPiece(LinePiece piece) {
    if (piece.count <= 0) return;
    if (!pieces_.empty()) {
        LinePiece& last = pieces_.back();
        if (last.source == piece.source && last.first + last.count == piece.first) {
            last.count += piece.count;
            pieceLines_ += piece.count;
            return;
        }
    }
    starts_.push_back(pieceLines_);
    pieces_.push_back(piece);
    pieceLines_ += piece.count;
}

void LineStore::rebuildStarts(std::size_t from) {
    // Neighbours that continue each other become one piece again.
    std::size_t keep = from > 0 ? from - 1 : 0;
    for (std::size_t i = keep + 1; i < pieces_.size(); ++i) {
        LinePiece& last = pieces_[keep];
        const LinePiece& p = pieces_[i];
        if (p.count <= 0) continue;
        if (last.count > 0 && last.source == p.source && last.first + last.count == p.first) {
            last.count += p.count;
        } else {
            if (last.count > 0) ++keep;
            pieces_[keep] = p;
        }
    }
    if (!pieces_.empty()) pieces_.resize(pieces_[keep].count > 0 ? keep + 1 : keep);
    starts_.resize(pieces_.size());
    std::int64_t at = 0;
    const std::size_t begin = std::min(from > 0 ? from - 1 : 0, pieces_.size());
    if (begin > 0) at = starts_[begin - 1] + pieces_[begin - 1].count;
    for (std::size_t i = begin; i < pieces_.size(); ++i) {
        starts_[i] = at;
        at += pieces_[i].count;
    }
    pieceLines_ = at;
    lastPiece_ = 0;
}

LineStore::Where LineStore::where(std::int64_t line) const {
    if (line >= pieceLines_) return {LinePiece::Stored, 0, true};
    std::size_t i = lastPiece_;
    if (!(i < pieces_.size() && starts_[i] <= line && line < starts_[i] + pieces_[i].count)) {
        const auto it = std::upper_bound(starts_.begin(), starts_.end(), line);
        i = static_cast<std::size_t>(it - starts_.begin()) - 1;
        lastPiece_ = i;
    }
    const LinePiece& p = pieces_[i];
    return {p.source, p.first + (line - starts_[i]), false};
}

std::vector<LinePiece> LineStore::piecesOf(std::int64_t first, std::int64_t count) const {
    return slicePieces(pieces_, starts_, first, count);
}

void LineStore::splice(std::int64_t first, std::int64_t count, const std::vector<LinePiece>& with) {
    std::vector<LinePiece> after = piecesOf(first + count, pieceLines_ - first - count);
    // Only the pieces from the one that holds `first` on change.
    std::size_t from = 0;
    if (first > 0) {
        const auto it = std::upper_bound(starts_.begin(), starts_.end(), first - 1);
        from = static_cast<std::size_t>(it - starts_.begin()) - 1;
    }
    std::vector<LinePiece> rebuilt(pieces_.begin(),
                                   pieces_.begin() + static_cast<std::ptrdiff_t>(from));
    // The piece that holds `first - 1`, cut at `first`.
    if (first > 0) {
        const LinePiece& p = pieces_[from];
        rebuilt.push_back({p.source, p.first, first - starts_[from]});
    }
    for (const LinePiece& p : with) rebuilt.push_back(p);
    for (const LinePiece& p : after) rebuilt.push_back(p);
    pieces_ = std::move(rebuilt);
    rebuildStarts(from);
}

std::uint64_t LineStore::piecesBytes(const std::vector<LinePiece>& pieces) const {
    std::uint64_t bytes = 0;
    for (const LinePiece& p : pieces) {
        const LineBlocks& blocks = p.source == LinePiece::Stored ? stored_ : opened_;
        if (p.count <= 0 || p.first + p.count > blocks.size()) continue;
        const LineLocation a = blocks.locate(p.first);
        const LineLocation z = blocks.locate(p.first + p.count - 1);
        bytes += z.offset + z.length - a.offset + static_cast<std::uint64_t>(p.count);
    }
    return bytes;
}

// ---- Reading lines -----------------------------------------------------------------------

const char16_t* LineStore::openedUnits(const LineLocation& loc) const {
    const char* bytes = openedCache_->bytesAt(loc.offset * 2, std::size_t(loc.length) * 2);
    if (!bytes) {
        openedShort_ = true;
        return nullptr;
    }
    units_.resize(loc.length);
    std::memcpy(units_.data(), bytes, std::size_t(loc.length) * 2);
    return units_.data();
}

const char* LineStore::sourceBytes(const Where& w, LineLocation& loc) const {
    if (w.source == LinePiece::Stored) {
        loc = stored_.locate(w.id);
        return text_->bytesAt(loc.offset, loc.length);
    }
    loc = opened_.locate(w.id);
    const char16_t* units = openedUnits(loc);
    if (!units) {
        loc.length = 0;
        return "";
    }
    utf8_.resize(utf8::maxBytes(loc.length));
    bool ascii = true;
    const std::size_t n = utf8::encode(units, loc.length, utf8_.data(), ascii);
    utf8_.resize(n);
    loc.ascii = ascii;
    return utf8_.data();
}

QString LineStore::sourceText(const Where& w) const {
    if (w.source == LinePiece::Opened) {
        const LineLocation loc = opened_.locate(w.id);
        const char16_t* units = openedUnits(loc);
        return units ? QString(reinterpret_cast<const QChar*>(units), loc.length) : QString();
    }
    const LineLocation loc = stored_.locate(w.id);
    if (loc.length == 0) return {};
    const char* bytes = text_->bytesAt(loc.offset, loc.length);
    if (!bytes) return {};
    if (loc.ascii) return QString::fromLatin1(bytes, static_cast<qsizetype>(loc.length));
    QString s(static_cast<qsizetype>(loc.length), Qt::Uninitialized);
    const std::size_t n = utf8::decode(bytes, loc.length, reinterpret_cast<char16_t*>(s.data()));
    s.resize(static_cast<qsizetype>(n));
    return s;
}

QString LineStore::lineText(std::int64_t line) const {
    const Where w = where(line);
    return w.tail ? tailText_ : sourceText(w);
}

int LineStore::lineLength(std::int64_t line) const {
    const Where w = where(line);
    if (w.tail) return static_cast<int>(tailText_.size());
    if (w.source == LinePiece::Opened) return static_cast<int>(opened_.locate(w.id).length);
    const LineLocation loc = stored_.locate(w.id);
    if (loc.ascii) return static_cast<int>(loc.length);
    const char* bytes = text_->bytesAt(loc.offset, loc.length);
    return bytes ? static_cast<int>(utf8::unitCount(bytes, loc.length)) : 0;
}

std::vector<ColourRun> LineStore::lineRuns(std::int64_t line) const {
    const Where w = where(line);
    if (w.tail) return tailRuns_;
    if (w.source == LinePiece::Stored) {
        const LineLocation loc = stored_.locate(w.id);
        if (loc.colour == kRunsColour) {
            const auto it = storedRuns_.find(w.id);
            if (it != storedRuns_.end()) return it->second;
        }
        if (loc.length == 0) return {};
        return {ColourRun{0, lineLength(line), palette_[loc.colour]}};
    }
    const LineLocation loc = opened_.locate(w.id);
    if (loc.length == 0) return {};
    return {ColourRun{0, static_cast<int>(loc.length), openedPalette_[loc.colour]}};
}

LineStore::Line LineStore::lineOf(std::int64_t line) const {
    const Where w = where(line);
    if (w.tail) return {tailText_, tailRuns_, tailColour_};
    Line l{sourceText(w), lineRuns(line), 0};
    const LineLocation loc =
        w.source == LinePiece::Stored ? stored_.locate(w.id) : opened_.locate(w.id);
    l.colour = sourceColour(w, loc);
    return l;
}

const char* LineStore::lineBytes(std::int64_t line, std::uint32_t& bytes, bool& ascii) const {
    const Where w = where(line);
    if (w.tail) {
        utf8_.resize(utf8::maxBytes(static_cast<std::size_t>(tailText_.size())));
        const std::size_t n =
            utf8::encode(reinterpret_cast<const char16_t*>(tailText_.utf16()),
                         static_cast<std::size_t>(tailText_.size()), utf8_.data(), ascii);
        bytes = static_cast<std::uint32_t>(n);
        return utf8_.data();
    }
    LineLocation loc;
    const char* p = sourceBytes(w, loc);
    if (!p) {
        bytes = 0;
        ascii = true;
        return "";
    }
    bytes = loc.length;
    ascii = loc.ascii;
    return p;
}

TextPos LineStore::endPos() const { return {pieceLines_, static_cast<int>(tailText_.size())}; }

TextPos LineStore::clamp(TextPos p) const {
    p.line = std::clamp<std::int64_t>(p.line, 0, lineCount() - 1);
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

Excerpt LineStore::excerpt(TextPos from, TextPos to) const {
    from = clamp(from);
    to = clamp(to);
    if (to < from) std::swap(from, to);
    Excerpt ex;
    const Line first = lineOf(from.line);
    if (from.line == to.line) {
        ex.head = slice(first.text, first.runs, from.column, to.column);
        return ex;
    }
    ex.multiLine = true;
    ex.head = slice(first.text, first.runs, from.column, static_cast<int>(first.text.size()));
    ex.middle = piecesOf(from.line + 1, to.line - from.line - 1);
    const Line last = lineOf(to.line);
    ex.last = slice(last.text, last.runs, 0, to.column);
    return ex;
}

// ---- Appending -----------------------------------------------------------------------------

std::int64_t LineStore::storeUtf16(const char16_t* text, std::size_t n, Colour colour,
                                   bool hasRuns) {
    const std::uint64_t offset = text_->size();
    bool ascii = true;
    std::size_t written = 0;
    if (char* room = text_->tailRoom(utf8::maxBytes(n))) {
        written = utf8::encode(text, n, room, ascii);
        text_->commit(written);
    } else {
        encode_.resize(utf8::maxBytes(n));
        written = utf8::encode(text, n, encode_.data(), ascii);
        text_->append(encode_.data(), written);
    }
    const std::int64_t id = stored_.size();
    const std::uint8_t code = hasRuns ? kRunsColour : colourCode(colour);
    stored_.add(offset, static_cast<std::uint32_t>(written), code, !ascii,
                n > 0 && text[0] == u'\t');
    // A colour that the palette has no room for is kept as the line's one run.
    if (code == kRunsColour && !hasRuns)
        storedRuns_[id] = {ColourRun{0, static_cast<int>(n), colour}};
    textBytes_ += written + 1;
    longestLine_ = std::max(longestLine_, static_cast<int>(std::min<std::size_t>(n, INT32_MAX)));
    return id;
}

std::int64_t LineStore::storeLine(QStringView text, const std::vector<ColourRun>& runs,
                                  Colour empty) {
    const Colour colour = runs.empty() ? empty : runs.front().colour;
    const std::int64_t id =
        storeUtf16(reinterpret_cast<const char16_t*>(text.utf16()),
                   static_cast<std::size_t>(text.size()), colour, runs.size() > 1);
    if (runs.size() > 1) storedRuns_[id] = runs;
    return id;
}

void LineStore::append(QStringView text, Colour colour) {
    colour &= 0xFFFFFF;
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
        if (tailText_.isEmpty()) {
            // The common case: a whole line goes straight into the text.
            const std::int64_t id = storeUtf16(p + start, i - start, colour, false);
            appendPiece({LinePiece::Stored, id, 1});
        } else {
            extendTail(p + start, i - start, colour);
            commitTail();
        }
        tailColour_ = colour;
        if (c == u'\r') {
            if (i + 1 < n && p[i + 1] == u'\n') {
                ++i;
            } else if (i + 1 == n) {
                pendingCr_ = true;
            }
        }
        start = i + 1;
    }
    extendTail(p + start, n - start, colour);
}

void LineStore::extendTail(const char16_t* text, std::size_t n, Colour colour) {
    if (n == 0) return;
    const int at = static_cast<int>(tailText_.size());
    addRun(tailRuns_, at, static_cast<int>(n), colour);
    tailText_.append(reinterpret_cast<const QChar*>(text), static_cast<qsizetype>(n));
    bool ascii = true;
    encode_.resize(utf8::maxBytes(n));
    const std::size_t bytes = utf8::encode(text, n, encode_.data(), ascii);
    tailBytes_ += bytes;
    textBytes_ += bytes;
    longestLine_ = std::max(longestLine_, static_cast<int>(tailText_.size()));
}

void LineStore::commitTail() {
    textBytes_ -= tailBytes_;
    const std::int64_t id = storeLine(tailText_, tailRuns_, tailColour_);
    appendPiece({LinePiece::Stored, id, 1});
    tailText_.clear();
    tailRuns_.clear();
    tailBytes_ = 0;
}

// ---- Editing ---------------------------------------------------------------------------------

TextPos LineStore::replace(TextPos from, TextPos to, QStringView text, Colour colour) {
    TextFragment f;
    f.text = text.toString();
    f.text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    f.text.replace(u'\r', u'\n');
    addRun(f.runs, 0, static_cast<int>(f.text.size()), colour & 0xFFFFFF);
    return replace(from, to, f);
}

TextPos LineStore::replace(TextPos from, TextPos to, const TextFragment& fragment) {
    // The fragment's first and last lines join the lines around them; the lines between
    // are stored as they are.
    Excerpt ex;
    const QString& t = fragment.text;
    const qsizetype firstBreak = t.indexOf(u'\n');
    if (firstBreak < 0) {
        ex.head = fragment;
        return replaceLines(from, to, ex);
    }
    ex.multiLine = true;
    ex.head = slice(t, fragment.runs, 0, static_cast<int>(firstBreak));
    const qsizetype lastBreak = t.lastIndexOf(u'\n');
    ex.last = slice(t, fragment.runs, static_cast<int>(lastBreak + 1), static_cast<int>(t.size()));
    // The lines between count once they are in the text (replaceLines adds them).
    const std::uint64_t bytesBefore = textBytes_;
    Colour previous = ex.head.runs.empty()
                          ? (fragment.runs.empty() ? 0 : fragment.runs.front().colour)
                          : ex.head.runs.back().colour;
    for (qsizetype s = firstBreak + 1; s <= lastBreak;) {
        const qsizetype e = t.indexOf(u'\n', s);
        const TextFragment line = slice(t, fragment.runs, static_cast<int>(s), static_cast<int>(e));
        const std::int64_t id = storeLine(line.text, line.runs, previous);
        if (!line.runs.empty()) previous = line.runs.back().colour;
        if (!ex.middle.empty() && ex.middle.back().first + ex.middle.back().count == id) {
            ++ex.middle.back().count;
        } else {
            ex.middle.push_back({LinePiece::Stored, id, 1});
        }
        s = e + 1;
    }
    textBytes_ = bytesBefore;
    return replaceLines(from, to, ex);
}

TextPos LineStore::replace(TextPos from, TextPos to, const Excerpt& excerpt) {
    return replaceLines(from, to, excerpt);
}

void LineStore::lineColours(std::int64_t first, std::int64_t count,
                            std::vector<Colour>& out) const {
    thread_local std::vector<LineLook> looks;
    lineLooks(first, count, looks);
    out.clear();
    for (const LineLook& look : looks) out.push_back(look.colour);
}

void LineStore::lineLooks(std::int64_t first, std::int64_t count,
                          std::vector<LineLook>& out) const {
    out.clear();
    first = std::max<std::int64_t>(first, 0);
    const std::int64_t end = std::min(first + count, lineCount());
    std::int64_t line = first;
    while (line < end && line < pieceLines_) {
        const auto it = std::upper_bound(starts_.begin(), starts_.end(), line);
        const std::size_t i = static_cast<std::size_t>(it - starts_.begin()) - 1;
        const LinePiece& p = pieces_[i];
        const std::int64_t offset = line - starts_[i];
        const std::int64_t n = std::min(p.count - offset, end - line);
        const LineBlocks& blocks = p.source == LinePiece::Stored ? stored_ : opened_;
        blocks.forEach(p.first + offset, n, [&](std::int64_t id, const LineLocation& loc) {
            out.push_back({sourceColour(Where{p.source, id, false}, loc), loc.indented});
        });
        line += n;
    }
    if (line < end) {
        out.push_back({tailRuns_.empty() ? tailColour_ : tailRuns_.front().colour,
                       tailText_.startsWith(u'\t')});
    }
}

TextPos LineStore::replaceLines(TextPos from, TextPos to, const Excerpt& ex) {
    from = clamp(from);
    to = clamp(to);
    if (to < from) std::swap(from, to);
    const Line head = lineOf(from.line);
    const Line tail = from.line == to.line ? head : lineOf(to.line);
    const bool toIsLast = to.line == lineCount() - 1;

    // The first new line: the start of the first old line and the excerpt's head.
    QString firstText = head.text.left(from.column);
    std::vector<ColourRun> firstRuns;
    addClipped(firstRuns, head.runs, 0, from.column, 0);
    appendFragment(firstText, firstRuns, ex.head.text, ex.head.runs);
    // The last new line ends with the rest of the last old line.
    QString lastText;
    std::vector<ColourRun> lastRuns;
    if (ex.multiLine) {
        lastText = ex.last.text;
        lastRuns = ex.last.runs;
    } else {
        lastText = std::move(firstText);
        lastRuns = std::move(firstRuns);
    }
    const int tailFrom = to.column;
    addClipped(lastRuns, tail.runs, tailFrom, static_cast<int>(tail.text.size()),
               static_cast<int>(lastText.size()) - tailFrom);
    lastText += QStringView(tail.text).mid(tailFrom);

    const std::int64_t oldLines = to.line - from.line + 1;
    std::vector<LinePiece> removed = piecesOf(from.line, toIsLast ? oldLines - 1 : oldLines);
    textBytes_ -= std::min(textBytes_, piecesBytes(removed));
    if (toIsLast) textBytes_ -= std::min(textBytes_, tailBytes_);

    std::vector<LinePiece> with;
    const Colour headColour = head.runs.empty() ? head.colour : head.runs.front().colour;
    if (ex.multiLine) {
        const std::int64_t id = storeLine(firstText, firstRuns, headColour);
        with.push_back({LinePiece::Stored, id, 1});
        for (const LinePiece& p : ex.middle) with.push_back(p);
        textBytes_ += piecesBytes(ex.middle);
    }
    if (toIsLast) {
        splice(from.line, pieceLines_ - from.line, with);
        tailText_ = lastText;
        tailRuns_ = lastRuns;
        if (ex.multiLine || tailText_.isEmpty()) tailColour_ = headColour;
        tailBytes_ = static_cast<std::uint64_t>(tailText_.toUtf8().size());
        textBytes_ += tailBytes_;
        longestLine_ = std::max(longestLine_, static_cast<int>(tailText_.size()));
        pendingCr_ = false;
    } else {
        const std::int64_t id =
            storeLine(lastText, lastRuns, ex.multiLine ? headColour : headColour);
        with.push_back({LinePiece::Stored, id, 1});
        splice(from.line, oldLines, with);
    }
    const TextPos end = ex.endFrom(from);
    if (listener_.replaced) listener_.replaced(from, to, end);
    return end;
}

PieceSwap LineStore::rewriteLines(
    const std::vector<std::int64_t>& lines,
    const std::function<void(std::int64_t, QString&, std::vector<ColourRun>&)>& rewrite) {
    PieceSwap swap;
    if (lines.empty() || lines.back() >= pieceLines_) return swap;
    const std::int64_t covered = lines.back() + 1;
    swap.before = piecesOf(0, covered);
    swap.firstChanged = lines.front();
    const std::uint64_t bytesBefore = textBytes_;
    std::int64_t at = 0;
    QString text;
    std::vector<ColourRun> runs;
    auto add = [&](LinePiece p) {
        if (!swap.after.empty() && swap.after.back().source == p.source &&
            swap.after.back().first + swap.after.back().count == p.first) {
            swap.after.back().count += p.count;
        } else {
            swap.after.push_back(p);
        }
    };
    for (const std::int64_t line : lines) {
        for (const LinePiece& p : piecesOf(at, line - at)) add(p);
        text.clear();
        runs.clear();
        rewrite(line, text, runs);
        add({LinePiece::Stored,
             storeLine(text, runs, runs.empty() ? tailColour_ : runs.front().colour), 1});
        at = line + 1;
    }
    textBytes_ = bytesBefore;
    swapPieces(swap.before, swap.after, swap.firstChanged);
    return swap;
}

void LineStore::swapPieces(const std::vector<LinePiece>& from, const std::vector<LinePiece>& to,
                           std::int64_t firstChanged) {
    const std::int64_t n = std::min(countOf(from), pieceLines_);
    textBytes_ -= std::min(textBytes_, piecesBytes(from));
    textBytes_ += piecesBytes(to);
    splice(0, n, to);
    if (listener_.rewritten && firstChanged < n)
        listener_.rewritten(firstChanged, n - firstChanged);
}

// ---- Files opened in place -------------------------------------------------------------------

void LineStore::openInPlace(std::shared_ptr<const FileHandle> fd, std::uint64_t size,
                            std::vector<std::u16string> filter, Colour defaultColour) {
    TextLogIndexer::Options o;
    o.fd = std::move(fd);
    o.size = size;
    o.filter = std::move(filter);
    openInPlace(std::move(o), defaultColour);
}

void LineStore::openInPlace(TextLogIndexer::Options options, Colour defaultColour) {
    clear();
    openedFd_ = options.fd;
    openedCache_ = std::make_unique<FileReadCache>(options.fd);
    openedPalette_[0] = defaultColour & 0xFFFFFF;
    for (int i = 1; i < TextLogIndexer::kColourCodes; ++i) openedPalette_[i] = kTagColours[i - 1];
    // New text after the file's lines (messages while it loads) takes the default colour.
    tailColour_ = defaultColour & 0xFFFFFF;
    indexer_ = std::make_unique<TextLogIndexer>(std::move(options));
}

std::int64_t LineStore::pollOpened() {
    if (!indexer_ || indexerDone_) return 0;
    const bool done = indexer_->finished();
    const std::int64_t before = opened_.size();
    const std::int64_t added = indexer_->takeBlocks(opened_);
    if (added > 0) {
        // The file's lines stay together, before whatever was appended meanwhile.
        std::size_t at = pieces_.size();
        for (std::size_t i = 0; i < pieces_.size(); ++i) {
            if (pieces_[i].source == LinePiece::Opened &&
                pieces_[i].first + pieces_[i].count == before) {
                at = i;
                break;
            }
        }
        if (at == pieces_.size()) {
            if (before == 0 && !pieces_.empty()) {
                pieces_.insert(pieces_.begin(), LinePiece{LinePiece::Opened, 0, added});
                rebuildStarts(0);
            } else {
                appendPiece({LinePiece::Opened, before, added});
            }
        } else {
            pieces_[at].count += added;
            rebuildStarts(at);
        }
        textBytes_ += piecesBytes({LinePiece{LinePiece::Opened, before, added}});
        longestLine_ = std::max(longestLine_, static_cast<int>(opened_.longestFrom(before)));
    }
    if (done) {
        indexerDone_ = true;
        openedOutcome_ = indexer_->outcome();
    }
    return added;
}

void LineStore::stopOpening() {
    if (indexer_) indexer_->stop();
}

// ---- State -------------------------------------------------------------------------------------

bool LineStore::full() { return text_->full(); }

LineStore::Notice LineStore::takeNotice(int& error) {
    error = 0;
    if (openedShort_ && !openedChanged_) {
        openedChanged_ = true;
        return Notice::FileChanged;
    }
    switch (text_->takeEvent(error)) {
    case SpilledText::Event::KeptInMemory: return Notice::KeptInMemory;
    case SpilledText::Event::Full: return Notice::Full;
    case SpilledText::Event::None: break;
    }
    return Notice::None;
}

std::uint64_t LineStore::memoryBytes() const {
    std::uint64_t bytes = stored_.memoryBytes() + opened_.memoryBytes() + text_->memoryBytes() +
                          pieces_.capacity() * sizeof(LinePiece) +
                          starts_.capacity() * sizeof(std::int64_t) +
                          static_cast<std::uint64_t>(tailText_.capacity()) * 2;
    for (const auto& [id, runs] : storedRuns_) bytes += 32 + runs.capacity() * sizeof(ColourRun);
    if (openedCache_) bytes += openedCache_->memoryBytes();
    return bytes;
}

std::uint64_t LineStore::scratchBytes() const { return text_->diskBytes(); }

std::shared_ptr<const LineSnapshot> LineStore::snapshot() const {
    auto s = std::make_shared<LineSnapshot>();
    s->pieces_ = pieces_;
    s->starts_ = starts_;
    s->pieceLines_ = pieceLines_;
    s->stored_ = stored_.snapshot();
    s->opened_ = opened_.snapshot();
    s->text_ = text_->reader();
    s->openedFd_ = openedFd_;
    s->tail_ = tailText_.toStdU16String();
    return s;
}

// ---- Snapshots ---------------------------------------------------------------------------------

bool LineSnapshot::locate(std::int64_t line, Source& s) const {
    if (line < 0 || line >= pieceLines_) return false;
    const auto it = std::upper_bound(starts_.begin(), starts_.end(), line);
    const std::size_t i = static_cast<std::size_t>(it - starts_.begin()) - 1;
    s = {pieces_[i].source, pieces_[i].first + (line - starts_[i])};
    return true;
}

bool LineSnapshot::appendUtf8(std::int64_t line, std::string& out) const {
    Source s{};
    if (!locate(line, s)) {
        if (line != pieceLines_) return false;
        const std::size_t at = out.size();
        out.resize(at + utf8::maxBytes(tail_.size()));
        bool ascii = true;
        out.resize(at + utf8::encode(tail_.data(), tail_.size(), out.data() + at, ascii));
        return true;
    }
    if (s.source == LinePiece::Stored) {
        const LineLocation loc = stored_.locate(s.id);
        const std::size_t at = out.size();
        out.resize(at + loc.length);
        return text_.read(loc.offset, loc.length, out.data() + at);
    }
    std::u16string units;
    if (!appendUtf16(line, units)) return false;
    const std::size_t at = out.size();
    out.resize(at + utf8::maxBytes(units.size()));
    bool ascii = true;
    out.resize(at + utf8::encode(units.data(), units.size(), out.data() + at, ascii));
    return true;
}

bool LineSnapshot::readUtf8Lines(std::int64_t first, std::int64_t count, std::string& text,
                                 std::vector<std::uint32_t>& starts) const {
    text.clear();
    starts.clear();
    if (first < 0 || count < 0 || first + count > lineCount()) return false;
    // Stored lines that lie one after another in the text are read with one call.
    std::uint64_t runStart = 0, runEnd = 0;
    auto flushRun = [&]() -> bool {
        if (runEnd == runStart) return true;
        const std::size_t at = text.size();
        text.resize(at + static_cast<std::size_t>(runEnd - runStart));
        const bool ok =
            text_.read(runStart, static_cast<std::size_t>(runEnd - runStart), text.data() + at);
        runStart = runEnd = 0;
        return ok;
    };
    std::uint64_t pending = 0;  // bytes of the run not yet in `text`
    std::vector<LineLocation> locations;
    std::u16string units;
    std::int64_t line = first;
    const std::int64_t end = first + count;
    while (line < end) {
        Source s{};
        if (!locate(line, s)) {  // the last line, still open for appends
            if (!flushRun()) return false;
            pending = 0;
            starts.push_back(static_cast<std::uint32_t>(text.size()));
            if (!appendUtf8(line, text)) return false;
            ++line;
            continue;
        }
        const auto i = static_cast<std::size_t>(
            std::upper_bound(starts_.begin(), starts_.end(), line) - starts_.begin() - 1);
        const std::int64_t n = std::min(end, starts_[i] + pieces_[i].count) - line;
        if (s.source == LinePiece::Stored) {
            bool ok = true;
            stored_.forEach(s.id, n, [&](std::int64_t, const LineLocation& loc) {
                if (runEnd != loc.offset) {
                    ok = ok && flushRun();
                    pending = 0;
                    runStart = runEnd = loc.offset;
                }
                starts.push_back(static_cast<std::uint32_t>(text.size() + pending));
                runEnd += loc.length;
                pending += loc.length;
            });
            if (!ok) return false;
        } else {
            if (!flushRun()) return false;
            pending = 0;
            // The opened file's lines lie one after another with their line ends between:
            // one read for all of them, then each line converted.
            locations.clear();
            opened_.forEach(
                s.id, n, [&](std::int64_t, const LineLocation& loc) { locations.push_back(loc); });
            const std::uint64_t from = locations.front().offset;
            const std::uint64_t to = locations.back().offset + locations.back().length;
            units.resize(static_cast<std::size_t>(to - from));
            const std::size_t bytes = units.size() * 2;
            if (openedFd_->readFullyAt(from * 2, units.data(), bytes) != bytes) {
                return false;
            }
            for (const LineLocation& loc : locations) {
                starts.push_back(static_cast<std::uint32_t>(text.size()));
                const std::size_t at = text.size();
                text.resize(at + utf8::maxBytes(loc.length));
                bool ascii = true;
                text.resize(at + utf8::encode(units.data() + (loc.offset - from), loc.length,
                                              text.data() + at, ascii));
            }
        }
        line += n;
    }
    if (!flushRun()) return false;
    starts.push_back(static_cast<std::uint32_t>(text.size()));
    return true;
}

bool LineSnapshot::appendUtf16(std::int64_t line, std::u16string& out) const {
    Source s{};
    if (!locate(line, s)) {
        if (line != pieceLines_) return false;
        out += tail_;
        return true;
    }
    if (s.source == LinePiece::Opened) {
        const LineLocation loc = opened_.locate(s.id);
        const std::size_t at = out.size();
        out.resize(at + loc.length);
        const std::size_t bytes = std::size_t(loc.length) * 2;
        return openedFd_->readFullyAt(loc.offset * 2, out.data() + at, bytes) == bytes;
    }
    std::string bytes;
    if (!appendUtf8(line, bytes)) return false;
    const std::size_t at = out.size();
    out.resize(at + bytes.size());
    out.resize(at + utf8::decode(bytes.data(), bytes.size(), out.data() + at));
    return true;
}

bool LineSnapshot::writeTextLog(const std::function<bool(std::u16string_view)>& sink,
                                const std::function<bool(std::int64_t)>& keep) const {
    constexpr std::size_t kPiece = std::size_t(1) << 21;  // units handed on at once
    std::u16string out;
    out.reserve(kPiece + 4096);
    auto flush = [&] {
        const bool ok = out.empty() || sink(out);
        out.clear();
        return ok;
    };
    // Stored text is read in windows of 1 MiB: lines are short, reads are not.
    std::string window;
    std::uint64_t windowStart = 0;
    auto storedBytes = [&](std::uint64_t offset, std::size_t n, std::string& into) -> bool {
        if (offset < windowStart || offset + n > windowStart + window.size()) {
            const std::uint64_t end =
                std::min(text_.size(), offset + std::max<std::uint64_t>(n, std::uint64_t(1) << 20));
            window.resize(static_cast<std::size_t>(end - offset));
            windowStart = offset;
            if (!text_.read(offset, window.size(), window.data())) return false;
        }
        into.assign(window, static_cast<std::size_t>(offset - windowStart), n);
        return true;
    };
    // Lines of the opened file that end in CR LF are copied with their line end as they
    // lie in the file, in runs of consecutive lines.
    std::uint64_t runStart = 0, runEnd = 0;
    auto flushRun = [&]() -> bool {
        for (std::uint64_t at = runStart; at < runEnd;) {
            if (!flush()) return false;
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(runEnd - at, kPiece));
            out.resize(n);
            if (openedFd_->readFullyAt(at * 2, out.data(), n * 2) != n * 2) {
                return false;
            }
            at += n;
        }
        runStart = runEnd = 0;
        return true;
    };
    std::string bytes;
    bool ok = true;
    std::int64_t line = 0;  // the view's line number
    auto skipped = [&] { return keep && !keep(line++); };
    for (const LinePiece& p : pieces_) {
        if (!ok) break;
        if (p.source == LinePiece::Stored) {
            stored_.forEach(p.first, p.count, [&](std::int64_t, const LineLocation& loc) {
                if (!ok || skipped()) return;
                if (!storedBytes(loc.offset, loc.length, bytes)) {
                    ok = false;
                    return;
                }
                const std::size_t at = out.size();
                out.resize(at + bytes.size());
                out.resize(at + utf8::decode(bytes.data(), bytes.size(), out.data() + at));
                out += u"\r\n";
                if (out.size() >= kPiece) ok = flush();
            });
            continue;
        }
        opened_.forEach(p.first, p.count, [&](std::int64_t, const LineLocation& loc) {
            if (!ok) return;
            if (skipped()) {
                ok = flushRun();
                return;
            }
            if (loc.gap == 2) {
                if (runEnd != loc.offset) {
                    ok = flushRun();
                    runStart = loc.offset;
                }
                runEnd = loc.offset + loc.length + 2;
                return;
            }
            ok = flushRun() && flush();
            if (!ok) return;
            out.resize(loc.length);
            const std::size_t n = std::size_t(loc.length) * 2;
            ok = openedFd_->readFullyAt(loc.offset * 2, out.data(), n) == n;
            out += u"\r\n";
        });
        ok = ok && flushRun();
    }
    if (!ok) return false;
    if (!flushRun()) return false;
    if (!tail_.empty() && !skipped()) {
        out += tail_;
        out += u"\r\n";
    }
    return flush();
}

}  // namespace nimbrel::gui
