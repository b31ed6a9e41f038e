#include "gui/logview/queued_log_view.h"

#include <QColor>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <algorithm>

#include "gui/logview/log_text_view.h"

namespace nimbrel::gui {

namespace {

// About forty drains a second: smooth to the eye, few enough to batch well.
constexpr int kDrainIntervalMs = 25;
// Longest a drain keeps the GUI thread before it lets the event loop run.
constexpr qint64 kDrainBudgetMs = 8;
constexpr int kLinesPerPiece = 256;

QColor toQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

std::size_t lineBreaks(std::u16string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\n'));
}

}  // namespace

QueuedLogView::QueuedLogView(LogTextView& widget, std::size_t capacityLines)
    : widget_(&widget),
      guiThread_(widget.thread()),
      capacity_(std::max<std::size_t>(1, capacityLines)),
      pump_(std::make_unique<QObject>()) {
    pump_->moveToThread(guiThread_);
    timer_ = new QTimer(pump_.get());
    timer_->setInterval(kDrainIntervalMs);
    QObject::connect(timer_, &QTimer::timeout, pump_.get(), [this] { drainSome(); });
    more_ = new QTimer(pump_.get());
    more_->setSingleShot(true);
    more_->setInterval(0);
    QObject::connect(more_, &QTimer::timeout, pump_.get(), [this] { drainSome(); });
    timer_->start();
    QObject::connect(&widget, &QObject::destroyed, pump_.get(), [this] { shutDown(); });
    widgetHasText_.store(widget.hasText());
}

QueuedLogView::~QueuedLogView() {
    shutDown();
    // A producer released by shutDown() may still be on its way out of waitForRoom().
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return producersWaiting_ == 0; });
}

bool QueuedLogView::onGuiThread() const { return QThread::currentThread() == guiThread_; }

void QueuedLogView::shutDown() {
    exists_.store(false);
    {
        std::lock_guard lock(mutex_);
        shutDown_ = true;
        pending_.reset();
    }
    room_.notify_all();
    if (onGuiThread() && timer_) {
        timer_->stop();
        more_->stop();
    }
}

bool QueuedLogView::exists() const { return exists_.load(); }

void QueuedLogView::append(std::u16string_view text, Rgb colour) {
    if (text.empty() || !exists_.load()) return;
    if (onGuiThread()) {
        drainNow();
        if (widget_) {
            widget_->appendText(QStringView(text.data(), static_cast<qsizetype>(text.size())),
                                toQColor(colour));
            widgetHasText_.store(widget_->hasText());
        }
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (shutDown_) return;
        Batch& b = pending_;
        // Consecutive appends in one colour travel as one item.
        if (!b.items.empty() && b.items.back().kind == Kind::Append &&
            b.items.back().colour == colour) {
            b.items.back().length += text.size();
        } else {
            b.items.push_back({Kind::Append, b.text.size(), text.size(), colour});
        }
        b.text.append(text);
        b.lines += std::max<std::size_t>(1, lineBreaks(text));
    }
}

void QueuedLogView::waitForRoom() {
    if (onGuiThread()) return;
    std::unique_lock lock(mutex_);
    ++producersWaiting_;
    room_.wait(lock, [this] { return shutDown_ || pending_.lines < capacity_; });
    if (--producersWaiting_ == 0 && shutDown_) idle_.notify_all();
}

void QueuedLogView::dropQueued() {
    {
        std::lock_guard lock(mutex_);
        pending_.reset();
    }
    room_.notify_all();
    draining_.reset();
    drainItem_ = drainOffset_ = 0;
}

void QueuedLogView::replaceAll(std::u16string_view text, Rgb colour) {
    if (!exists_.load()) return;
    if (onGuiThread()) {
        dropQueued();
        if (widget_) {
            widget_->replaceAll(QStringView(text.data(), static_cast<qsizetype>(text.size())),
                                toQColor(colour));
            widgetHasText_.store(widget_->hasText());
        }
        return;
    }
    {
        // Whatever is queued would be replaced: it goes now.
        std::lock_guard lock(mutex_);
        if (shutDown_) return;
        pending_.reset();
        pending_.items.push_back({Kind::ReplaceAll, 0, text.size(), colour});
        pending_.text.assign(text);
        pending_.lines = 1;
    }
    room_.notify_all();
}

