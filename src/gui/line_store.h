// The text of the log view: lines of coloured text, appended at the end by the thousands
// per second and edited anywhere by the user. The text lies as UTF-8 in large chunks that
// are never moved; a per-line index (16 bytes a line) says where each line lies and what
// colour it has. A line with more than one colour keeps its colour runs beside the index.
//
// Positions are (line, column) with the column counted in UTF-16 units. The store always
// holds at least one line: an empty text is one empty line, and a text that ends with a
// line break ends with an empty line.
#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <vector>

#include "gui/line_index.h"

namespace nimbrel::gui {

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

// A piece of text with its colours, as cut out of the store and put back by undo.
struct TextFragment {
    QString text;                 // lines joined with '\n'
    std::vector<ColourRun> runs;  // over `text`, line breaks included
};

class LineStore {
public:
    LineStore();
    ~LineStore();
    LineStore(const LineStore&) = delete;
    LineStore& operator=(const LineStore&) = delete;

    // Appends at the end. "\n", "\r\n" and a lone "\r" each end a line; a "\r" that ends
    // one append and a "\n" that starts the next end one line together.
    void append(QStringView text, Colour colour);
    void clear();

    std::int64_t lineCount() const { return index_.size(); }
    bool isEmpty() const { return index_.size() == 1 && index_[0].bytes == 0; }
    QString lineText(std::int64_t line) const;
    int lineLength(std::int64_t line) const;
    std::vector<ColourRun> lineRuns(std::int64_t line) const;
    // Bytes of the line's UTF-8 text and whether it is all ASCII (fast paths).
    const char* lineBytes(std::int64_t line, std::uint32_t& bytes, bool& ascii) const;
    TextPos endPos() const;

    // Text between two positions (from <= to), lines joined with '\n'.
    QString text(TextPos from, TextPos to) const;
    TextFragment fragment(TextPos from, TextPos to) const;
    // Replaces [from, to) by `text` in one colour, or by a fragment with its own colours;
    // returns the position after the inserted text.
    TextPos replace(TextPos from, TextPos to, QStringView text, Colour colour);
    TextPos replace(TextPos from, TextPos to, const TextFragment& fragment);

    // Clamps a position to the text.
    TextPos clamp(TextPos p) const;

    // Longest line seen so far, in UTF-16 units (tabs count as one); for the scroll range.
    int longestLine() const { return longestLine_; }
    // UTF-8 bytes of the text that the lines hold (line breaks counted as one byte).
    std::uint64_t textBytes() const { return textBytes_; }
    // Memory held by the store: chunks, index and run sets.
    std::uint64_t memoryBytes() const;

private:
    struct Chunk {
        std::unique_ptr<char[]> data;
        std::uint32_t used = 0;
        std::uint32_t capacity = 0;
    };

    // Reserves `n` bytes of chunk space; returns the chunk and offset.
    char* reserve(std::uint32_t n, std::uint32_t& chunk, std::uint32_t& offset);
    // Extends the last line by UTF-16 text in `colour`.
    void extendLastLine(const char16_t* text, std::size_t n, Colour colour);
    // Builds one entry from a UTF-16 line and its runs (over the line only).
    LineEntry makeEntry(QStringView line, const std::vector<ColourRun>& runs);
    std::uint32_t storeRuns(std::vector<ColourRun> runs);
    void releaseRuns(const LineEntry& e);
    void forget(const LineEntry& e);
    Colour firstColour(const LineEntry& e) const;

    std::vector<Chunk> chunks_;
    LineIndex index_;
    std::vector<std::vector<ColourRun>> runSets_;
    std::vector<std::uint32_t> freeRunSets_;
    std::vector<char> scratch_;
    bool pendingCr_ = false;
    int longestLine_ = 0;
    std::uint64_t textBytes_ = 0;
};

}  // namespace nimbrel::gui
