// Long work of the log view (a find, a copy or a replace-all's search over millions of
// lines) on a worker thread over a snapshot of the text, so that the GUI thread goes on
// painting and taking lines meanwhile. The job returns what is to happen with its result;
// that runs on the GUI thread through a queued call. One job at a time: a new one cancels
// the one that runs, and so do cancel() and the destruction.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace nimbrel::gui {

class TextWorker : public QObject {
public:
    // Runs on the worker; looks at `cancelled` often and returns early once it is set. The
    // function it returns runs on the GUI thread unless the job was cancelled meanwhile.
    using Job = std::function<std::function<void()>(const std::atomic<bool>& cancelled)>;

    TextWorker() = default;
    ~TextWorker() override;
    TextWorker(const TextWorker&) = delete;
    TextWorker& operator=(const TextWorker&) = delete;

    // GUI thread.
    void start(Job job);
    void cancel();
    // A job runs, or its result has not been handed over yet.
    bool running() const { return running_; }

private:
    void finish(std::uint64_t ticket);  // GUI thread: the queued call of a finished job
    void stopThread();

    std::thread thread_;
    std::shared_ptr<std::atomic<bool>> cancelled_;
    bool running_ = false;
    std::uint64_t ticket_ = 0;  // GUI thread: the job that runs
    // The finished job's result crosses over under this lock rather than inside Qt's event
    // queue, whose lock the thread checkers cannot see.
    std::mutex mutex_;
    std::function<void()> result_;
    std::uint64_t resultTicket_ = 0;
};

}  // namespace nimbrel::gui
