#include "gui/logview/colour_line_summary.h"

#include <QElapsedTimer>
#include <algorithm>

namespace nimbrel::gui {
namespace {

constexpr std::int64_t kSlice = 16384;  // lines read from the index between clock checks

}  // namespace

ColourLineSummary::ColourLineSummary(const LineStore& store, Colour colour, QObject* parent)
    : LineSet(parent), store_(store), colour_(colour & 0xFFFFFF) {
    timer_.setInterval(40);
    connect(&timer_, &QTimer::timeout, this, [this] { scanSome(8); });
    timer_.start();
}

bool ColourLineSummary::contains(std::int64_t line) const {
    std::vector<Colour> one;
    store_.lineColours(line, 1, one);
    return !one.empty() && (one.front() & 0xFFFFFF) == colour_;
}

bool ColourLineSummary::anyIn(std::int64_t first, std::int64_t last) const {
    if (last <= first) return false;
    const std::int64_t g0 = std::max<std::int64_t>(first, 0) / kGroupLines;
    const std::int64_t g1 = std::min<std::int64_t>(
        (last - 1) / kGroupLines, static_cast<std::int64_t>(groups_.size()) * 64 - 1);
    for (std::int64_t g = g0; g <= g1;) {
        const std::uint64_t word = groups_[static_cast<std::size_t>(g / 64)] >> (g % 64);
        if (word == 0) {
            g = (g / 64 + 1) * 64;
            continue;
        }
        const std::int64_t hit = g + __builtin_ctzll(word);
        if (hit > g1) return false;
        // A short range (a pixel row of a short text) is answered line by line.
        if (last - first > kGroupLines) return true;
        std::vector<Colour> colours;
        store_.lineColours(first, last - first, colours);
        return std::any_of(colours.begin(), colours.end(),
                           [this](Colour c) { return (c & 0xFFFFFF) == colour_; });
    }
    return false;
}

void ColourLineSummary::invalidateFrom(std::int64_t line) {
    const std::int64_t group = std::max<std::int64_t>(line, 0) / kGroupLines;
    if (scanned_ <= group * kGroupLines) return;
    scanned_ = group * kGroupLines;
    // The groups from there on are built again.
    const auto word = static_cast<std::size_t>(group / 64);
    if (word < groups_.size()) {
        groups_[word] &= (std::uint64_t{1} << (group % 64)) - 1;
        std::fill(groups_.begin() + static_cast<std::ptrdiff_t>(word) + 1, groups_.end(), 0);
    }
    emit changed();
}

void ColourLineSummary::reset() {
    const bool had = scanned_ > 0;
    groups_.clear();
    scanned_ = 0;
    if (had) emit changed();
}

void ColourLineSummary::scanSome(int budgetMs) {
    // The last line is still open for appends: it is looked at once it is complete.
    const std::int64_t complete = store_.lineCount() - 1;
    if (scanned_ >= complete) return;
    QElapsedTimer clock;
    clock.start();
    bool found = false;
    while (scanned_ < complete && clock.elapsed() < budgetMs) {
        const std::int64_t n = std::min(kSlice, complete - scanned_);
        store_.lineColours(scanned_, n, colours_);
        const std::size_t needWords =
            static_cast<std::size_t>((scanned_ + n) / kGroupLines / 64 + 1);
        if (groups_.size() < needWords) groups_.resize(needWords, 0);
        for (std::size_t k = 0; k < colours_.size(); ++k) {
            if ((colours_[k] & 0xFFFFFF) != colour_) continue;
            const std::int64_t g = (scanned_ + static_cast<std::int64_t>(k)) / kGroupLines;
            groups_[static_cast<std::size_t>(g / 64)] |= std::uint64_t{1} << (g % 64);
            found = true;
        }
        scanned_ += n;
    }
    if (found) emit changed();
}

}  // namespace nimbrel::gui
