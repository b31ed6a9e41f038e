#include "gui/logview/line_matcher.h"

#include <QRegularExpression>
#include <algorithm>
#include <cstring>

#ifdef NIMBREL_HAVE_RE2
#include <re2/re2.h>
#endif
#ifdef NIMBREL_HAVE_HYPERSCAN
#include <hs.h>
#endif

namespace nimbrel::gui {

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

bool isAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool wordBoundsOk(std::string_view line, std::size_t at, std::size_t length) {
    const auto* p = reinterpret_cast<const unsigned char*>(line.data());
    return (at == 0 || !isWordByte(p[at - 1])) &&
           (at + length >= line.size() || !isWordByte(p[at + length]));
}

// A literal text: our own scan, which needs no engine.
class LiteralMatcher final : public LineMatcher {
public:
    LiteralMatcher(std::string needle, bool caseless, bool wholeWord)
        : needle_(std::move(needle)), caseless_(caseless), wholeWord_(wholeWord) {
        if (caseless_) std::transform(needle_.begin(), needle_.end(), needle_.begin(), lower);
        setLiteral(needle_, caseless_);
    }

    bool matches(std::string_view line) const override { return find(line, 0) != npos; }

    void findAll(std::string_view line, std::vector<ByteRange>& out) const override {
        for (std::size_t at = find(line, 0); at != npos; at = find(line, at + needle_.size()))
            out.emplace_back(static_cast<int>(at), static_cast<int>(at + needle_.size()));
    }

private:
    static constexpr std::size_t npos = std::string_view::npos;

    std::size_t find(std::string_view line, std::size_t from) const {
        const std::size_t m = needle_.size();
        while (from + m <= line.size()) {
            std::size_t at;
            if (!caseless_) {
                at = line.find(needle_, from);
            } else {
                at = npos;
                for (std::size_t i = from; i + m <= line.size(); ++i) {
                    std::size_t k = 0;
                    while (k < m && lower(line[i + k]) == needle_[k]) ++k;
                    if (k == m) {
                        at = i;
                        break;
                    }
                }
            }
            if (at == npos) return npos;
            if (!wholeWord_ || wordBoundsOk(line, at, m)) return at;
            from = at + 1;
        }
        return npos;
    }

    std::string needle_;
    bool caseless_;
    bool wholeWord_;
};

#ifdef NIMBREL_HAVE_RE2
class Re2Matcher final : public LineMatcher {
public:
    Re2Matcher(const std::string& pattern, bool matchCase) : re_(pattern, options(matchCase)) {}
    bool ok() const { return re_.ok(); }
    std::string error() const { return re_.error(); }

    bool matches(std::string_view line) const override {
        return RE2::PartialMatch(re2::StringPiece(line.data(), line.size()), re_);
    }

    void findAll(std::string_view line, std::vector<ByteRange>& out) const override {
        const re2::StringPiece text(line.data(), line.size());
        std::size_t at = 0;
        re2::StringPiece m;
        while (at <= line.size() && re_.Match(text, at, line.size(), RE2::UNANCHORED, &m, 1)) {
            const auto start = static_cast<std::size_t>(m.data() - line.data());
            const std::size_t end = start + m.size();
            if (end > start) out.emplace_back(static_cast<int>(start), static_cast<int>(end));
            at = end > start ? end : start + 1;
        }
    }

private:
    static RE2::Options options(bool matchCase) {
        RE2::Options o;
        o.set_case_sensitive(matchCase);
        o.set_log_errors(false);
        return o;
    }
    RE2 re_;
};
#endif

#ifdef NIMBREL_HAVE_HYPERSCAN
// Hyperscan, each line scanned on its own: one database that stops at the first match,
// one that reports where matches start for findAll.
class HyperscanMatcher final : public LineMatcher {
public:
    // `spans` finds the matches' places when Hyperscan cannot report where matches start.
    HyperscanMatcher(const std::string& pattern, bool matchCase, std::unique_ptr<LineMatcher> spans)
        : spansFallback_(std::move(spans)) {
        const unsigned flags = HS_FLAG_UTF8 | (matchCase ? 0u : HS_FLAG_CASELESS);
        hs_compile_error_t* error = nullptr;
        if (hs_compile(pattern.c_str(), flags | HS_FLAG_SINGLEMATCH | HS_FLAG_ALLOWEMPTY,
                       HS_MODE_BLOCK, nullptr, &any_, &error) != HS_SUCCESS) {
            error_ = error ? error->message : "Hyperscan cannot compile the expression";
            hs_free_compile_error(error);
            return;
        }
        if (hs_compile(pattern.c_str(), flags | HS_FLAG_SOM_LEFTMOST, HS_MODE_BLOCK, nullptr,
                       &spans_, &error) != HS_SUCCESS) {
            hs_free_compile_error(error);
            spans_ = nullptr;
        }
        hs_alloc_scratch(any_, &scratch_);
        if (spans_) hs_alloc_scratch(spans_, &scratch_);
    }
    ~HyperscanMatcher() override {
        hs_free_scratch(scratch_);
        hs_free_database(any_);
        hs_free_database(spans_);
    }
    bool ok() const { return any_ && scratch_; }
    const std::string& error() const { return error_; }

