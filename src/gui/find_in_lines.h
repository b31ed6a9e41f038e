// Finding a text in the lines of a line store: case and whole-word options, forward and
// backward. ASCII lines are searched in their stored bytes without decoding them.
#pragma once

#include <QString>
#include <string>

#include "gui/line_store.h"

namespace nimbrel::gui {

class FindInLines {
public:
    FindInLines(const LineStore& store, const QString& needle, bool matchCase, bool wholeWord);

    // The column of the first match in `line` that starts at or after `from` (forward), or
    // the last match that ends at or before `from` (backward); -1 when there is none.
    int matchInLine(std::int64_t line, int from, bool forward) const;
    // The same for a line of a snapshot (any thread); `scratch` is room for its text. -1
    // also when the line cannot be read.
    int matchInLine(const LineSnapshot& snapshot, std::int64_t line, int from, bool forward,
                    std::string& scratch) const;
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