void QueuedLogView::clear() {
    if (onGuiThread()) {
        dropQueued();
        if (widget_) widget_->clear();
        widgetHasText_.store(false);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (shutDown_) return;
        pending_.reset();
        pending_.items.push_back({Kind::Clear, 0, 0, Rgb{}});
    }
    room_.notify_all();
}

bool QueuedLogView::hasText() const {
    {
        std::lock_guard lock(mutex_);
        for (const Item& i : pending_.items) {
            if (i.kind != Kind::Clear && i.length > 0) return true;
        }
        // A queued clear or replacement decides alone.
        if (!pending_.items.empty() && pending_.items.front().kind != Kind::Append) return false;
    }
    if (onGuiThread()) {
        // The rest of a batch in progress.
        for (std::size_t k = drainItem_; k < draining_.items.size(); ++k) {
            if (draining_.items[k].kind != Kind::Clear && draining_.items[k].length > 0)
                return true;
        }
        return widget_ && widget_->hasText();
    }
    return widgetHasText_.load();
}

std::size_t QueuedLogView::queuedLines() const {
    std::lock_guard lock(mutex_);
    return pending_.lines;
}

bool QueuedLogView::isDrained() const {
    std::lock_guard lock(mutex_);
    return pending_.empty() && drainItem_ >= draining_.items.size();
}

bool QueuedLogView::swapIn() {
    {
        std::lock_guard lock(mutex_);
        if (pending_.empty()) return false;
        draining_.reset();
        std::swap(pending_, draining_);
    }
    drainItem_ = drainOffset_ = 0;
    room_.notify_all();
    return true;
}

void QueuedLogView::drainNow() {
    // First the rest of a batch in progress, then everything queued now.
    applyDraining(-1);
    if (swapIn()) applyDraining(-1);
}

void QueuedLogView::drainSome() {
    bool done = applyDraining(kDrainBudgetMs);
    if (done && swapIn()) done = applyDraining(kDrainBudgetMs);
    // The rest follows at the event loop's next pass over its timers, after the other
    // timers and the screen have had their turn (a posted event could be handled in the
    // same pass, again and again). Text that the view cannot take now waits for the
    // regular drain.
    if (!done && !heldBack_ && !more_->isActive()) more_->start();
}

bool QueuedLogView::applyDraining(qint64 budgetMs) {
    if (drainItem_ >= draining_.items.size()) return true;
    if (!widget_ || !exists_.load()) {
        draining_.reset();
        drainItem_ = drainOffset_ = 0;
        return true;
    }
    LogTextView& w = *widget_;
    QElapsedTimer clock;
    clock.start();
    heldBack_ = false;
    w.beginAppendBatch();
    while (drainItem_ < draining_.items.size()) {
        const Item& i = draining_.items[drainItem_];
        const char16_t* base = draining_.text.data() + i.offset;
        if (i.kind == Kind::Append && !w.canTakeText()) {
            // The store has no room now: the lines wait here, and producers wait for
            // room in the queue.
            heldBack_ = true;
            break;
        }
        if (i.kind == Kind::Append) {
            // Pieces of a few hundred lines, so that a budget can stop between them.
            std::size_t end = drainOffset_;
            for (int lines = 0; end < i.length && lines < kLinesPerPiece; ++end) {
                if (base[end] == u'\n') ++lines;
            }
            w.appendText(
                QStringView(base + drainOffset_, static_cast<qsizetype>(end - drainOffset_)),
                toQColor(i.colour));
            drainOffset_ = end;
            if (drainOffset_ >= i.length) {
                ++drainItem_;
                drainOffset_ = 0;
            }
        } else {
            if (i.kind == Kind::ReplaceAll) {
                w.replaceAll(QStringView(base, static_cast<qsizetype>(i.length)),
                             toQColor(i.colour));
            } else {
                w.clear();
            }
            ++drainItem_;
        }
        if (budgetMs >= 0 && clock.elapsed() >= budgetMs) break;
    }
    w.endAppendBatch();
    widgetHasText_.store(w.hasText());
    if (drainItem_ < draining_.items.size()) return false;
    draining_.reset();
    drainItem_ = drainOffset_ = 0;
    return true;
}

}  // namespace nimbrel::gui
