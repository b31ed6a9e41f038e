#include "gui/logview/store_search.h"

#include <algorithm>
#include <cstring>

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace nimbrel::gui {

namespace {

// Lines read at once: a window of formatter lines is about half a megabyte.
constexpr std::int64_t kWindowLines = 8192;
// The workers' nice value (on Linux a thread's own).
[[maybe_unused]] constexpr int kWorkerNice = 5;

void fold(const std::string& text, std::string& folded) {
    folded.resize(text.size());
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    auto* out = reinterpret_cast<unsigned char*>(folded.data());
    // Branch-free, so that the compiler turns it into vector code.
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = in[i];
        out[i] =
            static_cast<unsigned char>(c | (static_cast<unsigned char>(c - 'A') < 26 ? 0x20 : 0));
    }
}

void setBit(std::vector<std::uint64_t>& bits, std::int64_t bit) {
    bits[static_cast<std::size_t>(bit / 64)] |= 1ull << (bit % 64);
}

}  // namespace

void searchWindow(const LineMatcher& matcher, const std::string& text,
                  const std::vector<std::uint32_t>& starts, std::string& folded,
                  std::vector<std::uint64_t>& bits, std::int64_t bitOffset) {
    const auto lines = static_cast<std::int64_t>(starts.size()) - 1;
    auto lineView = [&](std::int64_t k) {
        const std::uint32_t s = starts[static_cast<std::size_t>(k)];
        return std::string_view(text.data() + s, starts[static_cast<std::size_t>(k) + 1] - s);
    };
    const std::string& literal = matcher.literal();
    if (literal.empty()) {
        for (std::int64_t k = 0; k < lines; ++k) {
            if (matcher.matches(lineView(k))) setBit(bits, bitOffset + k);
        }
        return;
    }
    // Only lines that hold the literal are matched: the scan runs over the whole window.
    const char* hay = text.data();
    if (matcher.literalCaseless()) {
        fold(text, folded);
        hay = folded.data();
    }
    const std::size_t size = text.size();
    const std::size_t m = literal.size();
    std::size_t at = 0;
    std::int64_t k = 0;
    while (at + m <= size) {
        const void* found = memmem(hay + at, size - at, literal.data(), m);
        if (!found) break;
        const auto pos = static_cast<std::size_t>(static_cast<const char*>(found) - hay);
        // The line that holds the start; the lines' starts only grow.
        k = static_cast<std::int64_t>(std::upper_bound(starts.begin() + k, starts.end() - 1,
                                                       static_cast<std::uint32_t>(pos)) -
                                      starts.begin()) -
            1;
        const std::uint32_t lineEnd = starts[static_cast<std::size_t>(k) + 1];
        if (pos + m > lineEnd) {  // runs on into the next line
            at = pos + 1;
            continue;
        }
        if (matcher.matches(lineView(k))) setBit(bits, bitOffset + k);
        at = lineEnd;
    }
}

struct StoreSearch::Job {
    std::shared_ptr<const LineSnapshot> snapshot;
    SearchQuery query;
    MatchEngine engine;
    std::int64_t from = 0;
    std::int64_t end = 0;
    std::int64_t pieces = 0;
    std::atomic<std::int64_t> next{0};
    std::atomic<std::int64_t> finished{0};  // pieces done or given up
    std::atomic<bool> cancelled{false};
    std::atomic<bool> readFailed{false};
    std::mutex doneMutex;
    std::vector<HitPiece> done;  // under doneMutex
    std::int64_t taken = 0;      // under doneMutex
};

StoreSearch::StoreSearch(int threads) {
    if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
}

StoreSearch::~StoreSearch() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        if (job_) job_->cancelled = true;
    }
    wake_.notify_all();
    for (auto& t : threads_) t.join();
}

