#include "gui/logview/shown_lines.h"

#include <QElapsedTimer>
#include <algorithm>
#include <memory>

namespace nimbrel::gui {
namespace {

constexpr qint64 kSlice = 16384;  // lines classified between clock checks
// Appended lines up to this many are classified at once; more go to the timer.
constexpr qint64 kAtOnce = 20000;

}  // namespace

ShownLines::ShownLines(const LineStore& store, QObject* parent) : QObject(parent), store_(store) {
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, [this] { catchUp(12); });
}

void ShownLines::setFilter(const LineFilter& filter) {
    if (filter == filter_) return;
    filter_ = filter;
    restart();
}

void ShownLines::setSearchSet(const LineSet* set) {
    if (set == search_) return;
    disconnect(searchChanged_);
    disconnect(searchGone_);
    search_ = set;
    if (set) {
        searchChanged_ = connect(set, &LineSet::changed, this, [this] {
            if (filter_.onlySearch) restart();
        });
        searchGone_ = connect(set, &QObject::destroyed, this, [this] {
            search_ = nullptr;
            restart();
        });
    }
    if (filter_.onlySearch) restart();
}

void ShownLines::restart() {
    map_.clear();
    revealed_ = -1;
    LineFilter effective = filter_;
    if (!search_) effective.onlySearch = false;
    active_ = effective.active();
    timer_.stop();
    if (active_) catchUp(30);
    emit changed();
}

void ShownLines::classify(qint64 first, qint64 count, std::vector<bool>& out) {
    store_.lineLooks(first, count, looks_);
    out.resize(looks_.size());
    const bool search = filter_.onlySearch && search_;
    for (std::size_t i = 0; i < looks_.size(); ++i) {
        bool shown = filter_.shows(lineTagOf(looks_[i].colour, looks_[i].indented));
        if (shown && search) shown = search_->contains(first + static_cast<qint64>(i));
        out[i] = shown;
    }
}

void ShownLines::catchUp(int budgetMs) {
    if (!active_) return timer_.stop();
    // The last line is still open for appends: it is classified once it is complete.
    const qint64 complete = store_.lineCount() - 1;
    QElapsedTimer clock;
    clock.start();
    bool grew = false;
    while (map_.size() < complete) {
        const qint64 n = std::min(kSlice, complete - map_.size());
        classify(map_.size(), n, bits_);
        for (const bool b : bits_) map_.append(b);
        grew = true;
        if (clock.elapsed() >= budgetMs) break;
    }
    if (map_.size() < complete) {
        if (!timer_.isActive()) timer_.start();
    } else {
        timer_.stop();
    }
    if (grew) emit changed();
}

void ShownLines::appended() {
    if (!active_) return;
    const qint64 behind = store_.lineCount() - 1 - map_.size();
    if (behind <= 0) return;
    if (behind <= kAtOnce && !timer_.isActive()) {
        catchUp(1000);
    } else if (!timer_.isActive()) {
        timer_.start();
    }
}

void ShownLines::replaced(TextPos from, TextPos to, TextPos end) {
    // The revealed line follows the lines around it; an edit that takes it ends the reveal.
    if (revealed_ >= 0) {
        if (revealed_ > to.line) {
            revealed_ += end.line - to.line;
        } else if (revealed_ >= from.line && !(from.line == to.line && end.line == to.line)) {
            revealed_ = -1;
        }
    }
    if (!active_ || from.line >= map_.size()) return;
    if (to.line >= map_.size()) {
        map_.truncate(from.line);
        appended();
        emit changed();
        return;
    }
    const qint64 written = end.line - from.line + 1;
    classify(from.line, written, bits_);
    map_.splice(from.line, to.line - from.line + 1, bits_);
    if (revealed_ >= 0 && revealed_ < map_.size() && map_.shown(revealed_)) {
        revealed_ = -1;
    }
    emit changed();
}

void ShownLines::rewritten(qint64 first, qint64 count) {
    if (!active_ || first >= map_.size()) return;
    count = std::min(count, map_.size() - first);
    classify(first, count, bits_);
    map_.splice(first, count, bits_);
    emit changed();
}

void ShownLines::cleared() {
    map_.clear();
    revealed_ = -1;
    timer_.stop();
    emit changed();
}

void ShownLines::reveal(qint64 line) {
    const qint64 before = revealed_;
    revealed_ = -1;
    if (active_ && line >= 0 && !isShown(line)) revealed_ = line;
    if (revealed_ != before) emit changed();
}

qint64 ShownLines::baseRank(qint64 line) const {
    return line < map_.size() ? map_.rank(line) : map_.shownCount();
}

bool ShownLines::isShown(qint64 line) const {
    if (!active_) return true;
    if (line == revealed_ || line >= store_.lineCount() - 1) return true;
    return line < map_.size() && map_.shown(line);
}

qint64 ShownLines::rowCount() const {
    if (!active_) return store_.lineCount();
    return map_.shownCount() + 1 + (revealed_ >= 0 ? 1 : 0);
}

qint64 ShownLines::rowOfLine(qint64 line) const {
    if (!active_) return line;
    const qint64 last = store_.lineCount() - 1;
    if (line >= last) return rowCount() - 1;
    qint64 row = baseRank(line);
    if (revealed_ >= 0 && revealed_ < line) ++row;
    return row;
}

qint64 ShownLines::lineOfRow(qint64 row) const {
    if (!active_) return row;
    if (revealed_ >= 0) {
        const qint64 at = baseRank(revealed_);
        if (row == at) return revealed_;
        if (row > at) --row;
    }
    if (row >= 0 && row < map_.shownCount()) return map_.select(row);
    return store_.lineCount() - 1;
}

qint64 ShownLines::shownLines() const {
    const qint64 last = store_.lineCount() - 1;
    const qint64 lastCounts = store_.lineLength(last) > 0 ? 1 : 0;
    if (!active_) return last + lastCounts;
    return map_.shownCount() + lastCounts + (revealed_ >= 0 ? 1 : 0);
}

std::function<bool(std::int64_t)> ShownLines::keeper() const {
    if (!active_) return {};
    auto map = std::make_shared<const ShownLineMap>(map_);
    const qint64 revealed = revealed_;
    const qint64 last = store_.lineCount() - 1;
    return [map, revealed, last](std::int64_t line) {
        return line == revealed || line >= last || (line < map->size() && map->shown(line));
    };
}

int ShownLines::percent() const {
    const qint64 complete = store_.lineCount() - 1;
    if (!active_ || complete <= 0) return 100;
    return static_cast<int>(std::min<qint64>(100, map_.size() * 100 / complete));
}

bool ShownLines::complete() const { return !active_ || map_.size() >= store_.lineCount() - 1; }

}  // namespace nimbrel::gui
