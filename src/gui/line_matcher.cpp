#include "gui/line_matcher.h"

#include <QRegularExpression>
#include <algorithm>
#include <cstring>

#ifdef NIMBREL_HAVE_RE2
#include <re2/re2.h>
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
