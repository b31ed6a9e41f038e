// The current search's hits as a LineSet, for the overview strip beside the scroll bar and
// for the filter's "only lines matching the search". While a search runs its hits grow
// many times a second; the set says it changed at most every quarter second then, and at
// once when the search is set, cleared or done, so that a filter over millions of lines
// is not worked out again at every step.
#pragma once

#include <QTimer>

#include "gui/logview/line_set.h"
#include "gui/logview/search_hits.h"

namespace nimbrel::gui {

class SearchLineSet : public LineSet {
    Q_OBJECT
public:
    explicit SearchLineSet(const SearchHits& hits, QObject* parent = nullptr);

    bool contains(std::int64_t line) const override;
    bool anyIn(std::int64_t first, std::int64_t last) const override;

private:
    void onHitsChanged();

    const SearchHits& hits_;
    QTimer throttle_;
    bool wasSearching_ = false;
};

}  // namespace nimbrel::gui
