#include "gui/logview/text_worker.h"

#include <QMetaObject>

namespace nimbrel::gui {

TextWorker::~TextWorker() { stopThread(); }

void TextWorker::stopThread() {
    if (cancelled_) cancelled_->store(true);
    if (thread_.joinable()) thread_.join();
    running_ = false;
    std::lock_guard lock(mutex_);
    result_ = nullptr;
}

void TextWorker::cancel() { stopThread(); }

void TextWorker::start(Job job) {
    stopThread();
    cancelled_ = std::make_shared<std::atomic<bool>>(false);
    const std::uint64_t ticket = ++ticket_;
    running_ = true;
    thread_ = std::thread([this, job = std::move(job), cancelled = cancelled_, ticket] {
        std::function<void()> result = job(*cancelled);
        if (cancelled->load()) return;
        {
            std::lock_guard lock(mutex_);
            result_ = std::move(result);
            resultTicket_ = ticket;
        }
        // The worker is joined before this object goes, and Qt drops calls queued for an
        // object that is gone.
        QMetaObject::invokeMethod(
            this, [this, ticket] { finish(ticket); }, Qt::QueuedConnection);
    });
}

void TextWorker::finish(std::uint64_t ticket) {
    if (ticket != ticket_ || !running_) return;  // cancelled or replaced meanwhile
    std::function<void()> result;
    {
        std::lock_guard lock(mutex_);
        if (resultTicket_ != ticket) return;
        result.swap(result_);
    }
    if (thread_.joinable()) thread_.join();
    running_ = false;
    if (result) result();
}

}  // namespace nimbrel::gui