bool StoreSearch::start(std::shared_ptr<const LineSnapshot> snapshot, const SearchQuery& query,
                        std::int64_t from, QString* error, MatchEngine engine) {
    cancel();
    if (!makeLineMatcher(query, error, engine)) return false;
    auto job = std::make_shared<Job>();
    job->query = query;
    job->engine = engine;
    job->from = std::max<std::int64_t>(from, 0);
    job->end = snapshot->lineCount();
    job->snapshot = std::move(snapshot);
    // Pieces end on the hit set's block bounds, so that each fills whole blocks.
    const std::int64_t firstBlock = job->from / HitSet::kBlockLines;
    const std::int64_t lastBlock = (job->end + HitSet::kBlockLines - 1) / HitSet::kBlockLines;
    job->pieces = job->end > job->from ? lastBlock - firstBlock : 0;
    {
        std::lock_guard lock(mutex_);
        job_ = std::move(job);
    }
    wake_.notify_all();
    return true;
}

void StoreSearch::cancel() {
    std::lock_guard lock(mutex_);
    if (job_) job_->cancelled = true;
    job_.reset();
}

std::vector<HitPiece> StoreSearch::take() {
    std::shared_ptr<Job> job;
    {
        std::lock_guard lock(mutex_);
        job = job_;
    }
    std::vector<HitPiece> out;
    if (!job) return out;
    std::lock_guard lock(job->doneMutex);
    out.swap(job->done);
    job->taken += static_cast<std::int64_t>(out.size());
    return out;
}

bool StoreSearch::running() const {
    std::shared_ptr<Job> job;
    {
        std::lock_guard lock(mutex_);
        job = job_;
    }
    if (!job) return false;
    std::lock_guard lock(job->doneMutex);
    return job->taken < job->pieces;
}

bool StoreSearch::readFailed() const {
    std::lock_guard lock(mutex_);
    return job_ && job_->readFailed;
}

void StoreSearch::work() {
#ifdef __linux__
    // Searching is background work: on a busy machine the GUI thread goes first.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), kWorkerNice);
#endif
    std::string text, folded;
    std::vector<std::uint32_t> starts;
    std::shared_ptr<Job> job;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] {
                return quit_ || (job_ && job_ != job) || (job_ && job_->next.load() < job_->pieces);
            });
            if (quit_) return;
            job = job_;
        }
        // Each worker matches with a matcher of its own.
        const std::unique_ptr<LineMatcher> matcher =
            makeLineMatcher(job->query, nullptr, job->engine);
        while (matcher && !job->cancelled) {
            const std::int64_t piece = job->next.fetch_add(1);
            if (piece >= job->pieces) break;
            searchPiece(*job, *matcher, piece, text, starts, folded);
        }
        // Let a long-finished search's text go.
        text.clear();
        text.shrink_to_fit();
        folded.clear();
        folded.shrink_to_fit();
    }
}

void StoreSearch::searchPiece(Job& job, const LineMatcher& matcher, std::int64_t piece,
                              std::string& text, std::vector<std::uint32_t>& starts,
                              std::string& folded) {
    const std::int64_t blockFirst = (job.from / HitSet::kBlockLines + piece) * HitSet::kBlockLines;
    HitPiece out;
    out.first = std::max(job.from, blockFirst);
    out.count = std::min(job.end, blockFirst + HitSet::kBlockLines) - out.first;
    out.bits.assign(static_cast<std::size_t>((out.count + 63) / 64), 0);
    for (std::int64_t line = out.first; line < out.first + out.count; line += kWindowLines) {
        if (job.cancelled) return;
        const std::int64_t n = std::min(kWindowLines, out.first + out.count - line);
        if (!job.snapshot->readUtf8Lines(line, n, text, starts)) {
            job.readFailed = true;
            continue;
        }
        searchWindow(matcher, text, starts, folded, out.bits, line - out.first);
    }
    std::lock_guard lock(job.doneMutex);
    job.done.push_back(std::move(out));
}

}  // namespace nimbrel::gui
