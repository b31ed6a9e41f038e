// The current search over the log view's text: the query, its hits as they are found on
// the worker threads, and new lines searched as they arrive. An edit, a clear or a
// replaced text searches everything again. GUI thread only.
#pragma once

#include <QTimer>
#include <memory>

#include "gui/logview/line_matcher.h"
#include "gui/logview/search_hits.h"
#include "gui/logview/store_search.h"

namespace nimbrel::gui {

class LogTextView;

class LogSearch : public SearchHits {
    Q_OBJECT
public:
    explicit LogSearch(LogTextView& view, QObject* parent = nullptr);
    ~LogSearch() override;

    // Starts searching for `query` (the running search is cancelled). An empty text stops
    // searching. False, with the reason in `error`, when the query cannot be matched.
    bool setQuery(const SearchQuery& query, QString* error = nullptr);
    const SearchQuery& query() const { return query_; }
    // The engine for regular expressions (for comparisons; the default otherwise).
    void setEngine(MatchEngine engine) { engine_ = engine; }

    bool searching() const override { return matcher_ != nullptr; }
    bool complete() const override { return searching() && !search_.running() && !more_; }
    std::shared_ptr<const HitSet> hits() const override { return published_; }
    // The current query's matcher, for highlighting and selecting matches; null when none.
    const LineMatcher* matcher() const { return matcher_.get(); }

    // The UTF-16 columns [start, end) of every match in one line of the view.
    std::vector<std::pair<int, int>> matchColumns(std::int64_t line) const;

private:
    void onTextChanged();
    void startFrom(std::int64_t line);
    void poll();
    void publish();

    LogTextView& view_;
    StoreSearch search_;
    MatchEngine engine_ = defaultMatchEngine();
    SearchQuery query_;
    std::unique_ptr<LineMatcher> matcher_;
    HitSet building_;
    std::shared_ptr<const HitSet> published_;
    quint64 generation_ = 0;
    std::int64_t searchedTo_ = 0;  // lines before it are searched once the search ends
    bool more_ = false;            // lines arrived while a search ran
    QTimer poll_;
};

// The UTF-16 columns of a line's byte ranges (`bytes` its UTF-8 text).
std::vector<std::pair<int, int>> columnsOf(const char* bytes, std::uint32_t length, bool ascii,
                                           const std::vector<ByteRange>& ranges);

}  // namespace nimbrel::gui
