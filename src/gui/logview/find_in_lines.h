// Finding a text in the lines of a line store: case and whole-word options, forward and
// backward. ASCII lines are searched in their stored bytes without decoding them.
#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "gui/logview/line_store.h"

namespace nimbrel::gui {

// Lines of a snapshot read a window of a few thousand at a time (one read for many
// stored lines), for a walk over them in either direction on a worker thread.
class SnapshotWindow {
public:
    explicit SnapshotWindow(const LineSnapshot& snapshot) : snapshot_(snapshot) {}
    // The line's UTF-8 text, valid until the next call; false when it cannot be read.
    // `forward` tells which way the walk goes, so the window is read ahead of it.
    bool utf8(std::int64_t line, bool forward, std::string_view& text);
    // The line as UTF-16 (`ascii`: its UTF-8 text held only ASCII).
    bool text(std::int64_t line, bool forward, QString& out, bool* ascii = nullptr);
    const LineSnapshot& snapshot() const { return snapshot_; }

private:
    static constexpr std::int64_t kLines = 4096;
    const LineSnapshot& snapshot_;
    std::int64_t first_ = 0;
    std::int64_t count_ = 0;
    std::string text_;
    std::vector<std::uint32_t> starts_;
};

class FindInLines {
public:
    FindInLines(const LineStore& store, const QString& needle, bool matchCase, bool wholeWord);

    // The column of the first match in `line` that starts at or after `from` (forward), or
    // the last match that ends at or before `from` (backward); -1 when there is none.
    int matchInLine(std::int64_t line, int from, bool forward) const;
    // The same for a line of a snapshot (any thread), read through `window`. -1 also when
    // the line cannot be read.
    int matchInLine(class SnapshotWindow& window, std::int64_t line, int from, bool forward) const;
    int length() const { return static_cast<int>(needle_.size()); }
    bool valid() const { return !needle_.isEmpty(); }

private:
    int matchAscii(const char* bytes, int n, int from, bool forward) const;
    int matchText(const QString& line, int from, bool forward) const;
    bool wordBoundsOk(const QString& line, int at) const;
    bool wordBoundsOk(const char* bytes, int n, int at) const;

    const LineStore& store_;
    QString needle_;
    std::string asciiNeedle_;  // folded to lower case unless matching case; empty if not ASCII
    bool matchCase_;
    bool wholeWord_;
};

}  // namespace nimbrel::gui
