// The text of the log view: lines of coloured text, appended at the end by the thousands
// per second and edited anywhere by the user, with memory that follows what is on screen
// rather than what was captured.
//
// Appended lines go as UTF-8 into a SpilledText, whose full chunks a writer thread moves
// to a scratch file; a compact index (LineBlocks, about two bytes a line) says where each
// line lies and how it is coloured. A text log opened in place is indexed straight from
// its file and read from there when its lines are painted, searched or copied. The
// view's lines are a table of pieces over these two sources, plus the last line, which
// is still open for appends and lives in memory. An edit stores its new lines at the end
// of the UTF-8 text and changes the pieces, so undo and redo keep the lines they take out
// by reference and cost memory only for what changed.
//
// Positions are (line, column) with the column counted in UTF-16 units. The store always
// holds at least one line: an empty text is one empty line, and a text that ends with a
// line break ends with an empty line. Everything here runs on the owner's (GUI) thread;
// other threads read through snapshot().
#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "gui/logview/line_index.h"
#include "gui/logview/spilled_text.h"
#include "gui/logview/text_log_index.h"

namespace nimbrel::gui {

class FileReadCache;
class LineSnapshot;

using Colour = std::uint32_t;  // 0xRRGGBB

struct TextPos {
    std::int64_t line = 0;
    int column = 0;
    friend bool operator==(const TextPos&, const TextPos&) = default;
    friend auto operator<=>(const TextPos&, const TextPos&) = default;
};

struct ColourRun {
    int start = 0;
    int length = 0;
    Colour colour = 0;
    friend bool operator==(const ColourRun&, const ColourRun&) = default;
};

// A piece of text with its colours, as typed, pasted or replaced.
struct TextFragment {
    QString text;                 // lines joined with '\n'
    std::vector<ColourRun> runs;  // over `text`, line breaks included
};

// Consecutive lines of one source.
struct LinePiece {
    enum Source : std::uint8_t { Stored, Opened };
    Source source = Stored;
    std::int64_t first = 0;
    std::int64_t count = 0;
    friend bool operator==(const LinePiece&, const LinePiece&) = default;
};

// Text cut out of the store: a part of one line, or the end of one line, whole lines kept
// by reference and the start of another line.
struct Excerpt {
    TextFragment head;
    std::vector<LinePiece> middle;
    TextFragment last;
    bool multiLine = false;
    // The position after this text when it starts at `from`.
    TextPos endFrom(TextPos from) const;
};

// The lines before and after a replace-all, as pieces.
struct PieceSwap {
    std::vector<LinePiece> before;
    std::vector<LinePiece> after;
    std::int64_t firstChanged = 0;
};

class LineStore {
public:
    struct Options {
        std::string scratchFolder = gui::scratchFolder();
        SpilledText::Limits limits;
    };
    // What happened that the user should hear about once.
    enum class Notice {
        None,
        KeptInMemory,  // the scratch file failed: new text stays in memory
        Full,          // neither disk nor memory takes more text
        FileChanged,   // the file opened in place became shorter
    };

    LineStore();
    explicit LineStore(Options options);
    ~LineStore();
    LineStore(const LineStore&) = delete;
    LineStore& operator=(const LineStore&) = delete;

    // Appends at the end. "\n", "\r\n" and a lone "\r" each end a line; a "\r" that ends
    // one append and a "\n" that starts the next end one line together.
    void append(QStringView text, Colour colour);
    // Empties the store; the scratch file and any file opened in place are let go.
    void clear();

    std::int64_t lineCount() const { return pieceLines_ + 1; }
    bool isEmpty() const { return pieceLines_ == 0 && tailText_.isEmpty(); }
    QString lineText(std::int64_t line) const;
    int lineLength(std::int64_t line) const;
    std::vector<ColourRun> lineRuns(std::int64_t line) const;
    // The line's UTF-8 text and whether it is all ASCII (fast paths); valid until the
    // next call.
    const char* lineBytes(std::int64_t line, std::uint32_t& bytes, bool& ascii) const;
    TextPos endPos() const;

    // Text between two positions (from <= to), lines joined with '\n'.
    QString text(TextPos from, TextPos to) const;
    TextFragment fragment(TextPos from, TextPos to) const;
    Excerpt excerpt(TextPos from, TextPos to) const;
    // Replaces [from, to) by `text` in one colour, by a fragment with its own colours, or
    // by an excerpt taken earlier; returns the position after the inserted text.
    TextPos replace(TextPos from, TextPos to, QStringView text, Colour colour);
    TextPos replace(TextPos from, TextPos to, const TextFragment& fragment);
    TextPos replace(TextPos from, TextPos to, const Excerpt& excerpt);

