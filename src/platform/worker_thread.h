// A thread whose end can be awaited with a bound. A thread that does not end within the
// bound keeps running; its owner must not free what it uses until it has ended.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace nimbrel {

class WorkerThread {
public:
    WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    // Waits for a running thread: an owner going away must not leave it behind.
    ~WorkerThread();

    // Starts fn on a new thread. A previous thread must have ended (it is joined here).
    void start(std::function<void()> fn);
    // True while a started thread has not returned yet.
    bool running() const;
    // True when no thread runs or the running one ended within the bound (it is then
    // joined).
    bool waitFor(std::chrono::milliseconds bound);
    void join();

private:
    struct State {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = true;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
    std::thread thread_;
};

}  // namespace nimbrel
