#include "platform/worker_thread.h"

namespace nimbrel {

WorkerThread::~WorkerThread() { join(); }

void WorkerThread::start(std::function<void()> fn) {
    join();
    {
        std::lock_guard lock(state_->mutex);
        state_->done = false;
    }
    thread_ = std::thread([state = state_, fn = std::move(fn)] {
        fn();
        std::lock_guard lock(state->mutex);
        state->done = true;
        state->ended.notify_all();
    });
}

bool WorkerThread::running() const {
    std::lock_guard lock(state_->mutex);
    return !state_->done;
}

bool WorkerThread::waitFor(std::chrono::milliseconds bound) {
    {
        std::unique_lock lock(state_->mutex);
        if (!state_->ended.wait_for(lock, bound, [this] { return state_->done; })) return false;
    }
    if (thread_.joinable()) thread_.join();
    return true;
}

void WorkerThread::join() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace nimbrel