    bool matches(std::string_view line) const override {
        bool found = false;
        hs_scan(
            any_, line.data(), static_cast<unsigned>(line.size()), 0, scratch_,
            [](unsigned, unsigned long long, unsigned long long, unsigned, void* ctx) {
                *static_cast<bool*>(ctx) = true;
                return 1;  // stop
            },
            &found);
        return found;
    }

    void findAll(std::string_view line, std::vector<ByteRange>& out) const override {
        if (!spans_) {
            if (spansFallback_) spansFallback_->findAll(line, out);
            return;
        }
        // Every end is reported with its leftmost start; keep the leftmost-longest ones
        // that do not overlap, as the other engines do.
        std::vector<ByteRange> all;
        hs_scan(
            spans_, line.data(), static_cast<unsigned>(line.size()), 0, scratch_,
            [](unsigned, unsigned long long from, unsigned long long to, unsigned, void* ctx) {
                static_cast<std::vector<ByteRange>*>(ctx)->emplace_back(int(from), int(to));
                return 0;
            },
            &all);
        std::sort(all.begin(), all.end(), [](const ByteRange& a, const ByteRange& b) {
            return a.first != b.first ? a.first < b.first : a.second > b.second;
        });
        int end = -1;
        for (const ByteRange& r : all) {
            if (r.first >= end && r.second > r.first) {
                out.push_back(r);
                end = r.second;
            }
        }
    }

private:
    hs_database_t* any_ = nullptr;
    hs_database_t* spans_ = nullptr;
    hs_scratch_t* scratch_ = nullptr;
    std::string error_;
    std::unique_ptr<LineMatcher> spansFallback_;
};
#endif

// QRegularExpression (PCRE2) over the line converted to UTF-16.
class Pcre2Matcher final : public LineMatcher {
public:
    Pcre2Matcher(const QString& pattern, bool matchCase)
        : re_(pattern, matchCase ? QRegularExpression::NoPatternOption
                                 : QRegularExpression::CaseInsensitiveOption) {
        re_.optimize();
    }
    bool ok() const { return re_.isValid(); }
    QString error() const { return re_.errorString(); }

    bool matches(std::string_view line) const override {
        return re_.match(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())))
            .hasMatch();
    }

    void findAll(std::string_view line, std::vector<ByteRange>& out) const override {
        const QString text = QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
        const bool ascii = isAscii(line);
        auto bytesOf = [&](qsizetype units) {
            return ascii ? static_cast<int>(units)
                         : static_cast<int>(QStringView(text).left(units).toUtf8().size());
        };
        auto it = re_.globalMatch(text);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            if (m.capturedLength() > 0)
                out.emplace_back(bytesOf(m.capturedStart()), bytesOf(m.capturedEnd()));
        }
    }

private:
    QRegularExpression re_;
};

