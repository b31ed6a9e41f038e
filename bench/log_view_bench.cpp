// The log view under load: a producer thread appends formatter-like lines through the
// real cross-thread LogView queue at full speed while a 5 ms timer measures the longest
// gap between event-loop turns. At the largest size the run resizes the window, scrolls
// to the top and back, selects and copies the last 100,000 lines and finds a string of
// the first line. QPlainTextEdit is measured in the same run, fed the same lines through
// a queue of the same kind, for comparison.
//
//   QT_QPA_PLATFORM=offscreen log_view_bench [--lines N] [--qt-lines M] [--no-compare]
//
// --no-compare leaves QPlainTextEdit out, so that the process's peak resident memory is
// the log view's alone. Last line of the output:
//   log view: L lines held, A lines/s appended, worst stall S ms, B bytes/line,
//   peak resident R MiB, scratch D MiB on disk[; QPlainTextEdit: A2 lines/s, worst stall
//   S2 ms, B2 bytes/line]
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <malloc.h>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>

#include "bench_process.h"
#include "gui/logview/log_text_view.h"
#include "gui/logview/queued_log_view.h"
#include "pipeline/color_tag.h"

namespace {

double seconds(const QElapsedTimer& clock) { return static_cast<double>(clock.elapsed()) / 1000.0; }

using nimbrel::LogView;
using nimbrel::Rgb;

constexpr const char16_t* kFirstLineMark = u"FIRSTLINEMARK";

// Lines like the formatter's: time, route tag, colour tag, number, header numbers and a
// message of varying length; every twentieth record carries a two-line decode.
class LineMaker {
public:
    // Appends the text of record `n` to `out` and returns its colour and line count.
    Rgb make(std::uint64_t n, std::u16string& out, int& lines) {
        static const Rgb colours[8] = {nimbrel::kLightGrey, nimbrel::kGreen,    nimbrel::kRed,
                                       nimbrel::kWhite,     nimbrel::kCyan,     nimbrel::kYellow,
                                       nimbrel::kGrey,      nimbrel::kLightGrey};
        static const char16_t* tags[8] = {u"[D]", u"[G]", u"[R]", u"[W]",
                                          u"[B]", u"[Y]", u"[D]", u"[D]"};
        static const char16_t* words[8] = {u"conn",     u"handle",  u"rssi",     u"LMP_accepted",
                                           u"tx power", u"afh map", u"link key", u"slot offset"};
        const unsigned c = static_cast<unsigned>((n * 2654435761u) >> 7) % 8;
        const unsigned ms = static_cast<unsigned>(n % 1000);
        char buf[96];
        const int head = std::snprintf(buf, sizeof buf, "12:%02u:%02u.%03u  [COM] ",
                                       unsigned(n / 60000 % 60), unsigned(n / 1000 % 60), ms);
        for (int i = 0; i < head; ++i) out.push_back(static_cast<char16_t>(buf[i]));
        out += tags[c];
        const int num = std::snprintf(buf, sizeof buf, " [%05llu] [%03u] [000] [%05u] ",
                                      static_cast<unsigned long long>(n + 1), unsigned(n % 256),
                                      unsigned(n % 65536));
        for (int i = 0; i < num; ++i) out.push_back(static_cast<char16_t>(buf[i]));
        if (n == 0) out += kFirstLineMark;
        // 60 to 120 characters in all.
        const std::size_t target =
            std::max(out.size() + 8, 60 + static_cast<std::size_t>((n * 7919) % 61));
        for (unsigned w = static_cast<unsigned>(n % 8); out.size() < target; w = (w + 3) % 8) {
            out += words[w];
            out += u' ';
            const int v =
                std::snprintf(buf, sizeof buf, "0x%04x ", unsigned((n * 31 + w) & 0xFFFF));
            for (int i = 0; i < v; ++i) out.push_back(static_cast<char16_t>(buf[i]));
        }
        out.resize(target);
        out.push_back(u'\n');
        lines = 1;
        if (n % 20 == 7) {
            out += u"\tHCI Command: Read_RSSI (0x1405)\n\t\tConnection_Handle: 0x0001\n";
            lines = 3;
        }
        return colours[c];
    }
};

// The longest gap between two turns of the event loop, measured by a 5 ms timer.
class StallMeter : public QObject {
public:
    StallMeter() {
        timer_.setInterval(5);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            const qint64 gap = clock_.restart();
            const double cpu = threadCpuMs();
            const double cpuGap = cpu - lastCpu_;
            lastCpu_ = cpu;
            if (gap > worst_) {
                worst_ = gap;
                worstCpu_ = cpuGap;
                worstAt_ = since_.elapsed();
                worstSize_ = size_ ? size_() : 0;
            }
        });
    }
    void start(std::function<qint64()> size = {}) {
        worst_ = 0;
        size_ = std::move(size);
        clock_.start();
        since_.start();
        lastCpu_ = threadCpuMs();
        timer_.start();
    }
    // When the worst gap ended and how many lines were held then.
    qint64 worstAt() const { return worstAt_; }
    qint64 worstSize() const { return worstSize_; }
    // CPU time the GUI thread used during the worst gap: a gap much longer than it was
    // spent waiting for a core, not working.
    double worstCpu() const { return worstCpu_; }
    static double threadCpuMs() {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
    }
    void stop() { timer_.stop(); }
    qint64 worst() const { return worst_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    QElapsedTimer since_;
    qint64 worst_ = 0;
    qint64 worstAt_ = 0;
    qint64 worstSize_ = 0;
    double lastCpu_ = 0;
    double worstCpu_ = 0;
    std::function<qint64()> size_;
};

