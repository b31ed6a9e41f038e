// The core's LogView on a LogTextView, for any thread. Text from other threads goes into
// a bounded queue that the GUI thread drains in batches a few dozen times per second; a
// producer waits for room in waitForRoom, before it takes any lock of its own, and never
// inside append (nothing is dropped, and a producer that holds a lock never waits for the
// GUI thread). On the GUI thread every call acts at once, after what is queued.
#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "pipeline/log_view.h"

class QTimer;
class QThread;

namespace nimbrel::gui {

class LogTextView;

class QueuedLogView : public nimbrel::LogView {
public:
    explicit QueuedLogView(LogTextView& widget, std::size_t capacityLines = 65536);
    ~QueuedLogView() override;  // exists() false from here; waiting producers released
    // Another thread waits while the queue holds its bound of lines or more; the GUI
    // thread, which empties it, never waits.
    void waitForRoom() override;
    QueuedLogView(const QueuedLogView&) = delete;
    QueuedLogView& operator=(const QueuedLogView&) = delete;

    void append(std::u16string_view text, Rgb colour) override;
    void replaceAll(std::u16string_view text, Rgb colour) override;
    void clear() override;
    bool hasText() const override;
    bool exists() const override;

    // exists() turns false, queued text is dropped and waiting producers are released.
    // Called by itself when the widget is destroyed.
    void shutDown();

    // GUI thread: shows everything queued now.
    void drainNow();
    // GUI thread: shows queued text for a few milliseconds at most and schedules the
    // rest for the next turn of the event loop (the timer's drain).
    void drainSome();
    // Lines waiting in the queue.
    std::size_t queuedLines() const;
    // GUI thread: nothing waits in the queue and no batch is half shown.
    bool isDrained() const;
    std::size_t capacityLines() const { return capacity_; }

private:
    enum class Kind { Append, ReplaceAll, Clear };
    struct Item {
        Kind kind;
        std::size_t offset;
        std::size_t length;
        Rgb colour;
    };
    struct Batch {
        std::u16string text;
        std::vector<Item> items;
        std::size_t lines = 0;
        bool empty() const { return items.empty(); }
        void reset() {
            text.clear();
            items.clear();
            lines = 0;
        }
    };

    bool onGuiThread() const;
    // Applies the swapped-out batch from where it stopped; with a budget, stops at a line
    // boundary once the budget is used up. Returns true when the batch is done.
    bool applyDraining(qint64 budgetMs);
    bool swapIn();
    void dropQueued();  // GUI thread: a clear or replacement makes the queued text moot

    QPointer<LogTextView> widget_;
    QThread* guiThread_;
    const std::size_t capacity_;
    std::unique_ptr<QObject> pump_;  // lives on the GUI thread: timer and wake-ups
    QTimer* timer_ = nullptr;
    QTimer* more_ = nullptr;  // the rest of a batch that did not fit one turn

    mutable std::mutex mutex_;
    std::condition_variable room_;
    std::condition_variable idle_;
    Batch pending_;              // filled by producers
    Batch draining_;             // swapped out by the GUI thread; reused to avoid allocations
    std::size_t drainItem_ = 0;  // GUI thread: progress through draining_
    std::size_t drainOffset_ = 0;
    bool heldBack_ = false;  // GUI thread: the widget took no more text at the last drain
    int producersWaiting_ = 0;
    bool shutDown_ = false;
    std::atomic<bool> exists_{true};
    std::atomic<bool> widgetHasText_{false};
};

}  // namespace nimbrel::gui
