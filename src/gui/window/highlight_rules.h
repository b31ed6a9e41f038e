// The user's highlight rules (a text or a regular expression, a colour, on or off), kept
// in the settings, and the highlighter that draws them and the current search's hits in
// the log view.
#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

#include "gui/logview/line_highlighter.h"
#include "gui/logview/line_matcher.h"

namespace nimbrel::gui {

class LogSearch;
class LogTextView;

struct HighlightRule {
    QString pattern;
    bool regex = false;
    bool matchCase = false;
    QColor colour;
    bool enabled = true;
    friend bool operator==(const HighlightRule&, const HighlightRule&) = default;
};

// One rule a line in the settings' "Workspace/HighlightRules" value.
std::vector<HighlightRule> loadHighlightRules();
void saveHighlightRules(const std::vector<HighlightRule>& rules);
QString highlightRulesText(const std::vector<HighlightRule>& rules);
std::vector<HighlightRule> highlightRulesFromText(const QString& text);

// Background of the current search's hits.
inline const QColor kSearchHitBackground(150, 120, 0);

class ViewHighlighter : public QObject, public LineHighlighter {
    Q_OBJECT
public:
    // Draws into `view` (which must outlive it) the rules and the hits of `search`.
    ViewHighlighter(LogTextView& view, const LogSearch& search, QObject* parent = nullptr);
    ~ViewHighlighter() override;

    void setRules(std::vector<HighlightRule> rules);
    const std::vector<HighlightRule>& rules() const { return rules_; }
    void highlights(std::int64_t line, std::vector<HighlightSpan>& out) const override;

private:
    LogTextView& view_;
    const LogSearch& search_;
    std::vector<HighlightRule> rules_;
    std::vector<std::pair<std::unique_ptr<LineMatcher>, QColor>> matchers_;
};

}  // namespace nimbrel::gui