std::uint64_t residentBytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<std::uint64_t>(resident) * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

// Runs the event loop until `done` holds, stopping after `limitMs`.
bool runUntil(const std::function<bool()>& done, qint64 limitMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// A producer thread that appends `records` records to a LogView at full speed.
class Producer {
public:
    Producer(LogView& view, std::uint64_t lines) {
        thread_ = std::thread([this, &view, lines] {
            LineMaker maker;
            std::u16string text;
            for (std::uint64_t n = 0;
                 made_.load(std::memory_order_relaxed) < lines && !stop_.load(); ++n) {
                text.clear();
                int count = 0;
                const Rgb colour = maker.make(n, text, count);
                view.waitForRoom();
                view.append(text, colour);
                made_.fetch_add(static_cast<std::uint64_t>(count), std::memory_order_relaxed);
            }
            done_.store(true);
        });
    }
    ~Producer() {
        stop_.store(true);
        if (thread_.joinable()) thread_.join();
    }
    void stop() { stop_.store(true); }
    bool done() const { return done_.load(); }
    std::uint64_t made() const { return made_.load(); }

private:
    std::thread thread_;
    std::atomic<std::uint64_t> made_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
};

// QPlainTextEdit behind a LogView of the same kind as ours: a bounded queue that the GUI
// thread drains every 25 ms, one edit block per batch.
class PlainTextEditView : public LogView {
public:
    explicit PlainTextEditView(QPlainTextEdit& edit, std::size_t capacity = 65536)
        : edit_(edit), capacity_(capacity) {
        timer_.setInterval(25);
        QObject::connect(&timer_, &QTimer::timeout, [this] { drain(); });
        timer_.start();
    }
    void append(std::u16string_view text, Rgb colour) override {
        std::unique_lock lock(mutex_);
        room_.wait(lock, [this] { return pendingLines_ < capacity_ || closed_; });
        pending_.push_back({std::u16string(text), colour});
        pendingLines_ += 1;
    }
    void replaceAll(std::u16string_view, Rgb) override {}
    void clear() override {}
    bool hasText() const override { return true; }
    bool exists() const override { return true; }
    bool empty() {
        std::lock_guard lock(mutex_);
        return pending_.empty();
    }
    void close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
        room_.notify_all();
    }
    void drain() {
        std::vector<std::pair<std::u16string, Rgb>> batch;
        {
            std::lock_guard lock(mutex_);
            batch.swap(pending_);
            pendingLines_ = 0;
        }
        room_.notify_all();
        if (batch.empty()) return;
        QTextCursor cursor(edit_.document());
        cursor.beginEditBlock();
        cursor.movePosition(QTextCursor::End);
        QTextCharFormat format;
        for (const auto& [text, colour] : batch) {
            format.setForeground(QColor(colour.r, colour.g, colour.b));
            // The trailing line break becomes the next block.
            std::u16string_view t = text;
            if (!t.empty() && t.back() == u'\n') t.remove_suffix(1);
            cursor.insertText(QString::fromUtf16(t.data(), static_cast<qsizetype>(t.size()))
                                  .replace(u'\n', QChar::ParagraphSeparator),
                              format);
            cursor.insertBlock();
        }
        cursor.endEditBlock();
        QScrollBar* bar = edit_.verticalScrollBar();
        bar->setValue(bar->maximum());
    }

private:
    QPlainTextEdit& edit_;
    const std::size_t capacity_;
    QTimer timer_;
    std::mutex mutex_;
    std::condition_variable room_;
    std::vector<std::pair<std::u16string, Rgb>> pending_;
    std::size_t pendingLines_ = 0;
    bool closed_ = false;
};

