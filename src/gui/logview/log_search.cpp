#include "gui/logview/log_search.h"

#include "gui/logview/log_text_view.h"

namespace nimbrel::gui {

namespace {

// How often finished pieces are gathered while a search runs: the hit count and the list
// grow a few times a second, each step a small amount of work on the GUI thread.
constexpr int kPollMs = 30;

}  // namespace

std::vector<std::pair<int, int>> columnsOf(const char* bytes, std::uint32_t length, bool ascii,
                                           const std::vector<ByteRange>& ranges) {
    std::vector<std::pair<int, int>> out;
    out.reserve(ranges.size());
    if (ascii) {
        for (const ByteRange& r : ranges) out.emplace_back(r.first, r.second);
        return out;
    }
    // Count UTF-16 units up to each byte offset: continuation bytes add none, four-byte
    // sequences add two.
    int units = 0;
    std::uint32_t at = 0;
    auto unitsTo = [&](int offset) {
        for (; at < static_cast<std::uint32_t>(offset) && at < length; ++at) {
            const auto c = static_cast<unsigned char>(bytes[at]);
            if ((c & 0xC0) != 0x80) units += c >= 0xF0 ? 2 : 1;
        }
        return units;
    };
    for (const ByteRange& r : ranges) {
        const int start = unitsTo(r.first);
        out.emplace_back(start, unitsTo(r.second));
    }
    return out;
}

LogSearch::LogSearch(LogTextView& view, QObject* parent)
    : SearchHits(parent), view_(view), published_(std::make_shared<const HitSet>()) {
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &LogSearch::poll);
    connect(&view_, &LogTextView::textChanged, this, &LogSearch::onTextChanged);
}

LogSearch::~LogSearch() = default;

bool LogSearch::setQuery(const SearchQuery& query, QString* error) {
    search_.cancel();
    poll_.stop();
    query_ = query;
    building_.clear();
    more_ = false;
    matcher_ = query.text.isEmpty() ? nullptr : makeLineMatcher(query, error, engine_);
    if (matcher_) startFrom(0);
    publish();
    return matcher_ != nullptr || query.text.isEmpty();
}

std::vector<std::pair<int, int>> LogSearch::matchColumns(std::int64_t line) const {
    if (!matcher_ || line < 0 || line >= view_.store().lineCount()) return {};
    std::uint32_t length = 0;
    bool ascii = true;
    const char* bytes = view_.store().lineBytes(line, length, ascii);
    std::vector<ByteRange> ranges;
    matcher_->findAll(std::string_view(bytes, length), ranges);
    return columnsOf(bytes, length, ascii, ranges);
}

void LogSearch::startFrom(std::int64_t line) {
    generation_ = view_.editGeneration();
    auto snapshot = view_.store().snapshot();
    // The last line is still open for appends: it is searched again next time.
    const std::int64_t end = snapshot->lineCount() - 1;
    if (search_.start(std::move(snapshot), query_, line, nullptr, engine_)) {
        searchedTo_ = std::max(line, end);
        poll_.start();
    }
}

void LogSearch::onTextChanged() {
    if (!matcher_) return;
    if (view_.editGeneration() != generation_) {
        // Lines moved or changed: everything is searched again.
        search_.cancel();
        building_.clear();
        more_ = false;
        startFrom(0);
        publish();
        return;
    }
    if (search_.running()) {
        more_ = true;
        return;
    }
    startFrom(std::min(searchedTo_, view_.store().lineCount() - 1));
}

void LogSearch::poll() {
    const std::vector<HitPiece> pieces = search_.take();
    for (const HitPiece& p : pieces) building_.assign(p.first, p.count, p.bits);
    const bool running = search_.running();
    if (!pieces.empty() || !running) publish();
    if (running) return;
    poll_.stop();
    if (more_) {
        more_ = false;
        startFrom(std::min(searchedTo_, view_.store().lineCount() - 1));
    }
}

void LogSearch::publish() {
    // Readers keep the copy they hold; blocks are shared until the next change.
    published_ = std::make_shared<const HitSet>(building_);
    emit hitsChanged();
}

}  // namespace nimbrel::gui
