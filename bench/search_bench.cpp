// The search over the log view's lines against grep on the same text. Fills a view's line
// store with formatter-like lines (and writes the same lines to a file for grep), times a
// literal and a regular expression with each engine (the best of three runs, grep's too,
// with LC_ALL=C so that grep runs its fastest), then runs the search pane's search in a
// shown window while a 1 ms timer measures the longest time the GUI thread did not answer
// (the results list filling). Runs offscreen; settings go to a temporary folder.
//
//   QT_QPA_PLATFORM=offscreen build/bin/search_bench [--lines N] [--keep-going]
//
// Last line: "search: L lines (M MB), literal T1 ms (grep -F G1 ms), regex T2 ms (grep -E G2
// ms), hits H, worst stall S ms" (T2 and H: the regular expression with the engine the
// window uses).
#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "bench_process.h"
#include "gui/logview/log_search.h"
#include "gui/logview/log_text_view.h"
#include "gui/logview/store_search.h"
#include "gui/window/search_pane.h"
#include "gui/window/search_results_list.h"

using namespace nimbrel::gui;

namespace {

constexpr char kLiteral[] = "Supervision timeout";
constexpr char kRegex[] = "le conn event: handle 0x[0-9a-f]+, channel 3[0-9]";
// One that holds no text to scan for first: every line goes through the engine.
constexpr char kRegexWithoutText[] = "(rssi|reason) -?[0-9]+";

// Formatter-like lines, about 70 bytes on average: events with a decoded line after every
// third, an LE connection event on every sixth line (a quarter of them on channels 30-39)
// and the literal on one line in a thousand.
void makeLine(long i, char* out, std::size_t size, QColor& colour) {
    static const char* const kTags[] = {"[G]", "[B]", "[W]", "[Y]", "[D]", "[R]"};
    const int tag = static_cast<int>(i % 6);
    colour = tag == 5 ? QColor(255, 0, 0) : tag == 0 ? QColor(0, 255, 0) : QColor(0, 255, 255);
    const long t = i / 7;
    const int head = std::snprintf(out, size, "09:%02ld:%02ld.%03ld  [FIL] %s [%05ld] ",
                                   t / 60000 % 60, t / 1000 % 60, t % 1000, kTags[tag], i % 100000);
    char* p = out + head;
    const std::size_t left = size - static_cast<std::size_t>(head);
    if (i % 1000 == 500) {
        std::snprintf(p, left, "LMP_detach reason 0x08 %s, handle 0x%03lx", kLiteral, i % 4096);
    } else if (i % 6 == 1) {
        std::snprintf(p, left, "le conn event: handle 0x%lx, channel %ld, rssi -%ld", i % 4096,
                      (i / 6) % 40, 40 + i % 50);
    } else if (i % 3 == 2) {
        std::snprintf(p, left, "\tStatus: 0x00 Success, handle 0x%04lx", i % 4096);
    } else {
        std::snprintf(p, left, "HCI_Event 0x0e len %ld opcode 0x%04lx", 4 + i % 10,
                      0x0c03 + i % 64);
    }
}

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Wall time of a shell command, in ms (the best of `runs`); -1 when it failed.
double timeCommand(const std::string& command, int runs, std::string* output = nullptr) {
    double best = -1;
    for (int r = 0; r < runs; ++r) {
        const auto start = std::chrono::steady_clock::now();
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return -1;
        std::string out;
        char buf[256];
        while (std::fgets(buf, sizeof buf, pipe)) out += buf;
        if (pclose(pipe) == -1) return -1;
        const double ms = msSince(start);
        if (best < 0 || ms < best) best = ms;
        if (output) *output = out;
    }
    return best;
}

// The best of three searches of the whole store; the hits in `hits`.
double timeSearch(const LineStore& store, const SearchQuery& query, MatchEngine engine,
                  std::int64_t& hits) {
    StoreSearch search;
    double best = -1;
    for (int r = 0; r < 3; ++r) {
        const auto start = std::chrono::steady_clock::now();
        HitSet set;
        if (!search.start(store.snapshot(), query, 0, nullptr, engine)) return -1;
        while (search.running()) {
            for (const HitPiece& p : search.take()) set.assign(p.first, p.count, p.bits);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const double ms = msSince(start);
        static const char* const kEngines[] = {"RE2", "PCRE2", "Hyperscan"};
        std::printf("  %s %s: %.0f ms\n", query.regex ? "regex" : "literal",
                    query.regex ? kEngines[static_cast<int>(engine)] : "ours", ms);
        if (best < 0 || ms < best) best = ms;
        hits = set.count();
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    long lines = 10'000'000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--lines") == 0 && i + 1 < argc) {
            lines = std::atol(argv[++i]);
        } else {
            std::fprintf(stderr,
                         "usage: search_bench [--lines N]\n"
                         "  Times the search over N formatter-like lines (default 10000000)\n"
                         "  against grep -F and grep -E on the same text, and the GUI stall.\n");
            return std::strcmp(argv[i], "--help") == 0 ? 0 : 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    ::setenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit().constData(), 1);
    ::setenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit().constData(), 1);
    ::setenv("NIMBREL_HOME", home.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);

    QMainWindow window;
    auto* view = new LogTextView(&window);
    window.setCentralWidget(view);
    auto* pane = new SearchPane(*view, &window);
    window.addDockWidget(Qt::BottomDockWidgetArea, pane);
    window.resize(1100, 700);
    window.show();

    // The same lines into the store and into the file grep reads.
    const std::string grepFile = (home.path() + "/lines.txt").toStdString();
    FILE* out = std::fopen(grepFile.c_str(), "wb");
    if (!out) {
        std::perror(grepFile.c_str());
        return 1;
    }
    const auto fillStart = std::chrono::steady_clock::now();
    char line[256];
    QColor colour;
    std::uint64_t bytes = 0;
    std::string fileBatch;
    view->beginAppendBatch();
    for (long i = 0; i < lines; ++i) {
        makeLine(i, line, sizeof line, colour);
        const std::size_t n = std::strlen(line);
        line[n] = '\n';
        fileBatch.append(line, n + 1);
        bytes += n + 1;
        view->appendText(QString::fromLatin1(line, static_cast<qsizetype>(n + 1)), colour);
        if (fileBatch.size() > (8u << 20)) {
            if (std::fwrite(fileBatch.data(), 1, fileBatch.size(), out) != fileBatch.size())
                return 1;
            fileBatch.clear();
        }
        if (i % 100000 == 99999) {
            view->endAppendBatch();
            // The store holds text back while its scratch file's writer catches up.
            while (!view->canTakeText()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            view->beginAppendBatch();
        }
    }
    view->endAppendBatch();
    if (std::fwrite(fileBatch.data(), 1, fileBatch.size(), out) != fileBatch.size() ||
        std::fclose(out) != 0) {
        return 1;
    }
    std::printf("filled %ld lines (%.0f MB) in %.1f s\n", lines, double(bytes) / 1e6,
                msSince(fillStart) / 1e3);
    std::fflush(stdout);

    const SearchQuery literal{kLiteral, false, true, false};
    const SearchQuery regex{kRegex, true, true, false};
    // grep first: it also brings the file into the page cache.
    std::string grepCount;
    const double grepF = timeCommand(
        "LC_ALL=C grep -c -F '" + std::string(kLiteral) + "' " + grepFile, 3, &grepCount);
    const long grepFHits = std::atol(grepCount.c_str());
    const double grepE =
        timeCommand("LC_ALL=C grep -c -E '" + std::string(kRegex) + "' " + grepFile, 3, &grepCount);
    const long grepEHits = std::atol(grepCount.c_str());

    std::int64_t literalHits = 0, re2Hits = 0, pcreHits = 0;
    const double literalMs = timeSearch(view->store(), literal, defaultMatchEngine(), literalHits);
    const double re2Ms = timeSearch(view->store(), regex, MatchEngine::Re2, re2Hits);
    const double pcreMs = timeSearch(view->store(), regex, MatchEngine::Pcre2, pcreHits);
    std::int64_t hsHits = 0;
    const double hsMs = timeSearch(view->store(), regex, MatchEngine::Hyperscan, hsHits);
    // The last line gives the engine the window uses.
    const MatchEngine used = defaultMatchEngine();
    const double regexMs = used == MatchEngine::Hyperscan ? hsMs
                           : used == MatchEngine::Re2     ? re2Ms
                                                          : pcreMs;
    const std::int64_t regexHits = used == MatchEngine::Hyperscan ? hsHits
                                   : used == MatchEngine::Re2     ? re2Hits
                                                                  : pcreHits;
    const SearchQuery bare{kRegexWithoutText, true, true, false};
    std::int64_t bareHits[3] = {0, 0, 0};
    double bareMs[3];
    for (int e = 0; e < 3; ++e)
        bareMs[e] = timeSearch(view->store(), bare, static_cast<MatchEngine>(e), bareHits[e]);
    std::printf(
        "regex \"%s\": RE2 %.0f ms, PCRE2 %.0f ms, Hyperscan %.0f ms, %lld / %lld / %lld "
        "hits (grep -E %.0f ms)\n",
        kRegexWithoutText, bareMs[0], bareMs[1], bareMs[2], static_cast<long long>(bareHits[0]),
        static_cast<long long>(bareHits[1]), static_cast<long long>(bareHits[2]),
        timeCommand("LC_ALL=C grep -c -E '" + std::string(kRegexWithoutText) + "' " + grepFile, 3));
    std::int64_t caselessHits = 0;
    const double caselessMs = timeSearch(view->store(), {kLiteral, false, false, false},
                                         defaultMatchEngine(), caselessHits);
    std::printf(
        "literal \"%s\": %.0f ms, %lld hits (grep -F %.0f ms, %ld hits); without case %.0f ms\n",
        kLiteral, literalMs, static_cast<long long>(literalHits), grepF, grepFHits, caselessMs);
    std::printf(
        "regex \"%s\": RE2 %.0f ms, %lld hits; PCRE2 (QRegularExpression) %.0f ms, %lld hits; "
        "Hyperscan %.0f ms, %lld hits (grep -E %.0f ms, %ld hits)\n",
        kRegex, re2Ms, static_cast<long long>(re2Hits), pcreMs, static_cast<long long>(pcreHits),
        hsMs, static_cast<long long>(hsHits), grepE, grepEHits);
    std::fflush(stdout);

    // The pane's search in the window: the longest gap between ticks of a 1 ms timer while
    // the search runs and the list fills, for the regular expression and then the literal.
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = clock.nsecsElapsed(), worstStall = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worstStall = std::max(worstStall, now - lastTick);
        lastTick = now;
    });
    double paneMs[2] = {0, 0};
    int step = 0;
    QTimer::singleShot(0, [&] {
        tick.start();
        lastTick = clock.nsecsElapsed();
        auto runPane = [&](const SearchQuery& q) {
            const auto start = std::chrono::steady_clock::now();
            pane->searchFor(q);
            // Waits for events as the window's own loop does (the 1 ms timer is one).
            while (!pane->search().complete() ||
                   pane->results().rowCount() != pane->search().hits()->count()) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            }
            paneMs[step++] = msSince(start);
        };
        runPane(regex);
        runPane(literal);
        app.quit();
    });
    app.exec();
    std::printf("pane: regex %.0f ms, literal %.0f ms to the full list; peak resident %.0f MiB\n",
                paneMs[0], paneMs[1], nimbrel::bench::mib(nimbrel::bench::peakResidentBytes()));
    std::printf(
        "search: %ld lines (%.0f MB), literal %.0f ms (grep -F %.0f ms), regex %.0f ms (grep -E "
        "%.0f ms), hits %lld, worst stall %.1f ms\n",
        lines, double(bytes) / 1e6, literalMs, grepF, regexMs, grepE,
        static_cast<long long>(regexHits), double(worstStall) / 1e6);
    return 0;
}