    // Rewrites the given lines (ascending, none of them the last line) in one pass over
    // the pieces: `rewrite` gives each one's new text and runs. Returns what changed.
    PieceSwap rewriteLines(const std::vector<std::int64_t>& lines,
                           const std::function<void(std::int64_t line, QString& text,
                                                    std::vector<ColourRun>& runs)>& rewrite);
    // The first lines, which `from` covers, become `to` (undo and redo of a rewrite).
    void swapPieces(const std::vector<LinePiece>& from, const std::vector<LinePiece>& to,
                    std::int64_t firstChanged = 0);

    // Clamps a position to the text.
    TextPos clamp(TextPos p) const;

    // Told of every change of the lines' numbering: a replace (typing, paste, cut, undo,
    // redo) turned [from, to) into text that ends at `end`, or the store was emptied.
    // Whoever keeps line numbers (the marks) follows the text through these.
    struct EditListener {
        std::function<void(TextPos from, TextPos to, TextPos end)> replaced;
        std::function<void()> cleared;
        // Whole lines [first, first + count) were rewritten in place (Replace All, and its
        // undo and redo): the numbering is unchanged, the lines' text and looks may not be.
        std::function<void(std::int64_t first, std::int64_t count)> rewritten;
    };
    void setEditListener(EditListener listener) { listener_ = std::move(listener); }

    // The colour of each line of [first, first + count) (its first run's) into `out`,
    // read from the index without the text.
    void lineColours(std::int64_t first, std::int64_t count, std::vector<Colour>& out) const;
    // The same with whether each line starts with a tab (a decoded line under a record).
    struct LineLook {
        Colour colour = 0;
        bool indented = false;
    };
    void lineLooks(std::int64_t first, std::int64_t count, std::vector<LineLook>& out) const;

    // Longest line seen so far, in UTF-16 units (tabs count as one); for the scroll range.
    int longestLine() const { return longestLine_; }
    // UTF-8 bytes of the text that the lines hold (line breaks counted as one byte; for a
    // file opened in place, its UTF-16 units).
    std::uint64_t textBytes() const { return textBytes_; }
    // Memory held by the store: index, pieces, text in memory and caches.
    std::uint64_t memoryBytes() const;
    // Bytes of text written to the scratch file.
    std::uint64_t scratchBytes() const;

    // True while the store should take no more appended text: the scratch file's writer
    // is behind, or neither disk nor memory can take more.
    bool full();
    Notice takeNotice(int& error);

    // ---- A text log opened in place ----
    // Empties the store and indexes the file (UTF-16LE, `size` bytes) on worker threads;
    // lines whose trimmed text holds a `filter` string are left out. `defaultColour` is
    // the colour of lines without a tag.
    void openInPlace(std::shared_ptr<const FileHandle> fd, std::uint64_t size,
                     std::vector<std::u16string> filter, Colour defaultColour);
    // The same with the indexer's options given (tests: small slabs, a short line limit).
    void openInPlace(TextLogIndexer::Options options, Colour defaultColour);
    // Moves the lines indexed since the last call into the text; the lines added.
    std::int64_t pollOpened();
    bool opening() const { return indexer_ && !indexerDone_; }
    int openedPercent() const { return indexer_ ? indexer_->percent() : 100; }
    void stopOpening();
    // After the indexing ended: what it met.
    TextLogIndexer::Outcome openedOutcome() const { return openedOutcome_; }

    // A copy of the text as it is now that other threads may read while the store goes on.
    std::shared_ptr<const LineSnapshot> snapshot() const;

private:
    struct Where {
        LinePiece::Source source;
        std::int64_t id;
        bool tail;
    };
    struct Line {
        QString text;
        std::vector<ColourRun> runs;
        Colour colour = 0;  // of an empty line
    };

    Where where(std::int64_t line) const;
    Line lineOf(std::int64_t line) const;
    // The stored or opened line's text as UTF-8 (opened lines are converted).
    const char* sourceBytes(const Where& w, LineLocation& loc) const;
    const char16_t* openedUnits(const LineLocation& loc) const;
    QString sourceText(const Where& w) const;
    Colour sourceColour(const Where& w, const LineLocation& loc) const;

