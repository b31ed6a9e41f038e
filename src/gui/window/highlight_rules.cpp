#include "gui/window/highlight_rules.h"

#include "gui/logview/log_search.h"
#include "gui/logview/log_text_view.h"
#include "pipeline/settings_store.h"

namespace nimbrel::gui {

namespace {

const char16_t kRulesValue[] = u"Workspace/HighlightRules";

}  // namespace

// A rule is "on|off <TAB> #rrggbb <TAB> text|regex <TAB> case|nocase <TAB> pattern"; the
// pattern comes last so that it may hold tabs.
QString highlightRulesText(const std::vector<HighlightRule>& rules) {
    QStringList lines;
    for (const HighlightRule& r : rules) {
        lines << QStringLiteral("%1\t%2\t%3\t%4\t%5")
                     .arg(r.enabled ? "on" : "off", r.colour.name(), r.regex ? "regex" : "text",
                          r.matchCase ? "case" : "nocase", r.pattern);
    }
    return lines.join(u'\n');
}

std::vector<HighlightRule> highlightRulesFromText(const QString& text) {
    std::vector<HighlightRule> rules;
    for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split(u'\t');
        if (f.size() < 5) continue;
        HighlightRule r;
        r.enabled = f[0] == QLatin1String("on");
        r.colour = QColor(f[1]);
        r.regex = f[2] == QLatin1String("regex");
        r.matchCase = f[3] == QLatin1String("case");
        r.pattern = f.mid(4).join(u'\t');
        if (!r.colour.isValid() || r.pattern.isEmpty()) continue;
        rules.push_back(r);
    }
    return rules;
}

std::vector<HighlightRule> loadHighlightRules() {
    const auto stored = SettingsStore().storedValue(kRulesValue);
    return stored ? highlightRulesFromText(QString::fromStdU16String(*stored))
                  : std::vector<HighlightRule>{};
}

void saveHighlightRules(const std::vector<HighlightRule>& rules) {
    SettingsStore().storeText(kRulesValue, highlightRulesText(rules).toStdU16String());
}

ViewHighlighter::ViewHighlighter(LogTextView& view, const LogSearch& search, QObject* parent)
    : QObject(parent), view_(view), search_(search) {
    connect(&search, &SearchHits::hitsChanged, this, [this] { view_.viewport()->update(); });
    view_.setHighlighter(this);
}

ViewHighlighter::~ViewHighlighter() { view_.setHighlighter(nullptr); }

void ViewHighlighter::setRules(std::vector<HighlightRule> rules) {
    rules_ = std::move(rules);
    matchers_.clear();
    for (const HighlightRule& r : rules_) {
        if (!r.enabled) continue;
        // A rule that does not compile draws nothing; the dialog says why.
        if (auto m = makeLineMatcher({r.pattern, r.regex, r.matchCase, false}))
            matchers_.emplace_back(std::move(m), r.colour);
    }
    view_.viewport()->update();
}

void ViewHighlighter::highlights(std::int64_t line, std::vector<HighlightSpan>& out) const {
    const LineMatcher* current = search_.matcher();
    if (matchers_.empty() && !current) return;
    std::uint32_t length = 0;
    bool ascii = true;
    const char* bytes = view_.store().lineBytes(line, length, ascii);
    const std::string_view text(bytes, length);
    std::vector<ByteRange> ranges;
    auto add = [&](const LineMatcher& m, const QColor& colour) {
        ranges.clear();
        m.findAll(text, ranges);
        for (const auto& [start, end] : columnsOf(bytes, length, ascii, ranges))
            out.push_back({start, end, colour});
    };
    for (const auto& [m, colour] : matchers_) add(*m, colour);
    if (current) add(*current, kSearchHitBackground);
}

}  // namespace nimbrel::gui