struct Result {
    std::uint64_t lines = 0;
    std::uint64_t scratchBytes = 0;
    double linesPerSecond = 0;
    qint64 worstStall = 0;
    double bytesPerLine = 0;
    bool cutShort = false;
};

// The operations a user does on a big log, each measured by the stall meter.
template <class Select, class Copy, class Find>
void userOperations(QWidget& window, QScrollBar* bar, Select select, Copy copy, Find find,
                    StallMeter& meter, const char* name) {
    auto step = [&](const char* what, const std::function<void()>& op) {
        QElapsedTimer t;
        t.start();
        op();
        QCoreApplication::processEvents();
        std::printf("  %s: %s %lld ms (worst stall so far %lld ms)\n", name, what,
                    static_cast<long long>(t.elapsed()), static_cast<long long>(meter.worst()));
    };
    step("resize", [&] {
        window.resize(1000, 700);
        QCoreApplication::processEvents();
        window.resize(1280, 800);
    });
    step("scroll to top and back", [&] {
        bar->setValue(0);
        QCoreApplication::processEvents();
        bar->setValue(bar->maximum());
    });
    step("select and copy the last 100,000 lines", [&] {
        select();
        copy();
    });
    step("find a string of the first line", [&] { find(); });
}

Result measureOurs(std::uint64_t lines, StallMeter& meter) {
    Result r;
    nimbrel::gui::LogTextView view;
    view.resize(1280, 800);
    view.show();
    nimbrel::gui::QueuedLogView queue(view);
    QCoreApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    meter.start([&] { return view.lineCount(); });
    {
        Producer producer(queue, lines);
        // The queue drains in the event loop's turns, as it does in use.
        runUntil([&] { return producer.done() && queue.isDrained(); }, INT64_MAX);
        r.lines = static_cast<std::uint64_t>(view.lineCount());
    }
    r.linesPerSecond = static_cast<double>(r.lines) / seconds(clock);
    std::printf(
        "  log view: %llu lines in %.1f s; stall while appending %lld ms (ending at %.1f s, %lld "
        "lines held, "
        "%.0f ms of it on the GUI thread's CPU)\n",
        static_cast<unsigned long long>(r.lines), seconds(clock),
        static_cast<long long>(meter.worst()), static_cast<double>(meter.worstAt()) / 1000.0,
        static_cast<long long>(meter.worstSize()), meter.worstCpu());

    userOperations(
        view, view.verticalScrollBar(),
        [&] {
            const qint64 last = view.store().lineCount() - 1;
            view.setSelection({std::max<qint64>(0, last - 100000), 0}, view.store().endPos());
        },
        [&] {
            // A long copy ends on the worker: the step lasts until the clipboard has it.
            bool copied = false;
            const QMetaObject::Connection c = QObject::connect(
                &view, &nimbrel::gui::LogTextView::copyFinished, [&] { copied = true; });
            view.copy();
            runUntil([&] { return copied; }, INT64_MAX);
            QObject::disconnect(c);
        },
        [&] {
            // Upwards from the end: every line is searched, most of them on the worker.
            bool ended = false, found = false;
            const QMetaObject::Connection c =
                QObject::connect(&view, &nimbrel::gui::LogTextView::findFinished, [&](bool f) {
                    ended = true;
                    found = f;
                });
            view.find(QString::fromUtf16(kFirstLineMark), true, false, false);
            runUntil([&] { return ended; }, INT64_MAX);
            QObject::disconnect(c);
            std::printf("  log view: first line's mark %s at line %lld\n",
                        found ? "found" : "NOT FOUND", static_cast<long long>(view.caret().line));
        },
        meter, "log view");
    meter.stop();
    r.worstStall = meter.worst();
    r.scratchBytes = nimbrel::bench::scratchBytesOnDisk();
    const auto& store = view.store();
    r.bytesPerLine = static_cast<double>(store.memoryBytes()) / static_cast<double>(r.lines);
    std::printf(
        "  log view: store %.1f MB for %.1f MB of UTF-8 text: %.1f bytes/line, %.1f beyond the "
        "text "
        "(goal at most 24)\n",
        static_cast<double>(store.memoryBytes()) / 1e6,
        static_cast<double>(store.textBytes()) / 1e6, r.bytesPerLine,
        (static_cast<double>(store.memoryBytes()) - static_cast<double>(store.textBytes())) /
            static_cast<double>(r.lines));
    return r;
}

