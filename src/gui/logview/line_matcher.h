// Matching one line of UTF-8 text against what the user searches for: a literal text or
// a regular expression, with or without case, whole words or anywhere. The engines sit
// behind this small interface so that the search can change engine without changing
// anything else. A matcher is used by one thread at a time; each worker makes its own.
#pragma once

#include <QString>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nimbrel::gui {

struct SearchQuery {
    QString text;
    bool regex = false;
    bool matchCase = false;
    bool wholeWord = false;
    friend bool operator==(const SearchQuery&, const SearchQuery&) = default;
};

// The regular-expression engines. Literal texts are matched by our own code whatever the
// engine.
enum class MatchEngine {
    Re2,        // RE2: linear time on UTF-8, no conversion of the line
    Pcre2,      // QRegularExpression: each candidate line converted to UTF-16
    Hyperscan,  // Hyperscan (SIMD automata), one scan a line
};
// The engine the window uses: the fastest on our lines that the build and the processor
// have (see bench/search_bench): Hyperscan, then RE2, then PCRE2.
MatchEngine defaultMatchEngine();

// A byte range [start, end) of a line.
using ByteRange = std::pair<int, int>;

class LineMatcher {
public:
    virtual ~LineMatcher() = default;
    virtual bool matches(std::string_view line) const = 0;
    // Every match in the line, left to right, not overlapping; empty matches left out.
    virtual void findAll(std::string_view line, std::vector<ByteRange>& out) const = 0;

    // A text that every matching line holds, for a fast scan of many lines at once before
    // any line is matched; empty when none is known. In lower case when `literalCaseless`
    // (ASCII only: lines are folded to lower case before the scan).
    const std::string& literal() const { return literal_; }
    bool literalCaseless() const { return literalCaseless_; }
    void setLiteral(std::string literal, bool caseless) {
        literal_ = std::move(literal);
        literalCaseless_ = caseless;
    }

private:
    std::string literal_;
    bool literalCaseless_ = false;
};

// Null with a message in `error` when the query cannot be matched (an empty text, a
// regular expression that does not compile). An expression that Hyperscan does not take
// goes to RE2, and one that RE2 does not take (look-arounds, back-references) to PCRE2;
// so does any that the build has no engine for.
std::unique_ptr<LineMatcher> makeLineMatcher(const SearchQuery& query, QString* error = nullptr,
                                             MatchEngine engine = defaultMatchEngine());

// Word characters for "whole word": ASCII letters, digits and '_', and every byte of a
// character beyond ASCII.
inline bool isWordByte(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
           c >= 0x80;
}

// The longest text that every match of the regular expression holds, found without
// running it: a run of plain characters outside groups, classes and optional parts.
// Empty when the pattern has alternatives at its top level or inline options.
std::string requiredLiteral(std::string_view pattern);

}  // namespace nimbrel::gui
