#include "gui/logview/search_line_set.h"

namespace nimbrel::gui {

namespace {

constexpr int kChangedEveryMs = 250;

}  // namespace

SearchLineSet::SearchLineSet(const SearchHits& hits, QObject* parent)
    : LineSet(parent), hits_(hits) {
    throttle_.setSingleShot(true);
    throttle_.setInterval(kChangedEveryMs);
    connect(&throttle_, &QTimer::timeout, this, &LineSet::changed);
    connect(&hits_, &SearchHits::hitsChanged, this, &SearchLineSet::onHitsChanged);
}

bool SearchLineSet::contains(std::int64_t line) const { return hits_.matches(line); }

bool SearchLineSet::anyIn(std::int64_t first, std::int64_t last) const {
    const std::int64_t next = hits_.hits()->next(first);
    return next >= 0 && next < last;
}

void SearchLineSet::onHitsChanged() {
    const bool searching = hits_.searching();
    if (hits_.complete() || searching != wasSearching_) {
        throttle_.stop();
        wasSearching_ = searching;
        emit changed();
    } else if (!throttle_.isActive()) {
        throttle_.start();
    }
}

}  // namespace nimbrel::gui
