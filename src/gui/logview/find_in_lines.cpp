#include "gui/logview/find_in_lines.h"

#include <algorithm>
#include <cstring>

namespace nimbrel::gui {

namespace {

char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
bool isWordByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

}  // namespace

FindInLines::FindInLines(const LineStore& store, const QString& needle, bool matchCase,
                         bool wholeWord)
    : store_(store), needle_(needle), matchCase_(matchCase), wholeWord_(wholeWord) {
    bool ascii = true;
    for (QChar c : needle) ascii = ascii && c.unicode() < 0x80;
    if (ascii) {
        asciiNeedle_ = needle.toStdString();
        if (!matchCase_) {
            for (char& c : asciiNeedle_) c = fold(c);
        }
    }
}

bool FindInLines::wordBoundsOk(const QString& line, int at) const {
    if (!wholeWord_) return true;
    const int end = at + static_cast<int>(needle_.size());
    return (at == 0 || !isWordChar(line[at - 1])) && (end >= line.size() || !isWordChar(line[end]));
}

bool FindInLines::wordBoundsOk(const char* bytes, int n, int at) const {
    if (!wholeWord_) return true;
    const int end = at + static_cast<int>(asciiNeedle_.size());
    return (at == 0 || !isWordByte(bytes[at - 1])) && (end >= n || !isWordByte(bytes[end]));
}

int FindInLines::matchAscii(const char* bytes, int n, int from, bool forward) const {
    const int m = static_cast<int>(asciiNeedle_.size());
    const char* needle = asciiNeedle_.data();
    auto matchesAt = [&](int at) {
        if (matchCase_) return std::memcmp(bytes + at, needle, static_cast<std::size_t>(m)) == 0;
        for (int k = 0; k < m; ++k) {
            if (fold(bytes[at + k]) != needle[k]) return false;
        }
        return true;
    };
    if (forward) {
        if (matchCase_) {
            // memchr finds the candidates of the first character quickly.
            for (int at = from; at + m <= n;) {
                const void* hit =
                    std::memchr(bytes + at, needle[0], static_cast<std::size_t>(n - m - at + 1));
                if (!hit) return -1;
                at = static_cast<int>(static_cast<const char*>(hit) - bytes);
                if (matchesAt(at) && wordBoundsOk(bytes, n, at)) return at;
                ++at;
            }
            return -1;
        }
        for (int at = from; at + m <= n; ++at) {
            if (fold(bytes[at]) == needle[0] && matchesAt(at) && wordBoundsOk(bytes, n, at))
                return at;
        }
        return -1;
    }
    const char first = needle[0];
    for (int at = std::min(from, n) - m; at >= 0; --at) {
        const char c = matchCase_ ? bytes[at] : fold(bytes[at]);
        if (c == first && matchesAt(at) && wordBoundsOk(bytes, n, at)) return at;
    }
    return -1;
}

int FindInLines::matchText(const QString& line, int from, bool forward) const {
    const Qt::CaseSensitivity cs = matchCase_ ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const int m = static_cast<int>(needle_.size());
    if (forward) {
        for (qsizetype at = line.indexOf(needle_, from, cs); at >= 0;
             at = line.indexOf(needle_, at + 1, cs)) {
            if (wordBoundsOk(line, static_cast<int>(at))) return static_cast<int>(at);
        }
        return -1;
    }
    int start = std::min(from, static_cast<int>(line.size())) - m;
    while (start >= 0) {
        const qsizetype at = line.lastIndexOf(needle_, start, cs);
        if (at < 0) return -1;
        if (wordBoundsOk(line, static_cast<int>(at))) return static_cast<int>(at);
        start = static_cast<int>(at) - 1;
    }
    return -1;
}

int FindInLines::matchInLine(std::int64_t line, int from, bool forward) const {
    if (needle_.isEmpty()) return -1;
    std::uint32_t n = 0;
    bool ascii = false;
    const char* bytes = store_.lineBytes(line, n, ascii);
    if (ascii) {
        // An ASCII line never holds a non-ASCII needle.
        if (asciiNeedle_.empty()) return -1;
        if (static_cast<int>(n) < static_cast<int>(asciiNeedle_.size())) return -1;
        return matchAscii(bytes, static_cast<int>(n), from, forward);
    }
    return matchText(store_.lineText(line), from, forward);
}

bool SnapshotWindow::utf8(std::int64_t line, bool forward, std::string_view& text) {
    if (line < first_ || line >= first_ + count_) {
        const std::int64_t total = snapshot_.lineCount();
        if (line < 0 || line >= total) return false;
        first_ = forward ? line : std::max<std::int64_t>(0, line - kLines + 1);
        count_ = std::min(kLines, total - first_);
        if (!snapshot_.readUtf8Lines(first_, count_, text_, starts_)) {
            count_ = 0;
            return false;
        }
    }
    const auto k = static_cast<std::size_t>(line - first_);
    text = std::string_view(text_).substr(starts_[k], starts_[k + 1] - starts_[k]);
    return true;
}

bool SnapshotWindow::text(std::int64_t line, bool forward, QString& out, bool* ascii) {
    std::string_view bytes;
    if (!utf8(line, forward, bytes)) return false;
    const bool plain = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) *ascii = plain;
    if (plain) {
        out = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
        return true;
    }
    // Columns count UTF-16 units: such a line is read back as the store holds it.
    std::u16string units;
    if (!snapshot_.appendUtf16(line, units)) return false;
    out = QString::fromStdU16String(units);
    return true;
}

int FindInLines::matchInLine(SnapshotWindow& window, std::int64_t line, int from,
                             bool forward) const {
    if (needle_.isEmpty()) return -1;
    std::string_view bytes;
    if (!window.utf8(line, forward, bytes)) return -1;
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        if (asciiNeedle_.empty()) return -1;
        if (bytes.size() < asciiNeedle_.size()) return -1;
        return matchAscii(bytes.data(), static_cast<int>(bytes.size()), from, forward);
    }
    QString text;
    if (!window.text(line, forward, text)) return -1;
    return matchText(text, from, forward);
}

}  // namespace nimbrel::gui
