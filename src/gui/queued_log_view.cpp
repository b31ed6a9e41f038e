#include "gui/queued_log_view.h"

#include <QColor>
#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <algorithm>

#include "gui/log_text_view.h"

namespace nimbrel::gui {

namespace {

// About forty drains a second: smooth to the eye, few enough to batch well.
constexpr int kDrainIntervalMs = 25;

QColor toQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

std::size_t lineBreaks(std::u16string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\n'));
}

}  // namespace

QueuedLogView::QueuedLogView(LogTextView& widget, std::size_t capacityLines)
    : widget_(&widget), guiThread_(widget.thread()), capacity_(std::max<std::size_t>(1, capacityLines)),
      pump_(std::make_unique<QObject>()) {
    pump_->moveToThread(guiThread_);
    timer_ = new QTimer(pump_.get());
    timer_->setInterval(kDrainIntervalMs);
    QObject::connect(timer_, &QTimer::timeout, pump_.get(), [this] { drainNow(); });
    timer_->start();
    QObject::connect(&widget, &QObject::destroyed, pump_.get(), [this] { shutDown(); });
    widgetHasText_.store(widget.hasText());
}

QueuedLogView::~QueuedLogView() {
    shutDown();
    // A producer released by shutDown() may still be on its way out of append().
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return producersInside_ == 0; });
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
    if (onGuiThread() && timer_) timer_->stop();
}

bool QueuedLogView::exists() const { return exists_.load(); }

void QueuedLogView::append(std::u16string_view text, Rgb colour) {
    if (text.empty() || !exists_.load()) return;
    if (onGuiThread()) {
        drainNow();
        if (widget_) {
            widget_->appendText(QStringView(text.data(), static_cast<qsizetype>(text.size())), toQColor(colour));
            widgetHasText_.store(widget_->hasText());
        }
        return;
    }
    {
        std::unique_lock lock(mutex_);
        ++producersInside_;
        room_.wait(lock, [this] { return shutDown_ || guiBlocked_ > 0 || pending_.lines < capacity_; });
        if (!shutDown_) {
            Batch& b = pending_;
            // Consecutive appends in one colour travel as one item.
            if (!b.items.empty() && b.items.back().kind == Kind::Append && b.items.back().colour == colour) {
                b.items.back().length += text.size();
            } else {
                b.items.push_back({Kind::Append, b.text.size(), text.size(), colour});
            }
            b.text.append(text);
            b.lines += std::max<std::size_t>(1, lineBreaks(text));
            // A full queue is drained at once instead of at the next tick. Posted while
            // the lock is held, so the pump outlives the post (the destructor waits).
            if (b.lines >= capacity_ && !drainRequested_) {
                drainRequested_ = true;
                requestDrain();
            }
        }
        if (--producersInside_ == 0 && shutDown_) idle_.notify_all();
    }
}

void QueuedLogView::requestDrain() {
    QMetaObject::invokeMethod(pump_.get(), [this] { drainNow(); }, Qt::QueuedConnection);
}

void QueuedLogView::replaceAll(std::u16string_view text, Rgb colour) {
    if (!exists_.load()) return;
    if (onGuiThread()) {
        {
            std::lock_guard lock(mutex_);
            pending_.reset();
        }
        room_.notify_all();
        if (widget_) {
            widget_->replaceAll(QStringView(text.data(), static_cast<qsizetype>(text.size())), toQColor(colour));
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
        {
            std::lock_guard lock(mutex_);
            pending_.reset();
        }
        room_.notify_all();
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
    if (onGuiThread()) return widget_ && widget_->hasText();
    return widgetHasText_.load();
}

std::u16string QueuedLogView::plainText() const {
    auto read = [this] {
        const_cast<QueuedLogView*>(this)->drainNow();
        if (!widget_) return std::u16string();
        const QString text = widget_->plainText();
        return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
    };
    if (onGuiThread()) return read();
    if (!exists_.load()) return {};
    std::u16string result;
    QMetaObject::invokeMethod(pump_.get(), [&] { result = read(); }, Qt::BlockingQueuedConnection);
    return result;
}

std::size_t QueuedLogView::queuedLines() const {
    std::lock_guard lock(mutex_);
    return pending_.lines;
}

void QueuedLogView::drainNow() {
    {
        std::lock_guard lock(mutex_);
        drainRequested_ = false;
        if (pending_.empty()) return;
        draining_.reset();
        std::swap(pending_, draining_);
    }
    room_.notify_all();
    apply(draining_);
}

void QueuedLogView::apply(Batch& batch) {
    if (!widget_ || !exists_.load()) return;
    LogTextView& w = *widget_;
    w.beginAppendBatch();
    for (const Item& i : batch.items) {
        const QStringView text(batch.text.data() + i.offset, static_cast<qsizetype>(i.length));
        switch (i.kind) {
        case Kind::Append:
            w.appendText(text, toQColor(i.colour));
            break;
        case Kind::ReplaceAll:
            w.replaceAll(text, toQColor(i.colour));
            break;
        case Kind::Clear:
            w.clear();
            break;
        }
    }
    w.endAppendBatch();
    widgetHasText_.store(w.hasText());
    batch.reset();
}

QueuedLogView::GuiThreadBlocked::GuiThreadBlocked(QueuedLogView& view) : view_(view) {
    {
        std::lock_guard lock(view_.mutex_);
        ++view_.guiBlocked_;
    }
    view_.room_.notify_all();
}

QueuedLogView::GuiThreadBlocked::~GuiThreadBlocked() {
    std::lock_guard lock(view_.mutex_);
    --view_.guiBlocked_;
}

}  // namespace nimbrel::gui