// A literal whose case an engine folds: its matches are kept only where they stand as
// whole words by our own rule (the engines' \b knows ASCII words only).
class WholeWordFilter final : public LineMatcher {
public:
    explicit WholeWordFilter(std::unique_ptr<LineMatcher> inner) : inner_(std::move(inner)) {}
    bool matches(std::string_view line) const override {
        std::vector<ByteRange> ranges;
        findAll(line, ranges);
        return !ranges.empty();
    }
    void findAll(std::string_view line, std::vector<ByteRange>& out) const override {
        std::vector<ByteRange> all;
        inner_->findAll(line, all);
        for (const ByteRange& r : all) {
            if (wordBoundsOk(line, static_cast<std::size_t>(r.first),
                             static_cast<std::size_t>(r.second - r.first)))
                out.push_back(r);
        }
    }

private:
    std::unique_ptr<LineMatcher> inner_;
};

QString wholeWordPattern(const QString& pattern) {
    return QStringLiteral("\\b(?:") + pattern + QStringLiteral(")\\b");
}

}  // namespace

MatchEngine defaultMatchEngine() {
#ifdef NIMBREL_HAVE_HYPERSCAN
    // Hyperscan needs SSSE3.
    static const bool hyperscan = hs_valid_platform() == HS_SUCCESS;
    if (hyperscan) return MatchEngine::Hyperscan;
#endif
#ifdef NIMBREL_HAVE_RE2
    return MatchEngine::Re2;
#else
    return MatchEngine::Pcre2;
#endif
}

std::unique_ptr<LineMatcher> makeLineMatcher(const SearchQuery& query, QString* error,
                                             MatchEngine engine) {
    QString unused;
    QString& message = error ? *error : unused;
    message.clear();
    if (query.text.isEmpty()) {
        message = QStringLiteral("Nothing to search for");
        return nullptr;
    }
    const std::string text = query.text.toStdString();
    // A literal folds ASCII case itself; other letters need an engine's case folding.
    if (!query.regex && (query.matchCase || isAscii(text)))
        return std::make_unique<LiteralMatcher>(text, !query.matchCase, query.wholeWord);

    if (!query.regex && query.wholeWord) {
        SearchQuery anywhere = query;
        anywhere.wholeWord = false;
        auto inner = makeLineMatcher(anywhere, error, engine);
        if (!inner) return nullptr;
        auto filtered = std::make_unique<WholeWordFilter>(std::move(inner));
        filtered->setLiteral({}, true);  // the text holds letters beyond ASCII: no fast scan
        return filtered;
    }
    QString pattern = query.regex ? query.text : QRegularExpression::escape(query.text);
    if (query.wholeWord) pattern = wholeWordPattern(pattern);
    std::string literal = query.regex ? requiredLiteral(text) : text;
    if (!query.matchCase) {
        if (!isAscii(literal)) literal.clear();
        std::transform(literal.begin(), literal.end(), literal.begin(), lower);
    }
    std::unique_ptr<LineMatcher> matcher;
    switch (engine) {
    case MatchEngine::Re2: {
#ifdef NIMBREL_HAVE_RE2
        auto re2 = std::make_unique<Re2Matcher>(pattern.toStdString(), query.matchCase);
        if (re2->ok()) {
            matcher = std::move(re2);
            break;
        }
#endif
        return makeLineMatcher(query, error, MatchEngine::Pcre2);
    }
    case MatchEngine::Hyperscan: {
#ifdef NIMBREL_HAVE_HYPERSCAN
        auto hs =
            std::make_unique<HyperscanMatcher>(pattern.toStdString(), query.matchCase,
                                               makeLineMatcher(query, nullptr, MatchEngine::Re2));
        if (hs->ok()) {
            matcher = std::move(hs);
            break;
        }
#endif
        return makeLineMatcher(query, error, MatchEngine::Re2);
    }
    case MatchEngine::Pcre2: {
        auto pcre = std::make_unique<Pcre2Matcher>(pattern, query.matchCase);
        if (!pcre->ok()) {
            message = pcre->error();
            return nullptr;
        }
        matcher = std::move(pcre);
        break;
    }
    }
    matcher->setLiteral(std::move(literal), !query.matchCase);
    return matcher;
}

}  // namespace nimbrel::gui