    void appendPiece(LinePiece piece);
    void rebuildStarts(std::size_t from);
    std::vector<LinePiece> piecesOf(std::int64_t first, std::int64_t count) const;
    // Replaces view lines [first, first + count), none of them the last line, by pieces.
    void splice(std::int64_t first, std::int64_t count, const std::vector<LinePiece>& with);
    std::uint64_t piecesBytes(const std::vector<LinePiece>& pieces) const;

    std::uint8_t colourCode(Colour c);
    // Stores one line and returns its id among the stored lines.
    std::int64_t storeLine(QStringView text, const std::vector<ColourRun>& runs, Colour empty);
    std::int64_t storeUtf16(const char16_t* text, std::size_t n, Colour colour, bool hasRuns);
    void extendTail(const char16_t* text, std::size_t n, Colour colour);
    void commitTail();
    TextPos replaceLines(TextPos from, TextPos to, const Excerpt& ex);

    Options options_;
    EditListener listener_;
    std::unique_ptr<SpilledText> text_;
    LineBlocks stored_;
    std::vector<Colour> palette_;
    std::uint8_t lastCode_ = 0;
    std::unordered_map<std::int64_t, std::vector<ColourRun>> storedRuns_;

    // The file opened in place.
    std::unique_ptr<TextLogIndexer> indexer_;
    bool indexerDone_ = false;
    TextLogIndexer::Outcome openedOutcome_;
    LineBlocks opened_;
    std::shared_ptr<const FileHandle> openedFd_;
    std::unique_ptr<FileReadCache> openedCache_;
    Colour openedPalette_[TextLogIndexer::kColourCodes] = {};
    bool openedChanged_ = false;
    mutable bool openedShort_ = false;

    std::vector<LinePiece> pieces_;
    std::vector<std::int64_t> starts_;  // first view line of each piece
    std::int64_t pieceLines_ = 0;
    mutable std::size_t lastPiece_ = 0;

    QString tailText_;
    std::vector<ColourRun> tailRuns_;
    Colour tailColour_ = 0;
    std::uint64_t tailBytes_ = 0;
    bool pendingCr_ = false;

    int longestLine_ = 0;
    std::uint64_t textBytes_ = 0;
    mutable std::string utf8_;      // lineBytes() of a line that is not stored as UTF-8
    mutable std::u16string units_;  // an opened line's text
    std::string encode_;            // a line on its way into the text
};

// The store's text frozen at one moment, for worker threads (a search, a save): the
// index's full blocks are shared, the growing parts copied, the text read from the
// scratch file, from chunks still in memory or from the file opened in place.
class LineSnapshot {
public:
    std::int64_t lineCount() const { return pieceLines_ + 1; }
    // Appends the line's UTF-8 text to `out`; false when it could not be read.
    bool appendUtf8(std::int64_t line, std::string& out) const;
    // Reads lines [first, first + count) as UTF-8 into `text` (replacing what it held), one
    // after another without line breaks, with long runs of stored lines read at once;
    // `starts` gets count + 1 offsets into `text`, the last one its size. False when a
    // line could not be read or lies outside the text.
    bool readUtf8Lines(std::int64_t first, std::int64_t count, std::string& text,
                       std::vector<std::uint32_t>& starts) const;
    // Appends the line's text as UTF-16 to `out`; false when it could not be read.
    bool appendUtf16(std::int64_t line, std::u16string& out) const;
    // The whole text as a text log's UTF-16 units: every line but the last followed by
    // CR LF, the last one too when it is not empty. `sink` gets the text in pieces of up
    // to 4 MiB and returns false to stop. False when the text could not be read back or
    // the sink stopped. With `keep`, only the lines it keeps (by line number).
    bool writeTextLog(const std::function<bool(std::u16string_view)>& sink,
                      const std::function<bool(std::int64_t)>& keep = {}) const;

private:
    friend class LineStore;
    struct Source {
        LinePiece::Source source;
        std::int64_t id;
    };
    bool locate(std::int64_t line, Source& s) const;

    std::vector<LinePiece> pieces_;
    std::vector<std::int64_t> starts_;
    std::int64_t pieceLines_ = 0;
    LineBlocks stored_;
    LineBlocks opened_;
    SpilledText::Reader text_;
    std::shared_ptr<const FileHandle> openedFd_;
    std::u16string tail_;
};

}  // namespace nimbrel::gui
