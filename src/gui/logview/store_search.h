// Searching a snapshot of the line store on worker threads (one per core). The lines are
// cut into pieces of HitSet::kBlockLines; each worker takes the next piece, reads its text
// in windows of stored UTF-8 (one read for many lines), scans a window for the matcher's
// literal before it matches any line, and hands the piece's hits back as bits. A new
// search cancels the one that runs; workers look at the cancel flag between windows.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gui/logview/hit_set.h"
#include "gui/logview/line_matcher.h"
#include "gui/logview/line_store.h"

namespace nimbrel::gui {

// The hits of lines [first, first + count): bit j of word i stands for line first + 64i + j.
struct HitPiece {
    std::int64_t first = 0;
    std::int64_t count = 0;
    std::vector<std::uint64_t> bits;
};

// Matches lines [0, starts.size() - 1) of a window (`text` holds them one after another,
// `starts` their offsets and the end) and sets their bits, from bit `bitOffset` of `bits`.
// `folded` is scratch room for the window in lower case. Used by the workers and tests.
void searchWindow(const LineMatcher& matcher, const std::string& text,
                  const std::vector<std::uint32_t>& starts, std::string& folded,
                  std::vector<std::uint64_t>& bits, std::int64_t bitOffset);

class StoreSearch {
public:
    // `threads` 0: one per core.
    explicit StoreSearch(int threads = 0);
    ~StoreSearch();
    StoreSearch(const StoreSearch&) = delete;
    StoreSearch& operator=(const StoreSearch&) = delete;

    // Cancels the search that runs and searches lines [from, lineCount) of the snapshot.
    // False, with the reason in `error`, when the query cannot be matched.
    bool start(std::shared_ptr<const LineSnapshot> snapshot, const SearchQuery& query,
               std::int64_t from, QString* error = nullptr,
               MatchEngine engine = defaultMatchEngine());
    void cancel();
    // The pieces of the current search finished since the last call. Any thread, but
    // meant for the one that started the search.
    std::vector<HitPiece> take();
    // True until every piece of the current search is finished and taken.
    bool running() const;
    // False when a line could not be read back (its piece then reports no hits).
    bool readFailed() const;

private:
    struct Job;
    void work();
    void searchPiece(Job& job, const LineMatcher& matcher, std::int64_t piece, std::string& text,
                     std::vector<std::uint32_t>& starts, std::string& folded);

    std::vector<std::thread> threads_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::shared_ptr<Job> job_;  // under mutex_
    bool quit_ = false;         // under mutex_
};

}  // namespace nimbrel::gui