Result measurePlainTextEdit(std::uint64_t lines, StallMeter& meter) {
    Result r;
    malloc_trim(0);
    const std::uint64_t before = residentBytes();
    {
        QPlainTextEdit edit;
        edit.setReadOnly(true);
        edit.setLineWrapMode(QPlainTextEdit::NoWrap);
        edit.resize(1280, 800);
        edit.show();
        PlainTextEditView queue(edit);
        QCoreApplication::processEvents();

        QElapsedTimer clock;
        clock.start();
        meter.start();
        {
            Producer producer(queue, lines);
            r.cutShort = !runUntil([&] { return producer.done(); }, 120000);
            producer.stop();
            queue.close();
        }
        runUntil([&] { return queue.empty(); }, INT64_MAX);
        r.lines = static_cast<std::uint64_t>(edit.document()->blockCount() - 1);
        r.linesPerSecond = static_cast<double>(r.lines) / seconds(clock);
        std::printf("  QPlainTextEdit: %llu lines in %.1f s%s; stall while appending %lld ms\n",
                    static_cast<unsigned long long>(r.lines), seconds(clock),
                    r.cutShort ? " (stopped at two minutes)" : "",
                    static_cast<long long>(meter.worst()));
        r.bytesPerLine =
            static_cast<double>(residentBytes() - before) / static_cast<double>(r.lines);

        userOperations(
            edit, edit.verticalScrollBar(),
            [&] {
                QTextCursor c(edit.document()->findBlockByNumber(
                    std::max(0, edit.document()->blockCount() - 100001)));
                c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
                edit.setTextCursor(c);
            },
            [&] { edit.copy(); },
            [&] {
                QTextCursor end = edit.textCursor();
                end.movePosition(QTextCursor::End);
                edit.setTextCursor(end);
                const bool found =
                    edit.find(QString::fromUtf16(kFirstLineMark), QTextDocument::FindBackward);
                std::printf("  QPlainTextEdit: first line's mark %s\n",
                            found ? "found" : "NOT FOUND");
            },
            meter, "QPlainTextEdit");
        meter.stop();
        r.worstStall = meter.worst();
    }
    malloc_trim(0);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::uint64_t lines = 10'000'000;
    std::uint64_t qtLines = 1'000'000;
    bool compare = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-compare") == 0) compare = false;
        else if (i + 1 < argc && std::strcmp(argv[i], "--lines") == 0)
            lines = std::strtoull(argv[++i], nullptr, 10);
        else if (i + 1 < argc && std::strcmp(argv[i], "--qt-lines") == 0)
            qtLines = std::strtoull(argv[++i], nullptr, 10);
    }
    qtLines = std::min(qtLines, lines);
    QApplication app(argc, argv);
    StallMeter meter;

    Result qt;
    if (compare) {
        std::printf("QPlainTextEdit, %llu lines:\n", static_cast<unsigned long long>(qtLines));
        std::fflush(stdout);
        qt = measurePlainTextEdit(qtLines, meter);
    }
    std::printf("log view, %llu lines:\n", static_cast<unsigned long long>(lines));
    std::fflush(stdout);
    const Result ours = measureOurs(lines, meter);
    const double peak = nimbrel::bench::mib(nimbrel::bench::peakResidentBytes());
    const double scratch = nimbrel::bench::mib(ours.scratchBytes);

    if (!compare) {
        std::printf(
            "log view: %llu lines held, %.0f lines/s appended, worst stall %lld ms, %.0f "
            "bytes/line, peak resident %.0f MiB, scratch %.0f MiB on disk\n",
            static_cast<unsigned long long>(ours.lines), ours.linesPerSecond,
            static_cast<long long>(ours.worstStall), ours.bytesPerLine, peak, scratch);
        return 0;
    }
    std::printf(
        "ratios: %.1fx the append rate, %.1fx shorter worst stall, %.1fx less memory per line\n",
        ours.linesPerSecond / qt.linesPerSecond,
        static_cast<double>(qt.worstStall) /
            static_cast<double>(std::max<qint64>(1, ours.worstStall)),
        qt.bytesPerLine / ours.bytesPerLine);
    std::printf(
        "log view: %llu lines held, %.0f lines/s appended, worst stall %lld ms, %.0f bytes/line, "
        "peak resident %.0f MiB, scratch %.0f MiB on disk; "
        "QPlainTextEdit: %.0f lines/s, worst stall %lld ms, %.0f bytes/line%s\n",
        static_cast<unsigned long long>(ours.lines), ours.linesPerSecond,
        static_cast<long long>(ours.worstStall), ours.bytesPerLine, peak, scratch,
        qt.linesPerSecond, static_cast<long long>(qt.worstStall), qt.bytesPerLine,
        qt.cutShort ? QStringLiteral(" (at %1 lines: stopped at two minutes)")
                          .arg(qt.lines)
                          .toUtf8()
                          .constData()
                    : (qt.lines < lines
                           ? QStringLiteral(" (at %1 lines)").arg(qt.lines).toUtf8().constData()
                           : ""));
    return 0;
}
